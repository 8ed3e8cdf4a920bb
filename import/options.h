// What the user may choose about an import: the mode of the lines, the
// dithering, how many colour registers may change between scanlines and
// how many fonts the picture may take. Each choice has one table of names.
#ifndef QDPEXT_IMPORT_OPTIONS_H_
#define QDPEXT_IMPORT_OPTIONS_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "view/name_table.h"

namespace qdp::import {

enum class ModeChoice : uint8_t {
  kAuto,        // each line in the mode that draws it best
  kHiRes,       // every line 1 bit a pixel
  kFourColour,  // every line 2 bits a pixel
  kGtia,        // every line 16 luminances of one hue
};

enum class Dithering : uint8_t {
  kNone,       // each pixel the nearest colour it may take
  kOrdered,    // a fixed threshold pattern
  kDiffusion,  // each pixel's error carried on to its neighbours
};

struct ModeChoiceName {
  ModeChoice Value;
  const char* Name;
};
inline constexpr auto kModeChoiceNames = std::to_array<ModeChoiceName>({
    {ModeChoice::kAuto, "auto"},
    {ModeChoice::kHiRes, "hires"},
    {ModeChoice::kFourColour, "four"},
    {ModeChoice::kGtia, "gtia"},
});
static_assert(view::OneRowEach(kModeChoiceNames, ModeChoice::kAuto, ModeChoice::kGtia));

struct DitheringName {
  Dithering Value;
  const char* Name;
};
inline constexpr auto kDitheringNames = std::to_array<DitheringName>({
    {Dithering::kNone, "none"},
    {Dithering::kOrdered, "ordered"},
    {Dithering::kDiffusion, "diffusion"},
});
static_assert(view::OneRowEach(kDitheringNames, Dithering::kNone, Dithering::kDiffusion));

inline const char* ModeChoiceNameOf(ModeChoice mode) {
  return view::NameIn(kModeChoiceNames, mode);
}
inline std::optional<ModeChoice> ModeChoiceByName(std::string_view name) {
  return view::ValueNamed(kModeChoiceNames, name);
}
inline const char* DitheringNameOf(Dithering dither) {
  return view::NameIn(kDitheringNames, dither);
}
inline std::optional<Dithering> DitheringByName(std::string_view name) {
  return view::ValueNamed(kDitheringNames, name);
}

// The colour registers one scanline has: the background and playfield
// colours 0 to 3.
inline constexpr int kColourRegisters = 5;
// The most fonts a budget may name.
inline constexpr int kMaxFontBudget = 30;

struct ImportOptions {
  ModeChoice Mode = ModeChoice::kAuto;
  // Diffusion by default: on the photographs of bench/import_quality.sh it
  // gave a mean error of 2.09 against 2.94 for ordered and 3.12 for none,
  // and it was the best on every picture; pictures the machine can show
  // exactly are drawn exactly whatever the choice.
  Dithering Dither = Dithering::kDiffusion;
  // How many of the five registers may change from one scanline to the
  // next, 0 to kColourRegisters.
  int MaxChanges = kColourRegisters;
  // 0 for no budget, else 1 to kMaxFontBudget fonts at most.
  int FontBudget = 0;
};

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_OPTIONS_H_
