#include "view/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

BitImage Pattern() {
  BitImage image;
  image.width = 13;
  image.height = 5;
  image.fill_row = [](int y, uint8_t* row) {
    for (int x = 0; x < 13; ++x) {
      if (Light(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  };
  return image;
}

TEST(PngWriterTest, EveryPixelBecomesAScaleByScaleSquare) {
  ScratchDir dir;
  for (int scale : {1, 3, 16}) {
    SCOPED_TRACE(scale);
    std::string path = dir.File("p.png");
    WritePng(RealFileSystem(), path, Pattern(), scale);
    GrayImage read = ReadPng(path);
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.width, 13 * scale);
    ASSERT_EQ(read.height, 5 * scale);
    for (int y = 0; y < read.height; ++y) {
      for (int x = 0; x < read.width; ++x) {
        ASSERT_EQ(read.At(x, y), Light(x / scale, y / scale) ? 255 : 0) << x << "," << y;
      }
    }
    // Renamed into place: no temporary file is left beside it.
    EXPECT_EQ(dir.List(), std::vector<std::string>{"p.png"});
  }
}

// Noise is stored and a picture of runs deflated; either way, and at any
// scale, the pixels read back exactly.
TEST(PngWriterTest, NoiseAndRunsBothReadBackExactly) {
  ScratchDir dir;
  auto noise = [](int x, int y) { return ((x * 2654435761u) ^ (y * 40503u) ^ (x * y)) % 7 < 3; };
  auto runs = [](int x, int y) { return (x / 24 + y / 10) % 2 == 0; };
  for (auto [name, light] : {std::pair{"noise", +noise}, std::pair{"runs", +runs}}) {
    BitImage image;
    image.width = 320;
    image.height = 240;
    image.fill_row = [light = light](int y, uint8_t* row) {
      for (int x = 0; x < 320; ++x) {
        if (light(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    };
    for (int scale : {1, 2}) {
      SCOPED_TRACE(std::string(name) + " at scale " + std::to_string(scale));
      const std::string path = dir.File(std::string(name) + ".png");
      WritePng(RealFileSystem(), path, image, scale);
      GrayImage read = ReadPng(path);
      ASSERT_TRUE(read.ok);
      ASSERT_EQ(read.width, 320 * scale);
      ASSERT_EQ(read.height, 240 * scale);
      for (int y = 0; y < read.height; ++y) {
        for (int x = 0; x < read.width; ++x) {
          ASSERT_EQ(read.At(x, y), light(x / scale, y / scale) ? 255 : 0) << x << "," << y;
        }
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
  EXPECT_TRUE(ReadPng(dir.File(name)).ok);
  EXPECT_EQ(dir.List(), std::vector<std::string>{name});
}

// Whichever step fails (making the file, a write in the middle of libpng's
// output, the final close), the file system's error comes out as it was
// thrown, and the old picture stays as it was.
TEST(PngWriterTest, AFailedWriteThrowsTheFileSystemsErrorAndKeepsTheOldFile) {
  const std::string target = "/mem/p.png";
  const testing::Bytes old = {1, 2, 3};
  BitImage big = Pattern();
  big.width = 2000;  // with scale 16, many times the writer's buffer
  big.height = 300;
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
