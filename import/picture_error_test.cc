#include "import/picture_error.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qdp::import {
namespace {

// A machine picture of one colour per pixel, each its own palette entry.
view::IndexedImage ImageOf(int width, int height, const std::vector<view::Rgb>& pixels) {
  view::IndexedImage image;
  image.Width = width;
  image.Height = height;
  auto palette = std::make_shared<std::vector<view::Rgb>>(pixels);
  image.Palette.assign(256, view::kBlack);
  // Few enough distinct colours in these tests: index by the red channel.
  for (const view::Rgb& c : pixels) image.Palette[c.R] = c;
  image.FillRow = [palette, width](int y, uint8_t* row) {
    for (int x = 0; x < width; ++x) row[x] = (*palette)[static_cast<size_t>(y) * width + x].R;
  };
  return image;
}

SourcePicture Uniform(int width, view::Rgb c) {
  return SourcePicture{width, kPictureHeight,
                       std::vector<view::Rgb>(static_cast<size_t>(width) * kPictureHeight, c)};
}

TEST(PictureErrorTest, IdenticalPicturesHaveNoError) {
  SourcePicture source = Uniform(320, view::kBlack);
  for (size_t i = 0; i < source.Pixels.size(); ++i) {
    const auto v = static_cast<uint8_t>((i * 37) % 251);
    source.Pixels[i] = view::Rgb{v, static_cast<uint8_t>(255 - v), 7};
  }
  EXPECT_EQ(PictureError(source, ImageOf(320, 240, source.Pixels)), 0.0);
}

TEST(PictureErrorTest, BlackAgainstWhiteIsTheLightnessScale) {
  // OKLab puts black at L 0 and white at L 1: 100 x 1.
  EXPECT_NEAR(PictureError(Uniform(320, view::kBlack),
                           ImageOf(320, 240, Uniform(320, view::kWhite).Pixels)),
              100.0, 0.01);
}

TEST(PictureErrorTest, HalfWidthSourceIsDoubled) {
  const SourcePicture half = Uniform(160, view::Rgb{200, 0, 0});
  EXPECT_EQ(PictureError(half, ImageOf(320, 240, Uniform(320, view::Rgb{200, 0, 0}).Pixels)), 0.0);
}

TEST(PictureErrorTest, FineCheckerboardIsSeenAsItsMean) {
  // Alternating black and white columns blur to a grey close to the mean of
  // the two in sRGB, so the error against that grey is small, and far below
  // the error of one of the two against it.
  SourcePicture grey = Uniform(320, view::Rgb{128, 128, 128});
  std::vector<view::Rgb> stripes(grey.Pixels.size());
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i % 2) ? view::kWhite : view::kBlack;
  const double striped = PictureError(grey, ImageOf(320, 240, stripes));
  const double black = PictureError(grey, ImageOf(320, 240, Uniform(320, view::kBlack).Pixels));
  EXPECT_LT(striped, 5.0);
  EXPECT_GT(black, 50.0);
}

TEST(PictureErrorTest, AnEdgeMovedByOnePixelCostsAboutOneColumn) {
  // Black left of an edge, white right of it, and the same edge one pixel
  // further right: after the blur the two differ by about the whole
  // lightness step over one column of 320, so 100 / 320.
  auto edge = [](int at) {
    SourcePicture p = Uniform(320, view::kBlack);
    for (int y = 0; y < kPictureHeight; ++y) {
      for (int x = at; x < 320; ++x) p.Pixels[static_cast<size_t>(y) * 320 + x] = view::kWhite;
    }
    return p;
  };
  const double error = PictureError(edge(160), ImageOf(320, 240, edge(161).Pixels));
  EXPECT_GT(error, 0.2);
  EXPECT_LT(error, 0.45);
}

}  // namespace
}  // namespace qdp::import
