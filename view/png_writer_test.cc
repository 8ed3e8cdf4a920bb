#include "view/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "platform/error.h"
#include "platform/file_system.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"
#include "view/png_reader.h"

namespace qdp::view {
namespace {

using testing::ScratchDir;

// 13 x 5 pixels (not a whole number of bytes a row): pixel (x, y) is light
// where (x * 7 + y * 3) % 5 < 2.
bool Light(int x, int y) { return (x * 7 + y * 3) % 5 < 2; }

IndexedImage Pattern() {
  IndexedImage image;
  image.Width = 13;
  image.Height = 5;
  image.Palette = BlackAndWhite();
  image.FillRow = [](int y, uint8_t* row) {
    for (int x = 0; x < 13; ++x) row[x] = Light(x, y) ? 1 : 0;
  };
  return image;
}

Rgb Shade(bool light) { return light ? kWhite : kBlack; }

TEST(PngWriterTest, EveryPixelBecomesAScaleByScaleSquare) {
  ScratchDir dir;
  for (int scale : {1, 3, 16}) {
    SCOPED_TRACE(scale);
    std::string path = dir.File("p.png");
    WritePng(RealFileSystem(), path, Pattern(), scale);
    RgbImage read = ReadPng(path);
    ASSERT_TRUE(read.Ok);
    ASSERT_EQ(read.Width, 13 * scale);
    ASSERT_EQ(read.Height, 5 * scale);
    for (int y = 0; y < read.Height; ++y) {
      for (int x = 0; x < read.Width; ++x) {
        ASSERT_EQ(read.At(x, y), Shade(Light(x / scale, y / scale))) << x << "," << y;
      }
    }
    // Renamed into place: no temporary file is left beside it.
    EXPECT_EQ(dir.List(), std::vector<std::string>{"p.png"});
  }
}

// Writers share nothing: a picture written while another is half written
// (here, from inside the other's row source) leaves both exact.
TEST(PngWriterTest, TwoPicturesWrittenAtOnceAreBothExact) {
  ScratchDir dir;
  const std::string outer_path = dir.File("outer.png");
  const std::string inner_path = dir.File("inner.png");
  PngWriter outer_writer;
  PngWriter inner_writer;
  IndexedImage outer = Pattern();
  outer.FillRow = [&](int y, uint8_t* row) {
    if (y == 2) inner_writer.Write(RealFileSystem(), inner_path, Pattern(), 2);
    Pattern().FillRow(y, row);
  };
  outer_writer.Write(RealFileSystem(), outer_path, outer, 3);
  for (const auto& [path, scale] : {std::pair{outer_path, 3}, std::pair{inner_path, 2}}) {
    RgbImage read = ReadPng(path);
    ASSERT_TRUE(read.Ok) << path;
    ASSERT_EQ(read.Width, 13 * scale);
    for (int y = 0; y < read.Height; ++y) {
      for (int x = 0; x < read.Width; ++x) {
        ASSERT_EQ(read.At(x, y), Shade(Light(x / scale, y / scale)))
            << path << " " << x << "," << y;
      }
    }
  }
}

// Noise is stored and a picture of runs deflated; either way, and at any
// scale, the pixels read back exactly.
TEST(PngWriterTest, NoiseAndRunsBothReadBackExactly) {
  ScratchDir dir;
  auto noise = [](int x, int y) { return ((x * 2654435761u) ^ (y * 40503u) ^ (x * y)) % 7 < 3; };
  auto runs = [](int x, int y) { return (x / 24 + y / 10) % 2 == 0; };
  for (auto [name, light] : {std::pair{"noise", +noise}, std::pair{"runs", +runs}}) {
    IndexedImage image;
    image.Width = 320;
    image.Height = 240;
    image.Palette = BlackAndWhite();
    image.FillRow = [light = light](int y, uint8_t* row) {
      for (int x = 0; x < 320; ++x) row[x] = light(x, y) ? 1 : 0;
    };
    for (int scale : {1, 2}) {
      SCOPED_TRACE(std::string(name) + " at scale " + std::to_string(scale));
      const std::string path = dir.File(std::string(name) + ".png");
      WritePng(RealFileSystem(), path, image, scale);
      RgbImage read = ReadPng(path);
      ASSERT_TRUE(read.Ok);
      ASSERT_EQ(read.Width, 320 * scale);
      ASSERT_EQ(read.Height, 240 * scale);
      for (int y = 0; y < read.Height; ++y) {
        for (int x = 0; x < read.Width; ++x) {
          ASSERT_EQ(read.At(x, y), Shade(light(x / scale, y / scale))) << x << "," << y;
        }
      }
    }
  }
}

// A black and white picture is written as 1-bit grey, byte for byte as
// the writer has written it since its pictures carry the mark: scripts
// that compare previews see a change only when one is meant.
TEST(PngWriterTest, BlackAndWhiteKeepsItsBytes) {
  auto noise = [](int x, int y) { return ((x * 2654435761u) ^ (y * 40503u) ^ (x * y)) % 7 < 3; };
  IndexedImage noisy;
  noisy.Width = 320;
  noisy.Height = 240;
  noisy.Palette = BlackAndWhite();
  noisy.FillRow = [&](int y, uint8_t* row) {
    for (int x = 0; x < 320; ++x) row[x] = noise(x, y) ? 1 : 0;
  };
  struct Case {
    const IndexedImage& image;
    int scale;
    size_t size;
    uint32_t crc;
  };
  const IndexedImage pattern = Pattern();
  const Case cases[] = {{pattern, 1, 108, 0xdfe6784f},
                        {pattern, 3, 154, 0x0eb2197e},
                        {noisy, 1, 9948, 0x2c8b7f28},  // stored
                        {noisy, 2, 10492, 0x225a6f21}};
  for (const Case& c : cases) {
    testing::MemoryFileSystem fs;
    WritePng(fs, "/p.png", c.image, c.scale);
    const testing::Bytes& bytes = fs.files["/p.png"];
    EXPECT_EQ(bytes.size(), c.size) << c.image.Width << " at " << c.scale;
    EXPECT_EQ(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())), c.crc)
        << c.image.Width << " at " << c.scale;
  }
}

