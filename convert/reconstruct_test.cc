#include "convert/reconstruct.h"

#include <gtest/gtest.h>

#include <cstring>

#include "convert/conversion_failure.h"
#include "convert/test_picture.h"

namespace qdp {
namespace {

using testing::Code;
using testing::MakeWorkspace;
using testing::NumberedPattern;
using testing::PutCell;
using testing::RedrawsBitmap;
using testing::SetMode;

constexpr uint64_t kBlank = 0;

// Fills line `line` by repeating `patterns` across it.
void PutLine(Workspace& ws, int line, std::initializer_list<uint64_t> patterns) {
  std::vector<uint64_t> cycle(patterns);
  for (int x = 0; x < ws.LineWidth; ++x) PutCell(ws, line, x, cycle[x % cycle.size()]);
}

std::unique_ptr<Workspace> Picture(ConversionKind kind, int width = 32, int character_mode = 1) {
  auto ws = MakeWorkspace(width, character_mode);
  SetMode(*ws, kind);
  return ws;
}

const uint64_t kA = NumberedPattern(1), kB = NumberedPattern(2), kC = NumberedPattern(3),
               kD = NumberedPattern(4);

TEST(ReconstructTest, NoModeKeepsTheLoadedDataAndTakesTheHighestLineFont) {
  auto ws = Picture(ConversionKind::kNone);
  ws->HighestFontInUse = 4;
  ws->FontBank[3000] = 9;
  ws->Screen[7] = 0x85;
  ws->LineFontTable = {0, 2, 1, 2};
  ReconstructCharset(*ws);
  EXPECT_EQ(ws->HighestFontInUse, 2);
  EXPECT_EQ(ws->FontBank[3000], 9);
  EXPECT_EQ(ws->Screen[7], 0x85);
}

TEST(ReconstructTest, OneCharacterPerCellFillsFontsUpTo127) {
  struct Case {
    int width, lines_per_font, last_font;
  } cases[] = {{32, 3, 9}, {40, 3, 9}, {48, 2, 14}};
  for (const Case& c : cases) {
    auto ws = Picture(ConversionKind::kCharPerCell, c.width);
    // Identical cells still get characters of their own.
    for (int line = 0; line < 30; ++line) PutLine(*ws, line, {kA});
    ReconstructCharset(*ws);
    const int used = c.lines_per_font * c.width;
    EXPECT_EQ(ws->HighestFontInUse, c.last_font);
    for (int f = 0; f <= c.last_font; ++f) {
      int fill = f < c.last_font ? 127 : used;
      EXPECT_EQ(CharPattern(*ws, f, fill - 1), kA) << c.width << " font " << f;
      EXPECT_EQ(CharPattern(*ws, f, fill), kBlank) << c.width << " font " << f;
    }
    for (int line = 0; line < 30; ++line) {
      ASSERT_EQ(ws->LineFontTable[line], line / c.lines_per_font);
      for (int x = 0; x < c.width; ++x) {
        ASSERT_EQ(Code(*ws, line, x), (line % c.lines_per_font) * c.width + x);
      }
    }
    EXPECT_TRUE(RedrawsBitmap(*ws));
  }
}

TEST(ReconstructTest, SharingKeepsIdenticalLinesInFontZero) {
  auto ws = Picture(ConversionKind::kSharedChars, 40);
  for (int line = 0; line < 30; ++line) PutLine(*ws, line, {kA, kB, kBlank, kC, kA});
  ReconstructCharset(*ws);
  EXPECT_EQ(ws->HighestFontInUse, 0);
  for (int line = 0; line < 30; ++line) EXPECT_EQ(ws->LineFontTable[line], 0);
  EXPECT_EQ(CharPattern(*ws, 0, 3), kC);
  EXPECT_EQ(CharPattern(*ws, 0, 4), kBlank);
  EXPECT_EQ(Code(*ws, 29, 4), 0);
  EXPECT_TRUE(RedrawsBitmap(*ws));
}

TEST(ReconstructTest, ComplementedCellsShareOnlyWhereInverseIsShown) {
  struct Case {
    int character_mode;
    uint8_t code;   // of the complemented cell, whose working byte has bit 7
    int new_chars;  // characters font 0 ends with
  } cases[] = {{1, 0x80, 1}, {4, 0x80, 1}, {2, 0x81, 2}};
  for (const Case& c : cases) {
    auto ws = Picture(ConversionKind::kSharedChars, 32, c.character_mode);
    for (int line = 0; line < 30; ++line) PutLine(*ws, line, {kA});
    PutCell(*ws, 0, 1, ~kA);
    ws->InverseMarks[1] = true;
    ReconstructCharset(*ws);
    EXPECT_EQ(Code(*ws, 0, 1), c.code) << c.character_mode;
    EXPECT_EQ(CharPattern(*ws, 0, c.new_chars - 1) != kBlank, true) << c.character_mode;
    EXPECT_EQ(CharPattern(*ws, 0, c.new_chars), kBlank) << c.character_mode;
    if (c.character_mode != 2) {
      EXPECT_TRUE(RedrawsBitmap(*ws));
    }
  }
}

TEST(ReconstructTest, FlaggedFirstLineLeavesFontZeroEmpty) {
  auto ws = Picture(ConversionKind::kSharedChars);
  for (int line = 0; line < 30; ++line) PutLine(*ws, line, {kA, kB});
  ws->LineStartsNewFont[0] = true;
  ReconstructCharset(*ws);
  EXPECT_EQ(ws->HighestFontInUse, 1);
  for (int n = 0; n < 1024; ++n) ASSERT_EQ(ws->FontBank[n], 0);
  for (int line = 0; line < 30; ++line) EXPECT_EQ(ws->LineFontTable[line], 1);
  EXPECT_TRUE(RedrawsBitmap(*ws));
}

TEST(ReconstructTest, LinesFoundInAnEarlierFontReuseIt) {
  auto ws = Picture(ConversionKind::kSharedChars);
  // Line 1 begins font 1; lines 2 and up, flagged or not, are found whole
  // in font 0 and begin no font of their own.
  PutLine(*ws, 0, {kA, kB, kC});
  PutLine(*ws, 1, {kD});
  ws->LineStartsNewFont[1] = true;
  for (int line = 2; line < 30; ++line) {
    PutLine(*ws, line, {kC, kA});
    ws->LineStartsNewFont[line] = true;
  }
  ws->InverseMarks[5 * 48 + 3] = true;
  ReconstructCharset(*ws);
  EXPECT_EQ(ws->HighestFontInUse, 1);
  EXPECT_EQ(ws->LineFontTable[1], 1);
  for (int line = 2; line < 30; ++line) ASSERT_EQ(ws->LineFontTable[line], 0) << line;
  EXPECT_EQ(Code(*ws, 5, 2), 2);
  EXPECT_EQ(Code(*ws, 5, 3), 0x80);  // the working copy's inverse bit is kept
  // Font 1 got nothing after line 1, and no font 2 was begun.
  EXPECT_EQ(CharPattern(*ws, 1, 1), kBlank);
  for (int n = 2048; n < 3072; ++n) ASSERT_EQ(ws->FontBank[n], 0);
}

TEST(ReconstructTest, BlankCellsTakeTheFirstBlankSlotOfTheReusedFont) {
  struct Case {
    std::initializer_list<uint64_t> first_line;
    uint8_t blank_code;
  } cases[] = {{{kA, kB, kC}, 3}, {{kA, kBlank, kC}, 1}};
  for (const Case& c : cases) {
    auto ws = Picture(ConversionKind::kSharedChars);
    PutLine(*ws, 0, c.first_line);
    PutLine(*ws, 1, {kD});
    ws->LineStartsNewFont[1] = true;
    PutLine(*ws, 2, {kBlank, kC, kA});
    for (int line = 3; line < 30; ++line) PutLine(*ws, line, {kD});
    ReconstructCharset(*ws);
    EXPECT_EQ(ws->LineFontTable[2], 0);
    EXPECT_EQ(Code(*ws, 2, 0), c.blank_code);
    EXPECT_EQ(Code(*ws, 2, 1), 2);
    EXPECT_TRUE(RedrawsBitmap(*ws));
  }
}

TEST(ReconstructTest, AFullFontStartsTheLineOverInTheNextOne) {
  auto ws = Picture(ConversionKind::kSharedChars);
  ws->CharsPerFontLimit = 40;
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 32; ++x) PutCell(*ws, line, x, NumberedPattern(100 + line * 32 + x));
  }
  ReconstructCharset(*ws);
  // Line 0 fills 32 characters; line 1 appends 8 more, finds the font full
  // and starts over in font 1, leaving those 8 behind.
  EXPECT_EQ(ws->LineFontTable[1], 1);
  EXPECT_EQ(CharPattern(*ws, 0, 39), NumberedPattern(100 + 32 + 7));
  EXPECT_EQ(CharPattern(*ws, 0, 40), kBlank);
  EXPECT_EQ(Code(*ws, 1, 0), 0);
  EXPECT_EQ(ws->HighestFontInUse, 29);
  EXPECT_TRUE(RedrawsBitmap(*ws));
}

