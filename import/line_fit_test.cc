#include "import/line_fit.h"

#include <gtest/gtest.h>

#include <functional>

namespace qdp::import {
namespace {

const view::AtariPalette& Pal() {
  static const view::AtariPalette palette = view::BuiltInPalette(view::BuiltInPaletteKind::kPal);
  return palette;
}
const PaletteLab& PalLab() {
  static const PaletteLab lab(Pal());
  return lab;
}

// A source of 256 pixels a row whose every pixel is `colour(x, y)`.
SourceLab SourceOf(const std::function<view::Rgb(int, int)>& colour) {
  SourceLab source;
  source.Width = 256;
  source.Cells = 32;
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int x = 0; x < 256; ++x) {
      source.Pixels.push_back(OkLabOf(colour(x, y)));
      source.Index.push_back(-1);
    }
  }
  return source;
}

view::Rgb Wave(int x, int y) {
  return view::Rgb{static_cast<uint8_t>(x),
                   static_cast<uint8_t>(128 + 100 * ((x / 3 + y) % 7 == 0)),
                   static_cast<uint8_t>(255 - y)};
}

TEST(LineFitTest, RegistersChangeNoMoreThanAllowed) {
  const SourceLab source = SourceOf(Wave);
  const Registers previous{0x02, 0x14, 0x26, 0x38, 0x4A};
  for (LineMode mode :
       {LineMode::kBlank, LineMode::kHiRes, LineMode::kFourColour, LineMode::kGtia}) {
    for (int limit = 0; limit <= kColourRegisters; ++limit) {
      SCOPED_TRACE(::testing::Message() << "mode " << static_cast<int>(mode) << " limit " << limit);
      LinePlan plan;
      // The first scanline may change up to two registers, the rest `limit`.
      ChooseColours(source, PalLab(), 3, mode, previous, 2, limit, plan);
      EXPECT_EQ(plan.Mode, mode);
      EXPECT_LE(ChangesBetween(previous, plan.Regs[0]), 2);
      for (int k = 1; k < kCharBytes; ++k)
        EXPECT_LE(ChangesBetween(plan.Regs[k - 1], plan.Regs[k]), limit);
      // Registers a mode shows hold shown colours, GTIA's background its hue.
      if (mode == LineMode::kGtia) {
        for (const Registers& r : plan.Regs) {
          if (limit > 0) {
            EXPECT_EQ(r[kBak] & kLuminanceBits, 0);
          }
        }
      }
    }
  }
}

TEST(LineFitTest, DrawingFindsTheNearestColourOrMixesTowardsTheSource) {
  // A flat colour between palette colours: without dithering each pixel
  // takes the nearest colour it may; with diffusion the line's mean comes
  // closer to the source than any one colour does.
  const view::Rgb flat{90, 140, 60};
  const SourceLab source = SourceOf([flat](int, int) { return flat; });
  const Lab want = OkLabOf(flat);
  for (LineMode mode : {LineMode::kHiRes, LineMode::kFourColour, LineMode::kGtia}) {
    SCOPED_TRACE(::testing::Message() << "mode " << static_cast<int>(mode));
    LinePlan plan;
    ChooseColours(source, PalLab(), 0, mode, Registers{}, kColourRegisters, kColourRegisters, plan);
    DrawnLine none, diffused;
    DrawLine(source, PalLab(), 0, Dithering::kNone, nullptr, plan, none);
    const LinePlan undithered = plan;
    DrawLine(source, PalLab(), 0, Dithering::kDiffusion, nullptr, plan, diffused);
    float nearest = 1e9f;
    for (uint8_t c : none.Shown) nearest = std::min(nearest, Distance2(PalLab().Colour[c], want));
    for (uint8_t c : none.Shown) EXPECT_FLOAT_EQ(Distance2(PalLab().Colour[c], want), nearest);
    Lab mean{};
    for (uint8_t c : diffused.Shown) {
      mean.L += PalLab().Colour[c].L / static_cast<float>(diffused.Shown.size());
      mean.A += PalLab().Colour[c].A / static_cast<float>(diffused.Shown.size());
      mean.B += PalLab().Colour[c].B / static_cast<float>(diffused.Shown.size());
    }
    EXPECT_LT(Distance2(mean, want), nearest);
    // The drawn bytes are what the glyphs and registers show.
    DrawnLine shown;
    ShowLine(source, PalLab(), plan, shown);
    EXPECT_EQ(shown.Shown, diffused.Shown);
    ShowLine(source, PalLab(), undithered, shown);
    EXPECT_EQ(shown.Shown, none.Shown);
  }
}

}  // namespace
}  // namespace qdp::import
