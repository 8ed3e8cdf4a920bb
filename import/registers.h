// The colour registers of one scanline (background, playfield 0 to 3) and
// the colours each line mode shows with them, exactly as the machine's
// picture draws them.
#ifndef QDPEXT_IMPORT_REGISTERS_H_
#define QDPEXT_IMPORT_REGISTERS_H_

#include <array>
#include <cstdint>

#include "import/options.h"
#include "workspace/workspace.h"

namespace qdp::import {

enum Register : uint8_t { kBak, kPf0, kPf1, kPf2, kPf3 };
using Registers = std::array<uint8_t, kColourRegisters>;
// One bit per register (1 << kBak ...): the registers a scanline needs.
using RegisterMask = uint8_t;
inline constexpr RegisterMask kAllRegisters = (1 << kColourRegisters) - 1;

// The chip shows 8 luminances outside GTIA lines: bit 0 of a colour byte
// counts as clear.
inline constexpr uint8_t kShownBits = 0xFE;
inline constexpr uint8_t kHueBits = 0xF0;
inline constexpr uint8_t kLuminanceBits = 0x0F;
inline constexpr int kHues = 16;
inline constexpr int kLuminances = 16;

// Pixels of each mode: colours a pixel may take, hi-res pixels it spans,
// pixels a cell holds and bits a pixel takes of a glyph row.
struct ModeGeometry {
  LineMode Mode;
  int Colours;
  int PixelWidth;
  int PixelsPerCell;
  int BitsPerPixel;
};
inline constexpr std::array<ModeGeometry, 3> kModeGeometry = {{
    {LineMode::kHiRes, 2, 1, 8, 1},
    {LineMode::kFourColour, 4, 2, 4, 2},
    {LineMode::kGtia, 16, 4, 2, 4},
}};
inline constexpr const ModeGeometry& GeometryOf(LineMode mode) {
  return mode == LineMode::kHiRes  ? kModeGeometry[0]
         : mode == LineMode::kGtia ? kModeGeometry[2]
                                   : kModeGeometry[1];
}
inline constexpr int kMostColours = 16;

// The colour a pixel of `value` shows on a scanline of these registers in
// `mode`; `inverse` is the cell's inverse bit (four-colour lines only: PF3
// for PF2).
inline uint8_t ShownColour(LineMode mode, const Registers& r, bool inverse, int value) {
  switch (mode) {
    case LineMode::kHiRes:
      return value ? static_cast<uint8_t>(((r[kPf2] & kHueBits) | (r[kPf1] & kLuminanceBits)) &
                                          kShownBits)
                   : static_cast<uint8_t>(r[kPf2] & kShownBits);
    case LineMode::kFourColour: {
      static constexpr Register kByValue[4] = {kBak, kPf0, kPf1, kPf2};
      const Register reg = value == 3 && inverse ? kPf3 : kByValue[value & 3];
      return static_cast<uint8_t>(r[reg] & kShownBits);
    }
    case LineMode::kGtia:
      return static_cast<uint8_t>(r[kBak] | value);
    case LineMode::kBlank:
      break;
  }
  return static_cast<uint8_t>(r[kBak] & kShownBits);
}

// Registers of `next` that differ from `previous`.
inline int ChangesBetween(const Registers& previous, const Registers& next) {
  int n = 0;
  for (int i = 0; i < kColourRegisters; ++i) n += previous[i] != next[i];
  return n;
}

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_REGISTERS_H_
