#include "importer/fit.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace qdp::importer {
namespace {

// Feeds a picture of one colour, row by row, to a sink.
import::SourcePicture Feed(SourceSink& sink, int width, int height,
                           view::Rgb colour){sink.Begin(width, height);
const std::vector<view::Rgb> row(static_cast<size_t>(width), colour);
for (int y = 0; y < height; ++y) sink.Put(y, 0, 1, row.data(), width);
return sink.Finish();
}  // namespace

TEST(FitTest, AcceptedSizesStandAndOthersAreRefusedUnlessFitted) {
  for (const import::PictureSize& size : import::kPictureSizes) {
    SourceSink sink(true);
    const import::SourcePicture p = Feed(sink, size.Width, 240, {1, 2, 3});
    EXPECT_FALSE(sink.Fitted());
    EXPECT_EQ(p.Width, size.Width);
    EXPECT_EQ(p.Pixels, std::vector<view::Rgb>(static_cast<size_t>(size.Width) * 240, {1, 2, 3}));
  }
  SourceSink strict(false);
  try {
    strict.Begin(321, 240);
    FAIL() << "321 x 240 was taken";
  } catch (const PictureSizeError& error) {
    EXPECT_EQ(error.Reason(),
              "the picture is 321 x 240 pixels; taken as they stand are 256, 320 or 384 x 240 "
              "(or half as wide: 128, 160 or 192 x 240), and --fit scales any other");
  }
}

struct FitCase {
  int width, height;
  int left, top, right, bottom;  // the picture's place on the screen, right and bottom excluded
};

TEST(FitTest, AFittedPictureKeepsItsAspectCentredOnBlack) {
  const view::Rgb colour{200, 100, 50};
  const FitCase cases[] = {
      {640, 480, 0, 0, 320, 240},     // the screen's aspect, halved
      {100, 300, 120, 0, 200, 240},   // tall: bars left and right
      {3200, 1200, 0, 60, 320, 180},  // wide: bars above and below
      {16384, 3, 0, 119, 320, 120},   // a line: one row at least
      {7, 5, 0, 5, 320, 234},         // small: scaled up
  };
  for (const FitCase& c : cases) {
    SourceSink sink(true);
    const import::SourcePicture p = Feed(sink, c.width, c.height, colour);
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
    EXPECT_TRUE(sink.Fitted());
    ASSERT_EQ(p.Width, kFitWidth);
    ASSERT_EQ(p.Height, kFitHeight);
    for (int y = 0; y < kFitHeight; ++y) {
      for (int x = 0; x < kFitWidth; ++x) {
        const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
        const view::Rgb got = p.Pixels[static_cast<size_t>(y) * kFitWidth + x];
        if (inside) {
          ASSERT_LE(
              std::abs(got.R - colour.R) + std::abs(got.G - colour.G) + std::abs(got.B - colour.B),
              3)
              << x << ", " << y;
        } else {
          ASSERT_EQ(got, view::kBlack) << x << ", " << y;
        }
      }
    }
  }
}

TEST(FitTest, ALargePictureIsShrunkByTheDecoderAndBoxedInBoundedMemory) {
  SourceSink sink(true);
  EXPECT_EQ(sink.Shrink(320, 240), 1);
  EXPECT_EQ(sink.Shrink(1280, 960), 2);
  EXPECT_EQ(sink.Shrink(16384, 16384), 8);
  SourceSink strict(false);
  EXPECT_EQ(strict.Shrink(16384, 16384), 1);
  // Black and white halves average to mid grey in linear light, which
  // is 188 once encoded, not the 128 of averaging the codes.
  sink.Begin(2000, 1500);
  std::vector<view::Rgb> row(2000);
  for (int x = 0; x < 2000; ++x) row[static_cast<size_t>(x)] = x % 2 ? view::kWhite : view::kBlack;
  for (int y = 0; y < 1500; ++y) sink.Put(y, 0, 1, row.data(), 2000);
  const import::SourcePicture p = sink.Finish();
  EXPECT_NEAR(p.Pixels[120 * 320 + 160].R, 188, 6);
}

}  // namespace qdp::importer
}  // namespace qdp::importer
