#include "convert/render.h"

#include <gtest/gtest.h>

#include "convert/test_picture.h"

namespace qdp {
namespace {

using testing::MakeWorkspace;
using testing::SetCode;

constexpr std::array<uint8_t, 8> kGlyph5{0x10, 0x38, 0x7C, 0xFE, 0x01, 0x02, 0x04, 0x80};

// Loads font `font` character 5 with kGlyph5 and puts `code` at cell (2, 3).
std::unique_ptr<Workspace> OneCell(int character_mode, uint8_t code, int font = 0) {
  auto ws = MakeWorkspace(40, character_mode);
  std::copy(kGlyph5.begin(), kGlyph5.end(), ws->FontBank.begin() + font * 1024 + 5 * 8);
  ws->LineFontTable[2] = static_cast<uint8_t>(font);
  SetCode(*ws, 2 * 48 + 3, code);
  return ws;
}

TEST(RenderTest, InverseCellsFollowTheCharacterMode) {
  struct Case {
    int mode;
    uint8_t code;
    bool inverted;
    bool marked_after;  // the cell still marked inverse for a rebuild
  } cases[] = {
      {1, 0x85, true, false},  {4, 0x85, true, false},  {2, 0x85, false, true},
      {1, 0x05, false, false}, {2, 0x05, false, false}, {4, 0x05, false, false},
  };
  for (const Case& c : cases) {
    auto ws = OneCell(c.mode, c.code);
    RenderScreen(*ws);
    for (int k = 0; k < 8; ++k) {
      uint8_t expected = c.inverted ? static_cast<uint8_t>(~kGlyph5[k]) : kGlyph5[k];
      EXPECT_EQ(ws->Bitmap[(16 + k) * 48 + 3], expected) << "mode " << c.mode << " row " << k;
    }
    EXPECT_EQ(ws->InverseMarks[2 * 48 + 3], c.marked_after) << "mode " << c.mode;
    EXPECT_EQ(ws->Screen[2 * 48 + 3], c.code) << "mode " << c.mode;
  }
}

TEST(RenderTest, LastFontIsTheEndOfTheBank) {
  auto ws = OneCell(1, 0x05, 127);
  RenderScreen(*ws);
  EXPECT_EQ(ws->Bitmap[16 * 48 + 3], kGlyph5[0]);
  EXPECT_EQ(ws->Bitmap[23 * 48 + 3], kGlyph5[7]);
}

TEST(RenderTest, FontsNeverLoadedDrawBlankOrFull) {
  auto ws = OneCell(1, 0x05);
  ws->LineFontTable[2] = 9;
  SetCode(*ws, 2 * 48 + 4, 0x85);
  RenderScreen(*ws);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(ws->Bitmap[(16 + k) * 48 + 3], 0x00);
    EXPECT_EQ(ws->Bitmap[(16 + k) * 48 + 4], 0xFF);
  }
}

TEST(RenderTest, TouchesOnlyTheLineWidthAndTheFirst240Rows) {
  for (int width : {32, 40}) {
    auto ws = MakeWorkspace(width, 1);
    // Every cell inverse over a blank font: every drawn byte is 0xFF.
    for (int i = 0; i < 30 * 48; ++i) SetCode(*ws, i, 0x80);
    RenderScreen(*ws);
    for (int row = 0; row < 240; ++row) {
      for (int x = 0; x < 48; ++x) {
        ASSERT_EQ(ws->Bitmap[row * 48 + x], x < width ? 0xFF : 0x00) << row << "," << x;
      }
    }
  }
}

}  // namespace
}  // namespace qdp
