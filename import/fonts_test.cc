#include "import/fonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

namespace qdp::import {
namespace {

const PaletteLab& Lab() {
  static const PaletteLab lab(view::BuiltInPalette(view::BuiltInPaletteKind::kPal));
  return lab;
}

SourceLab Source() {
  SourceLab source;
  source.Width = 320;
  source.Cells = 40;
  return source;
}

// Four-colour lines whose registers differ on each scanline, with cell c of
// line l showing glyph `glyph(l, c)`.
std::array<LinePlan, kScreenLines> Plans(const std::function<Glyph(int, int)>& glyph) {
  std::array<LinePlan, kScreenLines> plans;
  for (int line = 0; line < kScreenLines; ++line) {
    LinePlan& plan = plans[line];
    plan.Mode = LineMode::kFourColour;
    for (int k = 0; k < kCharBytes; ++k) plan.Regs[k] = {0x00, 0x24, 0x48, 0x8C, 0xCE};
    for (int c = 0; c < 40; ++c) {
      plan.Glyphs[c] = glyph(line, c);
      plan.Inverse[c] = (line + c) % 5 == 0;
    }
  }
  return plans;
}

// Each cell's glyph as the workspace holds it.
Glyph GlyphAt(const Workspace& ws, int line, int cell) {
  const int ch = ws.Screen[RowOffset(line) + cell] & kCharNumberMask;
  Glyph g;
  std::memcpy(&g, &ws.FontBank[ws.LineFontTable[line] * kFontBytes + ch * kCharBytes], 8);
  return g;
}

Glyph Distinct(int line, int cell) {
  return 0x0101010101010101ull * static_cast<Glyph>(line * 40 + cell + 1);
}

TEST(FontsTest, EveryCellKeepsItsGlyphAndInverseBit) {
  struct Case {
    const char* what;
    std::function<Glyph(int, int)> glyph;
    int fonts;
  };
  const Case cases[] = {
      {"one glyph everywhere", [](int, int) { return Glyph{0x1B}; }, 1},
      // 30 lines of the same 40: one font.
      {"each line the same", [](int, int c) { return Distinct(0, c); }, 1},
      // 1200 distinct glyphs, 40 a line: three lines fill a font.
      {"all distinct", Distinct, 10},
      // Lines 2k and 2k + 1 are equal: 15 distinct lines of 40.
      {"pairs of lines", [](int l, int c) { return Distinct(l / 2, c); }, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto plans = Plans(c.glyph);
    WorkspacePtr ws = NewWorkspace();
    ws->LineWidth = 40;
    const FontPacking packing = PackFonts(Source(), Lab(), plans, 0, *ws);
    EXPECT_EQ(packing.FontsUsed, c.fonts);
    EXPECT_EQ(packing.FontsNeeded, c.fonts);
    EXPECT_EQ(ws->LastDeclaredFont + 1, c.fonts);
    for (int line = 0; line < kScreenLines; ++line) {
      for (int cell = 0; cell < 40; ++cell) {
        ASSERT_EQ(GlyphAt(*ws, line, cell), c.glyph(line, cell)) << line << "," << cell;
        ASSERT_EQ((ws->Screen[RowOffset(line) + cell] & kInverseBit) != 0,
                  plans[line].Inverse[cell]);
      }
    }
  }
}

TEST(FontsTest, BudgetMergesTheGlyphsThatLookAlike) {
  // Every glyph distinct, but in each line half of them differ from a
  // neighbour by one pixel row's lowest bit pair: merging those costs
  // least, and a budget of 5 fonts (640 characters) keeps every line's
  // other glyphs as they are.
  auto glyph = [](int line, int cell) {
    // Pairs far apart: scrambled bits, the lowest pixel cleared.
    Glyph base = static_cast<Glyph>(line * 40 + cell / 2 * 2 + 1) * 0x9E3779B97F4A7C15ull;
    base ^= base >> 29;
    base *= 0xBF58476D1CE4E5B9ull;
    base ^= base >> 32;
    base &= ~Glyph{3};
    return cell % 2 ? base | 1 : base;
  };
  auto plans = Plans(glyph);
  WorkspacePtr ws = NewWorkspace();
  ws->LineWidth = 40;
  const FontPacking packing = PackFonts(Source(), Lab(), plans, 5, *ws);
  EXPECT_EQ(packing.FontsNeeded, 10);
  EXPECT_LE(packing.FontsUsed, 5);
  EXPECT_GE(packing.MergedCharacters, 1200 - 5 * kCharsPerFont);
  int changed = 0;
  for (int line = 0; line < kScreenLines; ++line) {
    std::set<Glyph> in_line;
    for (int cell = 0; cell < 40; ++cell) {
      const Glyph g = GlyphAt(*ws, line, cell);
      EXPECT_EQ(g, plans[line].Glyphs[cell]);  // the plans hold what the fonts hold
      changed += g != glyph(line, cell);
      // A merged cell takes its look-alike neighbour's glyph.
      if (g != glyph(line, cell)) {
        EXPECT_EQ(g, glyph(line, cell ^ 1)) << line << "," << cell;
      }
    }
  }
  EXPECT_EQ(changed, packing.MergedCharacters);
}

TEST(FontsTest, BlankLinesTakeNoCharacters) {
  auto plans = Plans([](int l, int c) { return Distinct(l, c); });
  for (int line = 0; line < kScreenLines; ++line) {
    if (line % 3) plans[line].Mode = LineMode::kBlank;
  }
  WorkspacePtr ws = NewWorkspace();
  ws->LineWidth = 40;
  // Ten lines of 40 distinct glyphs: four fonts.
  EXPECT_EQ(PackFonts(Source(), Lab(), plans, 0, *ws).FontsUsed, 4);
  for (auto& plan : plans) plan.Mode = LineMode::kBlank;
  EXPECT_EQ(PackFonts(Source(), Lab(), plans, 2, *ws).FontsUsed, 1);
}

}  // namespace
}  // namespace qdp::import
