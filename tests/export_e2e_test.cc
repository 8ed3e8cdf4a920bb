// The side files as a user gets them: the real binary run in a fresh
// directory on projects whose output can be worked out in advance.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/expected_side_files.h"
#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

constexpr uint8_t kNoRebuild = 0x08;

// A project that keeps its fonts and screen as stored: six fonts of
// distinct glyphs, codes with bit 7 here and there, lines in fonts 0, 3
// and 5 (font 5 only on a line that is not in use), mixed skip values and
// colour tables that are non-zero in the entries the file leaves out.
ProjectContent RichProject(uint8_t width = 40) {
  ProjectContent content;
  content.width_byte = width;
  content.mode_byte = kNoRebuild | 1;
  content.fonts_byte = 5;
  for (int f = 0; f < 6; ++f) {
    for (int c = 0; c < 128; ++c) {
      std::array<uint8_t, 8> rows;
      for (int k = 0; k < 8; ++k) rows[k] = static_cast<uint8_t>(f * 37 + c * 5 + k * 11);
      content.SetGlyph(f, c, rows);
    }
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < content.Width(); ++x) {
      content.SetCell(line, x,
                      static_cast<uint8_t>((line * 7 + x) % 128 | (x % 5 == 0 ? 0x80 : 0)));
    }
    content.line_fonts[line] = line % 3 == 0 ? 3 : 0;
    content.line_mode_table[line] = std::array<uint8_t, 4>{1, 2, 4, 1}[line % 4];
  }
  content.line_fonts[4] = 0x83;  // font 3 with the line's inverse flag
  content.line_fonts[10] = 5;
  content.line_mode_table[10] = 255;
  content.line_mode_table[17] = 255;
  for (size_t i = 0; i < content.colours.size(); ++i)
    content.colours[i] = static_cast<uint8_t>(i * 7 + 1);
  return content;
}

std::vector<std::string> Names(const std::string& stem, const SideFiles& files) {
  std::vector<std::string> names{"pic.qdp"};
  for (const auto& [ext, bytes] : files) names.push_back(stem + ext);
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `args` on pic.qdp holding `project` and checks that exactly
// `expected` was written, silently, with status 0.
void ExpectRun(const Bytes& project, const std::vector<std::string>& args,
               const SideFiles& expected,
               const std::vector<std::pair<std::string, Bytes>>& existing = {}) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), project);
  for (const auto& [name, bytes] : existing) WriteFileBytes(dir.File(name), bytes);
  ProgramResult r = RunProgram(args, dir.Path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.List(), Names("pic", expected));
  SideFiles written = ReadSideFiles(dir.File("pic"));
  for (const auto& [ext, bytes] : expected) {
    EXPECT_EQ(written[ext].size(), bytes.size()) << ext;
    EXPECT_TRUE(written[ext] == bytes) << ext << " differs";
  }
}

TEST(ExportE2ETest, EveryOptionCombinationWritesExactlyTheSelectedFiles) {
  const ProjectContent content = RichProject();
  const Bytes project = BuildProject(content);
  for (const char* options :
       {"s", "f", "m", "sf", "sm", "fm", "sfm", "sc", "fc", "mc", "sfc", "smc", "fmc", "smfc"}) {
    SCOPED_TRACE(options);
    ExpectRun(project, {"pic.qdp", std::string("-") + options},
              ExpectedSideFiles(content, options));
  }
  // The sizes a reader of the files relies on, for this width-40 project.
  SideFiles all = ExpectedSideFiles(content, "smfc");
  EXPECT_EQ(all[".mic"].size(), 9600u);
  EXPECT_EQ(all[".fnt"].size(), 3072u);  // fonts 0, 3 and 5
  EXPECT_EQ(all[".scr"].size(), 1200u);
  EXPECT_EQ(all[".tab"].size(), 28u);  // two lines not in use
  EXPECT_EQ(all[".col"].size(), 1280u);
}

TEST(ExportE2ETest, EveryWidthGivesItsRecordSizes) {
  for (uint8_t width : {32, 40, 48}) {
    SCOPED_TRACE(width);
    ProjectContent content = RichProject(width);
    SideFiles expected = ExpectedSideFiles(content, "smfc");
    EXPECT_EQ(expected[".mic"].size(), 240u * width);
    EXPECT_EQ(expected[".scr"].size(), 30u * width);
    ExpectRun(BuildProject(content), {"-smfc", "pic.qdp"}, expected);
  }
}

