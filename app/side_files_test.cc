// The side-file writers, against a file system that can fail on purpose.
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

// A loaded-looking workspace: every font filled with its own byte value
// (font f holds f + 1), screen rows holding recognisable codes with bit 7
// set here and there, bitmap bytes that tell row and column apart, colour
// tables non-zero everywhere (the 16 entries per table that belong to no
// bitmap line too), and a marker beyond the picture's width in the screen
// and the bitmap that must never reach a file.
std::unique_ptr<Workspace> MakeWorkspace(uint8_t width) {
  auto ws = std::make_unique<Workspace>();
  ws->LineWidth = width;
  for (int f = 0; f < kFontCount; ++f) {
    std::fill_n(&ws->FontBank[f * kFontBytes], kFontBytes, static_cast<uint8_t>(f + 1));
  }
  for (int i = 0; i < kScreenLines; ++i) {
    for (int x = 0; x < kRowStride; ++x) {
      ws->Screen[i * kRowStride + x] =
          x < width ? static_cast<uint8_t>((i * 5 + x) | (x % 3 == 0 ? 0x80 : 0)) : 0xEE;
    }
  }
  ws->LineModesValid = true;
  ws->LineModes.fill(LineMode::kHiRes);
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

Bytes Row(const Workspace& ws, int line) {
  const uint8_t* row = &ws.Screen[line * kRowStride];
  return Bytes(row, row + LineCells(ws));
}

Bytes Font(int f) { return Bytes(kFontBytes, static_cast<uint8_t>(f + 1)); }

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(FntScrTabTest, WritesTheUsedFontsAmongTheFirstThirtyInAscendingOrder) {
  auto ws = MakeWorkspace(40);
  // Fonts 5, 3, 0 and 29 (the last the font file takes) in use in mixed
  // order; font 3 only on a skipped line; fonts 30 and 127 are beyond what
  // the font file takes.
  for (int i = 0; i < kScreenLines; ++i) ws->LineFontTable[i] = (i % 2 == 0) ? 5 : 0;
  ws->LineFontTable[7] = 3;
  ws->LineModes[7] = LineMode::kBlank;
  ws->LineFontTable[10] = 29;
  ws->LineFontTable[8] = 30;
  ws->LineFontTable[9] = 127;
  ws->HighestFontInUse = 127;
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("f", "pic.qdp"), *ws, fs);

  EXPECT_EQ(fs.created, (std::vector<std::string>{"pic.fnt", "pic.tab"}));
  EXPECT_EQ(fs.files["pic.fnt"], Concat({Font(0), Font(3), Font(5), Font(29)}));
  Bytes table;
  for (int i = 0; i < kScreenLines; ++i) {
    if (i != 7) table.push_back(ws->LineFontTable[i]);
  }
  EXPECT_EQ(fs.files["pic.tab"], table);
}

TEST(FntScrTabTest, FontsBeyondTheTwentyNinthLeaveAnEmptyFontFile) {
  auto ws = MakeWorkspace(32);
  for (int i = 0; i < kScreenLines; ++i) ws->LineFontTable[i] = static_cast<uint8_t>(30 + i);
  ws->HighestFontInUse = 59;
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("f", "pic.qdp"), *ws, fs);
  EXPECT_EQ(fs.files["pic.fnt"], Bytes());
  EXPECT_EQ(fs.files["pic.tab"], Bytes(ws->LineFontTable.begin(), ws->LineFontTable.end()));
}

TEST(FntScrTabTest, ScreenRecordsHoldTheRowOrFillerForEveryWidth) {
  for (uint8_t width : {32, 40, 48}) {
    SCOPED_TRACE(width);
    auto ws = MakeWorkspace(width);
    ws->LineModes[2] = LineMode::kBlank;
    ws->LineModes[7] = LineMode::kBlank;
    ws->LineModes[29] = LineMode::kBlank;
    MemoryFileSystem fs;
    WriteSideFiles(JobOptions("s", "pic.qdp"), *ws, fs);
    EXPECT_EQ(fs.created, std::vector<std::string>{"pic.scr"});
    Bytes expected;
    for (int i = 0; i < kScreenLines; ++i) {
      Bytes record = (i == 2 || i == 7 || i == 29) ? Bytes(width, 127) : Row(*ws, i);
      expected.insert(expected.end(), record.begin(), record.end());
    }
    EXPECT_EQ(fs.files["pic.scr"], expected);
  }
}

TEST(FntScrTabTest, AnAllZeroLineModeTableGivesFillerAndAnEmptyLineTable) {
  auto ws = MakeWorkspace(40);
  ws->LineModesValid = false;
  ws->LineFontTable[4] = 2;
  ws->HighestFontInUse = 2;
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("fs", "pic.qdp"), *ws, fs);
  EXPECT_EQ(fs.created, (std::vector<std::string>{"pic.fnt", "pic.scr", "pic.tab"}));
  EXPECT_EQ(fs.files["pic.fnt"], Concat({Font(0), Font(2)}));
  EXPECT_EQ(fs.files["pic.scr"], Bytes(1200, 127));
  EXPECT_EQ(fs.files["pic.tab"], Bytes());
}