TEST(ReconstructTest, LinesThatCanNeverFitFailInsteadOfRunningPastTheBank) {
  struct Case {
    ConversionKind kind;
    int limit;
  } cases[] = {{ConversionKind::kCharPerCell, 0},
               {ConversionKind::kSharedChars, 0},
               {ConversionKind::kCharPerCell, 10},
               {ConversionKind::kSharedChars, 10},
               {ConversionKind::kSharedChars, 31}};
  for (const Case& c : cases) {
    auto ws = Picture(c.kind);
    ws->CharsPerFontLimit = static_cast<uint8_t>(c.limit);
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < 32; ++x) PutCell(*ws, line, x, NumberedPattern(x));
    }
    ws->InverseMarks[5] = true;
    EXPECT_THROW(ReconstructCharset(*ws), ConversionFailed)
        << static_cast<int>(c.kind) << "/" << c.limit;
    EXPECT_EQ(ws->Reconstruct.FillingFont, 127);
    EXPECT_TRUE(ws->InverseMarks[5]);
  }
}

TEST(ReconstructTest, AFailedLineIsNamedWithTheCharactersItNeedsInAFreshFont) {
  // Every line but `line` is one pattern repeated. Line `line` holds
  // `distinct` patterns, then the complements of the first `complements`
  // of them, then repeats of its first pattern.
  constexpr ConversionKind kPerCell = ConversionKind::kCharPerCell;
  constexpr ConversionKind kShared = ConversionKind::kSharedChars;
  struct Case {
    ConversionKind kind;
    int character_mode, limit, distinct, complements, line, needed;
  } cases[] = {
      {kPerCell, 1, 20, 3, 0, 0, 32},   // nothing shared: every cell is new
      {kShared, 1, 20, 24, 8, 10, 24},  // complements are found as inverse cells
      {kShared, 4, 20, 24, 8, 10, 24},
      {kShared, 2, 20, 24, 8, 10, 32},  // mode 2 shows no inverse: complements are new
      {kShared, 1, 18, 19, 13, 7, 19},
      {kShared, 2, 31, 16, 16, 29, 32},
      {kShared, 1, 0, 1, 0, 0, 1},  // a limit of 0 fails at the first cell
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.kind) << " character mode "
                                      << c.character_mode << " limit " << c.limit);
    auto ws = Picture(c.kind, 32, c.character_mode);
    ws->CharsPerFontLimit = static_cast<uint8_t>(c.limit);
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < 32; ++x) {
        uint64_t p = kA;
        if (line == c.line) {
          p = NumberedPattern(200);
          if (x < c.distinct) p = NumberedPattern(200 + x);
          if (x >= c.distinct && x < c.distinct + c.complements) {
            p = ~NumberedPattern(200 + x - c.distinct);
          }
        }
        PutCell(*ws, line, x, p);
      }
    }
    try {
      ReconstructCharset(*ws);
      ADD_FAILURE() << "converted";
    } catch (const ConversionFailed& failure) {
      const ConversionFailureDetail& d = failure.Detail();
      EXPECT_EQ(d.Why, ConversionFailureDetail::Cause::kLineNeedsTooManyCharacters);
      EXPECT_EQ(d.Line, c.line);
      EXPECT_EQ(d.Needed, c.needed);
      EXPECT_EQ(d.Limit, c.limit);
      EXPECT_EQ(d.Describe(),
                "line " + std::to_string(c.line) + " needs " + std::to_string(c.needed) +
                    " new characters but the per-font limit is " + std::to_string(c.limit));
    }
  }
}