TEST(ExportE2ETest, FontFileHoldsTheUsedFontsBelowThirty) {
  struct Case {
    const char* name;
    std::array<uint8_t, 30> line_fonts;
    int skipped_line;  // -1: every line in use
    size_t fnt_size;
    bool tab;
  };
  auto fonts = [](std::initializer_list<std::pair<int, uint8_t>> set) {
    std::array<uint8_t, 30> table{};
    for (auto [line, font] : set) table[line] = font;
    return table;
  };
  std::array<uint8_t, 30> high{};
  for (int i = 0; i < 30; ++i) high[i] = static_cast<uint8_t>(i % 2 ? 30 : 77);
  const Case cases[] = {
      {"font 0 alone: no line table", {}, -1, 1024, false},
      {"fonts 0, 3, 5", fonts({{2, 5}, {9, 3}, {20, 5}}), -1, 3072, true},
      {"font only on a skipped line", fonts({{6, 4}}), 6, 2048, true},
      {"fonts 30 and above", high, -1, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProjectContent content = RichProject();
    content.line_fonts = c.line_fonts;
    content.line_mode_table.fill(1);
    if (c.skipped_line >= 0) content.line_mode_table[c.skipped_line] = 255;
    SideFiles expected = ExpectedSideFiles(content, "f");
    EXPECT_EQ(expected[".fnt"].size(), c.fnt_size);
    EXPECT_EQ(expected.count(".tab"), c.tab ? 1u : 0u);
    ExpectRun(BuildProject(content), {"-f", "pic.qdp"}, expected);
  }
}

TEST(ExportE2ETest, AnInvalidSkipBlockFillsTheScreenFileAndEmptiesTheLineTable) {
  ProjectContent content = RichProject();
  content.line_mode_table.fill(1);
  content.line_mode_table[12] = 3;
  SideFiles expected = ExpectedSideFiles(content, "sf");
  EXPECT_EQ(expected[".scr"], Bytes(1200, 127));
  EXPECT_EQ(expected[".tab"], Bytes());
  ExpectRun(BuildProject(content), {"-sf", "pic.qdp"}, expected);
}

TEST(ExportE2ETest, LongerExistingSideFilesAreTruncated) {
  const ProjectContent content = RichProject();
  std::vector<std::pair<std::string, Bytes>> existing;
  for (const char* name : {"pic.mic", "pic.fnt", "pic.scr", "pic.tab", "pic.col"}) {
    existing.emplace_back(name, Bytes(40000, 0xAB));
  }
  ExpectRun(BuildProject(content), {"-smfc", "pic.qdp"}, ExpectedSideFiles(content, "smfc"),
            existing);
}

TEST(ExportE2ETest, AnExistingLineTableStaysWhenEveryLineUsesFontZero) {
  ProjectContent content = RichProject();
  content.line_fonts.fill(0);
  SideFiles expected = ExpectedSideFiles(content, "f");
  expected[".tab"] = Bytes{1, 2, 3};
  ExpectRun(BuildProject(content), {"-f", "pic.qdp"}, expected, {{"pic.tab", Bytes{1, 2, 3}}});
}

// A screen whose cell (line, column) shows glyph (line * width + column)
// mod 128 of font 0, each glyph distinct.
ProjectContent GlyphGrid(uint8_t width, uint8_t conversion) {
  ProjectContent content;
  content.width_byte = width;
  content.mode_byte = conversion | 1;
  for (int c = 0; c < 128; ++c) {
    std::array<uint8_t, 8> rows;
    for (int k = 0; k < 8; ++k) rows[k] = static_cast<uint8_t>(c * 2 + 1 + (k == 3 ? 128 : 0) + k);
    content.SetGlyph(0, c, rows);
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < width; ++x)
      content.SetCell(line, x, static_cast<uint8_t>((line * width + x) % 128));
  }
  return content;
}

