#include "import/exact_line.h"

#include <gtest/gtest.h>

#include <functional>

#include "import/line_fit.h"
#include "import/palette_lab.h"

namespace qdp::import {
namespace {

const view::AtariPalette& Pal() {
  static const view::AtariPalette palette = view::BuiltInPalette(view::BuiltInPaletteKind::kPal);
  return palette;
}

// A source 320 pixels wide whose line 0 has the colour bytes `colour`
// gives, every other line black.
SourceLab SourceOf(const std::function<int(int x, int k)>& colour) {
  SourceLab source;
  source.Width = 320;
  source.Cells = 40;
  source.Pixels.resize(static_cast<size_t>(320) * kBitmapLines);
  source.Index.assign(source.Pixels.size(), 0);
  for (int k = 0; k < kCharBytes; ++k) {
    for (int x = 0; x < 320; ++x) {
      const int c = colour(x, k);
      source.Index[static_cast<size_t>(k) * 320 + x] = static_cast<int16_t>(c);
      if (c >= 0) source.Pixels[static_cast<size_t>(k) * 320 + x] = OkLabOf(Pal()[c]);
    }
  }
  return source;
}

// The four-colour pixel (0 to 159) and cell of hi-res pixel x.
int Pixel(int x) { return x / 2; }
int Cell(int x) { return x / 8; }

TEST(ExactLineTest, FitsOnlyWhatTheModeCanShow) {
  struct Case {
    const char* what;
    LineMode mode;
    std::function<int(int, int)> colour;
    bool fits;
  };
  const Case cases[] = {
      {"blank: one colour a scanline", LineMode::kBlank, [](int, int k) { return 0x20 + 2 * k; },
       true},
      {"blank: a colour byte with bit 0 is no shown colour", LineMode::kBlank,
       [](int, int) { return 0x21; }, false},
      {"blank: two colours", LineMode::kBlank, [](int x, int) { return x < 100 ? 0x20 : 0x22; },
       false},
      {"gtia: one hue, four pixels wide", LineMode::kGtia,
       [](int x, int k) { return 0x50 | ((x / 4 + k) & 15); }, true},
      {"gtia: two hues", LineMode::kGtia, [](int x, int) { return x < 160 ? 0x50 : 0x60; }, false},
      {"gtia: pixels two wide", LineMode::kGtia, [](int x, int) { return 0x50 | (x / 2 & 15); },
       false},
      {"hi-res: two luminances of a hue", LineMode::kHiRes,
       [](int x, int k) { return (x + k) % 3 ? 0x92 : 0x9E; }, true},
      {"hi-res: two hues", LineMode::kHiRes, [](int x, int) { return x % 2 ? 0x92 : 0xA2; }, false},
      {"hi-res: three luminances", LineMode::kHiRes, [](int x, int) { return 0x90 + 2 * (x % 3); },
       false},
      {"four: pixels one wide", LineMode::kFourColour,
       [](int x, int) { return x % 2 ? 0x92 : 0x94; }, false},
      {"four: six colours on a scanline", LineMode::kFourColour,
       [](int x, int) { return 0x10 * (1 + Pixel(x) % 6); }, false},
      {"four: five colours, alternates in different cells", LineMode::kFourColour,
       [](int x, int) {
         return Pixel(x) % 4 < 3 ? 0x10 * (1 + Pixel(x) % 4) : (Cell(x) % 3 ? 0x80 : 0x90);
       },
       true},
      // Cells of three kinds that between them hold every pair of the
      // five colours together: no two can be PF2 and PF3.
      {"four: every pair of colours in some cell", LineMode::kFourColour,
       [](int x, int) {
         static constexpr int kKinds[3][4] = {
             {0x10, 0x20, 0x30, 0x40}, {0x10, 0x20, 0x30, 0x50}, {0x10, 0x20, 0x40, 0x50}};
         return kKinds[Cell(x) % 3][Pixel(x) % 4];
       },
       false},
      {"four: alternates whose cells swap from scanline to scanline", LineMode::kFourColour,
       [](int x, int k) {
         if (Pixel(x) % 4 < 3) return 0x10 * (1 + Pixel(x) % 4);
         return (Cell(x) + k) % 2 ? 0x80 : 0x90;
       },
       true},
      // Cells 0 and 1 share an alternate against cell 2 on scanline 0, cells
      // 0 and 2 against cell 1 on scanline 1: no inverse bits show both.
      {"four: alternates no inverse bits can give", LineMode::kFourColour,
       [](int x, int k) {
         if (Pixel(x) % 4 < 3) return 0x10 * (1 + Pixel(x) % 4);
         const int cell = Cell(x);
         if (k == 0) return cell == 0 || cell == 1 ? 0x80 : 0x90;
         if (k == 1) return cell == 0 || cell == 2 ? 0x80 : 0x90;
         return 0x80;
       },
       false},
  };
  const PaletteLab lab(Pal());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SourceLab source = SourceOf(c.colour);
    LinePlan plan;
    const Registers previous{};
    ASSERT_EQ(FitExactly(source, 0, c.mode, previous, kColourRegisters, kColourRegisters, plan),
              c.fits);
    if (!c.fits) continue;
    DrawnLine drawn;
    ShowLine(source, lab, plan, drawn);
    for (int k = 0; k < kCharBytes; ++k) {
      for (int x = 0; x < 320; ++x)
        ASSERT_EQ(drawn.Shown[k * 320 + x], c.colour(x, k)) << x << "," << k;
    }
  }
}

TEST(ExactLineTest, RegisterLimitsHold) {
  // Every scanline a new background: one change a scanline, and the five
  // registers from zero at the first.
  const SourceLab source = SourceOf([](int x, int k) {
    return Pixel(x) % 4 == 0 ? 0x10 + 0x10 * k : 0x46 + 0x10 * (Pixel(x) % 4);
  });
  LinePlan plan;
  const Registers zero{};
  EXPECT_TRUE(FitExactly(source, 0, LineMode::kFourColour, zero, kColourRegisters, 1, plan));
  EXPECT_FALSE(FitExactly(source, 0, LineMode::kFourColour, zero, kColourRegisters, 0, plan));
  EXPECT_FALSE(FitExactly(source, 0, LineMode::kFourColour, zero, 2, 1, plan));
}

}  // namespace
}  // namespace qdp::import