TEST(ReconstructTest, PatternsSharingAHashStayApart) {
  const uint64_t twin = testing::PatternHashTwin(kA);
  const uint64_t inverse_twin = testing::PatternHashTwin(~kA);  // hashed as kA's complement
  ASSERT_NE(twin, kA);
  ASSERT_EQ(PatternHash(twin), PatternHash(kA));
  ASSERT_EQ(PatternHash(inverse_twin), PatternHash(~kA));
  // Line 0 tests the search of the font being filled, line 2 the reuse of
  // font 0, which holds kA but not its twin.
  for (uint64_t partner : {twin, inverse_twin}) {
    auto ws = Picture(ConversionKind::kSharedChars);
    PutLine(*ws, 0, {kA, partner});
    PutLine(*ws, 1, {kB});
    ws->LineStartsNewFont[1] = true;
    PutLine(*ws, 2, {kA, twin});
    for (int line = 3; line < 30; ++line) PutLine(*ws, line, {kB});
    ReconstructCharset(*ws);
    EXPECT_EQ(Code(*ws, 0, 1), 1);
    EXPECT_EQ(ws->LineFontTable[2], partner == twin ? 0 : 1);
    EXPECT_TRUE(RedrawsBitmap(*ws));
  }
}

// Writes block `block` as the 16 x 16 block (r, b): every byte of its left
// column is 2 * block + 1, of its right column 2 * block + 2, with one row
// marked so that the halves differ.
void PutBlock(Workspace& ws, int r, int b, int block) {
  for (int k = 0; k < 16; ++k) {
    ws.Bitmap[(16 * r + k) * 48 + 2 * b] = static_cast<uint8_t>(k == 12 ? 0 : 2 * block + 1);
    ws.Bitmap[(16 * r + k) * 48 + 2 * b + 1] = static_cast<uint8_t>(2 * block + 2);
  }
}