TEST(ExportE2ETest, OneCharacterPerCellFillsFontsThreeLinesAtATime) {
  // Width 32: a font takes three lines (96 cells); the fourth line starts
  // in it, finds it full after 31 cells and starts over in the next font.
  ProjectContent content = GlyphGrid(32, 0x80);
  const Bytes mic = ExpectedBitmap(content);
  auto cell = [&](int line, int x, int k) {
    return mic[static_cast<size_t>((line * 8 + k) * 32 + x)];
  };
  SideFiles expected;
  expected[".mic"] = mic;
  Bytes& fnt = expected[".fnt"];
  for (int f = 0; f < 10; ++f) {
    for (int n = 0; n < 128; ++n) {
      for (int k = 0; k < 8; ++k) {
        if (n < 96) {
          fnt.push_back(cell(3 * f + n / 32, n % 32, k));
        } else if (n < 127 && f < 9) {
          fnt.push_back(cell(3 * f + 3, n - 96, k));
        } else {
          fnt.push_back(0);
        }
      }
    }
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 32; ++x)
      expected[".scr"].push_back(static_cast<uint8_t>((line % 3) * 32 + x));
    expected[".tab"].push_back(static_cast<uint8_t>(line / 3));
  }
  ExpectRun(BuildProject(content), {"-smf", "pic.qdp"}, expected);
}

TEST(ExportE2ETest, BlockConversionSharesRepeatedBlocksOnTwoFonts) {
  // Blank blocks alternate with one drawn block, blank first: the blank one
  // is block 0 (codes 0 and 1), the drawn one block 1 (codes 2 and 3).
  ProjectContent content;
  content.mode_byte = 0x10 | 1;
  const std::array<std::array<uint8_t, 8>, 4> quarter = {{{1, 2, 3, 4, 5, 6, 7, 8},
                                                          {9, 10, 11, 12, 13, 14, 15, 16},
                                                          {17, 18, 19, 20, 21, 22, 23, 24},
                                                          {25, 26, 27, 28, 29, 30, 31, 32}}};
  for (int q = 0; q < 4; ++q) content.SetGlyph(0, q + 1, quarter[q]);
  SideFiles expected;
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) {
      bool drawn = (line / 2 + x / 2) % 2 == 1;
      if (drawn) content.SetCell(line, x, static_cast<uint8_t>(1 + (line % 2) * 2 + x % 2));
      expected[".scr"].push_back(static_cast<uint8_t>((drawn ? 2 : 0) + x % 2));
    }
    expected[".tab"].push_back(static_cast<uint8_t>(line % 2));
  }
  Bytes& fnt = expected[".fnt"];
  fnt.assign(2048, 0);
  std::copy(quarter[0].begin(), quarter[0].end(), fnt.begin() + 16);         // font 0, char 2
  std::copy(quarter[1].begin(), quarter[1].end(), fnt.begin() + 24);         // font 0, char 3
  std::copy(quarter[2].begin(), quarter[2].end(), fnt.begin() + 1024 + 16);  // font 1, char 2
  std::copy(quarter[3].begin(), quarter[3].end(), fnt.begin() + 1024 + 24);  // font 1, char 3
  ExpectRun(BuildProject(content), {"-sf", "pic.qdp"}, expected);
}

TEST(ExportE2ETest, AFailedConversionWritesNoFileAndEndsWithStatus3) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), BuildProject(GlyphGrid(40, 0x10)));
  ProgramResult r = RunProgram({"-smfc", "pic.qdp"}, dir.Path());
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_EQ(r.out, "Conversion of bitmap into DUZ failed.\r\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"pic.qdp"});
}

TEST(ExportE2ETest, ACompressedProjectGivesTheSameFilesAsItsPlainTwin) {
  // Shared characters with inverse matching: more glyphs than one font
  // takes, some cells inverse, so that the rebuild has work to do.
  ProjectContent content = GlyphGrid(48, 0x40);
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 48; ++x) {
      content.SetCell(line, x,
                      static_cast<uint8_t>(((line * 48 + x) % 128) | (x % 7 == 0 ? 0x80 : 0)));
    }
  }
  const Bytes plain = BuildProject(content);
  ScratchDir dir;
  ScratchDir temp;
  WriteFileBytes(dir.File("plain.qdp"), plain);
  WriteFileBytes(dir.File("packed.qdp"), Compress(plain));
  for (const char* name : {"plain.qdp", "packed.qdp"}) {
    ProgramResult r = RunProgram({"-smfc", name}, dir.Path(), {{"TMPDIR", temp.Path()}});
    EXPECT_EQ(r.exit_status, 0) << name << r.err;
  }
  SideFiles from_plain = ReadSideFiles(dir.File("plain"));
  EXPECT_EQ(from_plain.size(), 5u);
  EXPECT_EQ(from_plain[".mic"], ExpectedBitmap(content));
  EXPECT_TRUE(ReadSideFiles(dir.File("packed")) == from_plain);
}

}  // namespace
}  // namespace qdp::testing