// Any other palette is written indexed, and every pixel reads back as its
// palette colour.
// The mark is found in what the writer writes, in either form, and not in
// a file that merely looks alike: another signature, another text, the
// file cut short.
TEST(PngWriterTest, OnlyTheWritersOwnPicturesCarryItsMark) {
  IndexedImage colours = Pattern();
  colours.Palette = {kBlack, kWhite, {10, 20, 30}};
  for (const IndexedImage& image : {Pattern(), colours}) {
    testing::MemoryFileSystem fs;
    WritePng(fs, "/p.png", image, 2);
    const testing::Bytes own = fs.files["/p.png"];
    const auto mark = std::search(own.begin(), own.end(), kMarkText, kMarkText + 7);
    const std::string_view idat = "IDAT";
    const auto pixels = std::search(own.begin(), own.end(), idat.begin(), idat.end());
    ASSERT_LT(mark, pixels);
    testing::Bytes other_text = own;
    other_text[static_cast<size_t>(mark - own.begin()) + 6] = 'x';
    testing::Bytes other_signature = own;
    other_signature[1] = 'p';
    const std::pair<testing::Bytes, bool> cases[] = {
        {own, true},
        {other_text, false},
        {other_signature, false},
        {testing::Bytes(own.begin(), mark), false},
        {{}, false},
    };
    for (const auto& [bytes, marked] : cases) {
      fs.files["/q.png"] = bytes;
      EXPECT_EQ(CarriesMark(*fs.OpenForReading("/q.png")), marked) << bytes.size() << " bytes";
    }
  }
}

TEST(PngWriterTest, APaletteImageReadsBackToItsColours) {
  IndexedImage image;
  image.Width = 37;
  image.Height = 11;
  for (int i = 0; i < 256; ++i) {
    image.Palette.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
  }
  auto index = [](int x, int y) { return static_cast<uint8_t>(x * 13 + y * 29); };
  image.FillRow = [&](int y, uint8_t* row) {
    for (int x = 0; x < 37; ++x) row[x] = index(x, y);
  };
  ScratchDir dir;
  for (int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    const std::string path = dir.File("c.png");
    WritePng(RealFileSystem(), path, image, scale);
    RgbImage read = ReadPng(path);
    ASSERT_TRUE(read.Ok);
    ASSERT_EQ(read.Width, 37 * scale);
    for (int y = 0; y < read.Height; ++y) {
      for (int x = 0; x < read.Width; ++x) {
        ASSERT_EQ(read.At(x, y), image.Palette[index(x / scale, y / scale)]) << x << "," << y;
      }
    }
  }
}

// A target whose name is as long as a directory entry allows must still
// be written: the temporary name may not be longer than the target's.
TEST(PngWriterTest, ATargetWithTheLongestNameIsWritten) {
  ScratchDir dir;
  const std::string name = std::string(255 - 4, 'p') + ".png";
  WritePng(RealFileSystem(), dir.File(name), Pattern(), 1);
  EXPECT_TRUE(ReadPng(dir.File(name)).Ok);
  EXPECT_EQ(dir.List(), std::vector<std::string>{name});
}

// Whichever step fails (making the file, a write in the middle of libpng's
// output, the final close), the file system's error comes out as it was
// thrown, and the old picture stays as it was.
TEST(PngWriterTest, AFailedWriteThrowsTheFileSystemsErrorAndKeepsTheOldFile) {
  const std::string target = "/mem/p.png";
  const testing::Bytes old = {1, 2, 3};
  IndexedImage big = Pattern();
  big.Width = 2000;  // with scale 16, many times the writer's buffer
  big.Height = 300;
  for (const std::string step : {"create", "write", "close"}) {
    SCOPED_TRACE(step);
    testing::MemoryFileSystem fs;
    fs.files[target] = old;
    if (step == "create") fs.fail_create[target] = "File access denied";
    if (step == "write") fs.fail_write[target] = "Disk full";
    if (step == "close") fs.fail_close[target] = "Disk full";
    fs.write_limit = 100;
    try {
      WritePng(fs, target, big, 16);
      ADD_FAILURE() << "no error";
    } catch (const InOutError& error) {
      EXPECT_EQ(error.Reason(), step == "create" ? "File access denied" : "Disk full");
      EXPECT_EQ(error.Path(), target);
      EXPECT_EQ(error.Access(), FileAccess::kWrite);
    }
    EXPECT_EQ(fs.files[target], old);
    // Nothing more was written after the failing write.
    if (step == "write") {
      EXPECT_EQ(fs.write_sizes[target].size(), 1u);
    }
  }
  // The same writer goes on to write a good picture afterwards.
  testing::MemoryFileSystem fs;
  WritePng(fs, target, Pattern(), 1);
  EXPECT_EQ(fs.created, std::vector<std::string>{target});
}

}  // namespace
}  // namespace qdp::view
