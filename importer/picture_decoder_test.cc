#include "importer/picture_decoder.h"

#include <gtest/gtest.h>
#include <png.h>

#include "importer/fit.h"
#include "platform/error.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/picture_files.h"

namespace qdp::importer {
namespace {

using testing::Bytes;
using testing::Drawn;
using testing::Picture;
using testing::PngForm;

// Keeps every pixel where the decoder put it, counting how often each was
// put, so that a pixel missed or put twice shows.
class KeepingSink : public PixelSink {
 public:
  int Shrink(int, int) const override { return 1; }
  void Begin(int width, int height) override {
    Width = width;
    Height = height;
    Pixels.assign(static_cast<size_t>(width) * height, {});
    Times.assign(Pixels.size(), 0);
  }
  void Put(int y, int x0, int step, const view::Rgb* pixels, int count) override {
    for (int i = 0; i < count; ++i) {
      const size_t at = static_cast<size_t>(y) * Width + x0 + i * step;
      Pixels.at(at) = pixels[i];
      ++Times.at(at);
    }
  }
  int Width = 0;
  int Height = 0;
  std::vector<view::Rgb> Pixels;
  std::vector<int> Times;
};

KeepingSink Decode(const Bytes& bytes) {
  testing::MemoryFileSystem fs;
  fs.files["/p"] = bytes;
  KeepingSink sink;
  DecodePicture(*fs.OpenForReading("/p"), sink);
  return sink;
}

// The reason decoding `bytes` is refused with, or "" when it decodes.
std::string Refusal(const Bytes& bytes) {
  try {
    Decode(bytes);
  } catch (const PictureFileError& error) {
    return error.Reason();
  }
  return "";
}

// A picture that a form can hold: at most as many colours as a palette
// of its depth, some of them partly transparent.
Picture PictureFor(const PngForm& form, int width, int height) {
  Picture p = MakePicture(Drawn::kNoise, width, height, static_cast<uint32_t>(width * 31 + height));
  if (form.ColourType == PNG_COLOR_TYPE_PALETTE) {
    const int colours = std::min(1 << form.BitDepth, 12);
    for (testing::Rgba& px : p.Pixels) {
      const int i = px.R % colours;
      px = {static_cast<uint8_t>(i * 20), static_cast<uint8_t>(250 - i * 7),
            static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i % 3 == 0 ? 128 : 255)};
    }
  } else {
    for (testing::Rgba& px : p.Pixels) px.A = static_cast<uint8_t>(px.G ^ px.B);
  }
  return p;
}

TEST(PictureDecoderTest, EveryPngColourTypeDepthAndInterlacingDecodesExactly) {
  const PngForm forms[] = {
      {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},    {PNG_COLOR_TYPE_GRAY, 4},
      {PNG_COLOR_TYPE_GRAY, 8},        {PNG_COLOR_TYPE_GRAY, 16},   {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},     {PNG_COLOR_TYPE_RGB, 16},
      {PNG_COLOR_TYPE_RGBA, 8},        {PNG_COLOR_TYPE_RGBA, 16},   {PNG_COLOR_TYPE_PALETTE, 1},
      {PNG_COLOR_TYPE_PALETTE, 2},     {PNG_COLOR_TYPE_PALETTE, 4}, {PNG_COLOR_TYPE_PALETTE, 8},
  };
  // Sizes where some of the interlaced passes hold no pixel, and one where
  // all do.
  const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {13, 9}, {160, 240}};
  for (PngForm form : forms) {
    for (bool interlaced : {false, true}) {
      form.Interlaced = interlaced;
      for (auto [width, height] : sizes) {
        const Picture picture = PictureFor(form, width, height);
        const KeepingSink sink = Decode(EncodePng(picture, form));
        SCOPED_TRACE(::testing::Message()
                     << "colour type " << form.ColourType << ", depth " << form.BitDepth
                     << ", interlaced " << interlaced << ", " << width << " x " << height);
        ASSERT_EQ(sink.Width, width);
        ASSERT_EQ(sink.Height, height);
        EXPECT_EQ(sink.Times, std::vector<int>(sink.Times.size(), 1));
        EXPECT_TRUE(sink.Pixels == ExpectedRgb(picture, form));
      }
    }
  }
}

TEST(PictureDecoderTest, JpegsDecodeCloseToWhatWasStored) {
  const Picture picture = MakePicture(Drawn::kGradient, 320, 240);
  struct Case {
    bool grey;
    bool progressive;
  };
  for (Case c : {Case{false, false}, Case{false, true}, Case{true, false}}) {
    const KeepingSink sink = Decode(EncodeJpeg(picture, 95, c.grey, c.progressive));
    ASSERT_EQ(sink.Width, 320);
    ASSERT_EQ(sink.Height, 240);
    double difference = 0;
    for (size_t i = 0; i < sink.Pixels.size(); ++i) {
      const testing::Rgba& p = picture.Pixels[i];
      const view::Rgb& d = sink.Pixels[i];
      difference += std::abs(d.R - p.R);
      if (c.grey) {
        EXPECT_TRUE(d.R == d.G && d.G == d.B);
      } else {
        difference += std::abs(d.G - p.G) + std::abs(d.B - p.B);
      }
    }
    EXPECT_LT(difference / static_cast<double>(sink.Pixels.size()), 4.0);
  }
}

TEST(PictureDecoderTest, BrokenAndOversizedFilesAreRefusedWithTheirReason) {
  const Bytes png = EncodePng(MakePicture(Drawn::kShapes, 320, 240), {PNG_COLOR_TYPE_RGB, 8});
  const Bytes jpeg = EncodeJpeg(MakePicture(Drawn::kShapes, 320, 240), 80);
  Bytes bad_crc = png;
  bad_crc[40] ^= 0x55;
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reason_starts;
  };
  const Case cases[] = {
      {"empty", {}, "not a PNG or JPEG picture"},
      {"text", {'h', 'e', 'l', 'l', 'o'}, "not a PNG or JPEG picture"},
      {"PNG cut short", testing::Truncated(png, png.size() / 2), "corrupt PNG"},
      {"PNG with a damaged chunk", bad_crc, "corrupt PNG"},
      {"JPEG cut short", testing::Truncated(jpeg, jpeg.size() / 2),
       "corrupt JPEG: the file ends early"},
      {"JPEG without its frame", testing::Truncated(jpeg, 20), "corrupt JPEG: the file ends early"},
      {"wider than the limit", testing::PngHeaderOnly(16385, 240),
       "the picture is 16385 x 240 pixels, larger than the 16384 x 16384"},
      {"taller than the limit", testing::PngHeaderOnly(100, 1u << 30),
       "the picture is 100 x 1073741824 pixels"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Refusal(c.bytes).rfind(c.reason_starts, 0), 0u) << c.name << ": " << Refusal(c.bytes);
  }
}

}  // namespace
}  // namespace qdp::importer
