#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/run_job.h"
#include "export/side_files.h"
#include "platform/error.h"
#include "tests/support/job_options.h"
#include "tests/support/memory_file_system.h"

namespace qdp {
namespace {

using testing::Bytes;
using testing::JobOptions;
using testing::MemoryFileSystem;

// Bitmap bytes that tell row and column apart, with a marker beyond the
// picture's width; colour tables non-zero everywhere, including the 16
// entries per table that belong to no bitmap line.
std::unique_ptr<Workspace> MakeWorkspace(uint8_t width) {
  auto ws = std::make_unique<Workspace>();
  ws->LineWidth = width;
  for (int r = 0; r < kBitmapLines; ++r) {
    for (int x = 0; x < kRowStride; ++x) {
      ws->Bitmap[r * kRowStride + x] = x < width ? static_cast<uint8_t>(r * 3 + x) : 0xEE;
    }
  }
  for (size_t i = 0; i < ws->ColourTables.size(); ++i) {
    ws->ColourTables[i] = static_cast<uint8_t>(i % 251 + 1);
  }
  return ws;
}

TEST(SaveMicFileTest, WritesTheWidthOfEveryBitmapRow) {
  for (uint8_t width : {0, 32, 40, 48}) {
    SCOPED_TRACE(width);
    auto ws = MakeWorkspace(width);
    MemoryFileSystem fs;
    WriteSideFiles(JobOptions("m", "dir.v1/pic.qdp"), *ws, fs);
    Bytes expected;
    for (int r = 0; r < kBitmapLines; ++r) {
      const uint8_t* row = &ws->Bitmap[r * kRowStride];
      expected.insert(expected.end(), row, row + width);
    }
    EXPECT_EQ(fs.created, std::vector<std::string>{"dir.v1/pic.mic"});
    EXPECT_EQ(fs.files["dir.v1/pic.mic"].size(), 240u * width);
    EXPECT_EQ(fs.files["dir.v1/pic.mic"], expected);
  }
}

TEST(SaveMicFileTest, AWidthAboveTheRowStrideStaysInsideTheBitmap) {
  auto ws = MakeWorkspace(48);
  ws->LineWidth = 100;
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("m", "pic.qdp"), *ws, fs);
  EXPECT_EQ(fs.files["pic.mic"], Bytes(ws->Bitmap.begin(), ws->Bitmap.begin() + 240 * 48));
}

TEST(SaveColFileTest, WritesFiveTablesOfTwoHundredFortyEntriesAndZeroPadding) {
  auto ws = MakeWorkspace(40);
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("c", "pic.qdp"), *ws, fs);
  const Bytes& col = fs.files["pic.col"];
  ASSERT_EQ(col.size(), 1280u);
  for (size_t t = 0; t < 5; ++t) {
    const uint8_t* table = &ws->ColourTables[t * 256];
    EXPECT_EQ(Bytes(col.begin() + t * 256, col.begin() + t * 256 + 240), Bytes(table, table + 240));
    EXPECT_EQ(Bytes(col.begin() + t * 256 + 240, col.begin() + t * 256 + 256), Bytes(16, 0));
  }
}

TEST(SaveColFileTest, DisabledLeavesAnExistingFileAlone) {
  auto ws = MakeWorkspace(40);
  MemoryFileSystem fs;
  fs.files["pic.col"] = Bytes{1, 2, 3};
  fs.fail_create["pic.col"] = "File access denied";
  WriteSideFiles(JobOptions("", "pic.qdp"), *ws, fs);
  EXPECT_TRUE(fs.created.empty());
  EXPECT_EQ(fs.files["pic.col"], (Bytes{1, 2, 3}));
}

TEST(MicColFailureTest, EveryFailingStepRaisesTheFileErrorWithItsReason) {
  enum Step { kCreate, kWrite, kClose };
  for (const char* file : {"pic.mic", "pic.col"}) {
    for (Step step : {kCreate, kWrite, kClose}) {
      SCOPED_TRACE(std::string(file) + " step " + std::to_string(step));
      auto ws = MakeWorkspace(40);
      MemoryFileSystem fs;
      auto& failures = step == kCreate  ? fs.fail_create
                       : step == kWrite ? fs.fail_write
                                        : fs.fail_close;
      failures[file] = "I/O error 5";
      try {
        if (std::string(file) == "pic.mic") {
          WriteSideFiles(JobOptions("m", "pic.qdp"), *ws, fs);
        } else {
          WriteSideFiles(JobOptions("c", "pic.qdp"), *ws, fs);
        }
        ADD_FAILURE() << "no error raised";
      } catch (const InOutError& e) {
        EXPECT_EQ(e.Reason(), "I/O error 5");
      }
      EXPECT_EQ(fs.created.size(), step == kCreate ? 0u : 1u);
    }
  }
}

}  // namespace
}  // namespace qdp