TEST(FntScrTabTest, NoLineTableWhenEveryLineUsesFontZero) {
  auto ws = MakeWorkspace(40);
  MemoryFileSystem fs;
  fs.files["pic.tab"] = Bytes{9, 9, 9};
  WriteSideFiles(JobOptions("fs", "pic.qdp"), *ws, fs);
  EXPECT_EQ(fs.created, (std::vector<std::string>{"pic.fnt", "pic.scr"}));
  EXPECT_EQ(fs.files["pic.fnt"], Font(0));
  EXPECT_EQ(fs.files["pic.tab"], (Bytes{9, 9, 9}));
}

TEST(FntScrTabTest, EachOptionSelectsOnlyItsFiles) {
  struct Case {
    const char* letters;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"", {}},         {"s", {"p.scr"}}, {"f", {"p.fnt", "p.tab"}},
      {"m", {"p.mic"}}, {"c", {"p.col"}}, {"sfmc", {"p.mic", "p.fnt", "p.scr", "p.tab", "p.col"}},
  };
  for (const Case& c : cases) {
    auto ws = MakeWorkspace(40);
    ws->LineFontTable[1] = 1;
    ws->HighestFontInUse = 1;
    MemoryFileSystem fs;
    WriteSideFiles(JobOptions(c.letters, "p"), *ws, fs);
    EXPECT_EQ(fs.created, c.files) << c.letters;
  }
}

TEST(FntScrTabTest, AWidthAboveTheRowStrideIsClampedToTheStoredRow) {
  auto ws = MakeWorkspace(48);
  ws->LineWidth = 127;
  ws->LineModes[0] = LineMode::kBlank;
  MemoryFileSystem fs;
  WriteSideFiles(JobOptions("s", "pic.qdp"), *ws, fs);
  const Bytes& scr = fs.files["pic.scr"];
  ASSERT_EQ(scr.size(), 30u * 48);
  EXPECT_EQ(Bytes(scr.begin(), scr.begin() + 48), Bytes(48, 127));
  EXPECT_EQ(Bytes(scr.end() - 48, scr.end()), Row(*ws, 29));
}

// Each failing step raises the file error with its reason, keeps what was
// finished before it, and writes nothing after it.
TEST(FntScrTabTest, TheFirstFailureStopsTheExport) {
  enum Step { kCreate, kWrite, kClose };
  struct Case {
    Step step;
    const char* file;
    std::vector<std::string> created;
  };
  const Case cases[] = {
      {kCreate, "pic.fnt", {}},
      {kWrite, "pic.fnt", {}},
      {kClose, "pic.fnt", {}},
      {kCreate, "pic.scr", {"pic.fnt"}},
      {kWrite, "pic.scr", {"pic.fnt"}},
      {kClose, "pic.scr", {"pic.fnt"}},
      {kCreate, "pic.tab", {"pic.fnt", "pic.scr"}},
      {kWrite, "pic.tab", {"pic.fnt", "pic.scr"}},
      {kClose, "pic.tab", {"pic.fnt", "pic.scr"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " step " + std::to_string(c.step));
    auto ws = MakeWorkspace(40);
    ws->LineFontTable[3] = 1;
    ws->HighestFontInUse = 1;
    MemoryFileSystem fs;
    auto& failures = c.step == kCreate  ? fs.fail_create
                     : c.step == kWrite ? fs.fail_write
                                        : fs.fail_close;
    failures[c.file] = "Disk full";
    fs.write_limit = 10;
    try {
      WriteSideFiles(JobOptions("fs", "pic.qdp"), *ws, fs);
      ADD_FAILURE() << "no error raised";
    } catch (const InOutError& e) {
      EXPECT_EQ(e.Kind(), ErrorKind::kInOut);
      EXPECT_EQ(e.Reason(), "Disk full");
    }
    EXPECT_EQ(fs.created, c.created);
    EXPECT_EQ(fs.files.count(c.file), 0u);
    if (std::string(c.file) != "pic.fnt") {
      EXPECT_EQ(fs.files["pic.fnt"], Concat({Font(0), Font(1)}));
    }
  }
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
      EXPECT_TRUE(fs.created.empty());
      EXPECT_TRUE(fs.files.empty());
    }
  }
}

// A side file is replaced whole: whichever step fails, the file there
// before keeps what it held, and nothing is removed.
TEST(WriteSideFileTest, AFailingStepKeepsTheOldFileAsItWas) {
  enum Step { kCreate, kWrite, kClose };
  for (Step step : {kCreate, kWrite, kClose}) {
    SCOPED_TRACE(step);
    MemoryFileSystem fs;
    fs.files["pic.mic"] = Bytes{1, 2, 3};
    auto& failures = step == kCreate  ? fs.fail_create
                     : step == kWrite ? fs.fail_write
                                      : fs.fail_close;
    failures["pic.mic"] = "Disk full";
    fs.write_limit = 4;
    EXPECT_THROW(WriteSideFile(fs, "pic.mic", Bytes(100, 9)), InOutError);
    EXPECT_EQ(fs.files["pic.mic"], (Bytes{1, 2, 3}));
    EXPECT_TRUE(fs.removed.empty());
  }
}

}  // namespace
}  // namespace qdp