TEST(ReconstructTest, BlocksFitUpToSixtyThree) {
  for (int distinct : {63, 64}) {
    auto ws = Picture(ConversionKind::kBlocks16, 48, 2);
    for (int r = 0; r < 15; ++r) {
      for (int b = 0; b < 24; ++b) PutBlock(*ws, r, b, (r * 24 + b) % distinct);
    }
    ws->InverseMarks[3 * 48 + 5] = true;
    if (distinct == 64) {
      // Block number 63, the 64th distinct one, is block (2, 15): lines 4
      // and 5, columns 30 and 31.
      try {
        ReconstructCharset(*ws);
        ADD_FAILURE() << "64 distinct blocks converted";
      } catch (const ConversionFailed& failure) {
        EXPECT_EQ(failure.Detail().Why, ConversionFailureDetail::Cause::kTooManyBlocks);
        EXPECT_EQ(failure.Detail().Line, 4);
        EXPECT_EQ(failure.Detail().Column, 30);
        EXPECT_STREQ(failure.what(), "Conversion of bitmap into DUZ failed.");
      }
      continue;
    }
    ReconstructCharset(*ws);
    EXPECT_EQ(ws->HighestFontInUse, 1);
    for (int line = 0; line < 30; ++line) EXPECT_EQ(ws->LineFontTable[line], line & 1);
    // Block 62 is characters 124 and 125: top halves in font 0, bottom
    // halves (with the marked row) in font 1.
    EXPECT_EQ(ws->FontBank[124 * 8], 125);
    EXPECT_EQ(ws->FontBank[125 * 8], 126);
    EXPECT_EQ(ws->FontBank[1024 + 124 * 8 + 3], 125);
    EXPECT_EQ(ws->FontBank[1024 + 124 * 8 + 4], 0);
    EXPECT_EQ(ws->FontBank[126 * 8], 0);
    EXPECT_EQ(ws->FontBank[1024 + 127 * 8], 0);
    // Block (4, 0) is the 97th, a repeat of block number 96 % 63 = 33.
    EXPECT_EQ(Code(*ws, 8, 0), 66);
    EXPECT_EQ(Code(*ws, 9, 1), 67);
    EXPECT_EQ(Code(*ws, 3, 5), 0x80 | Code(*ws, 2, 5));  // loaded inverse bit kept
    EXPECT_TRUE(RedrawsBitmap(*ws));
  }
}

TEST(ReconstructTest, BlocksSharingAHashStayApart) {
  auto ws = Picture(ConversionKind::kBlocks16);
  for (int r = 0; r < 15; ++r) {
    for (int b = 0; b < 16; ++b) PutBlock(*ws, r, b, 0);
  }
  std::array<uint8_t, 32> block;
  GatherBlock(*ws, 0, 0, block);
  const std::array<uint8_t, 32> twin = testing::BlockHashTwin(block);
  for (int k = 0; k < 16; ++k) {
    ws->Bitmap[(16 + k) * 48 + 2] = twin[k];
    ws->Bitmap[(16 + k) * 48 + 3] = twin[16 + k];
  }
  std::array<uint8_t, 32> placed;
  GatherBlock(*ws, 1, 1, placed);
  ASSERT_NE(placed, block);
  ASSERT_EQ(BlockHash(placed), BlockHash(block));
  ReconstructCharset(*ws);
  EXPECT_EQ(Code(*ws, 2, 2), 2);
  EXPECT_EQ(Code(*ws, 4, 2), 0);
  EXPECT_TRUE(RedrawsBitmap(*ws));
}

}  // namespace
}  // namespace qdp
