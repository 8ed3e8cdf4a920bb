// The layout of a plain project file: what its three header bytes hold,
// where each block lies and how long it is. The reader, the container,
// the test project builder, the fuzzers and the input makers all take
// their numbers from here.
//
// A plain project is, in file order (W = line width, F = fonts in the file):
//   header                      3 bytes
//   character screen            30 x W: line 0 first, one byte per cell
//   fonts                       1024 x F: 128 characters of 8 rows each
//   font-per-line table         30: bits 0-6 the font, bit 7 starts a new font
//   tail, from here called P:
//     colour tables             1280: 5 tables of 256, one byte per bitmap line
//     player colour tables      P + 1280, 1024: 4 tables of 256, the same form
//     project data              P + 2304 ... P + 153663, passed over
//     line mode table           P + 153664, 30: each line's mode, 1, 2 or 4,
//                               or 255 for a line that is not in use
//     project data              P + 153694 ... P + 153919, passed over
//     characters-per-font limit P + 153920, 1
//     project data              P + 153921 ... P + 293445, passed over; the
//                               largest block of it is the 138240 bytes at
//                               P + 155205
//     second screen and further project data, 2098 + 30 x W, passed over
// A longer file is read up to the end of this layout; a shorter one as far
// as it goes.
#ifndef QDPEXT_PROJECT_PROJECT_FORMAT_H_
#define QDPEXT_PROJECT_PROJECT_FORMAT_H_

#include <array>
#include <cstdint>

#include "workspace/workspace.h"

namespace qdp {

// A compressed project is this 7-byte mark followed by one zlib stream that
// decodes to a plain project. A file that begins with any other 7 bytes is
// a plain project.
using ContainerMagic = std::array<uint8_t, 7>;
inline constexpr ContainerMagic kContainerMagic = {'Q', 'D', 'P', 'Z', 'L', 'I', 'B'};

// Header byte 0: line width; byte 1: character mode and conversion bits;
// byte 2: the number of the last font in the file (fonts - 1).
inline constexpr uint64_t kHeaderBytes = 3;
inline constexpr uint8_t kWidthMask = 0x7F;           // byte 0, bit 7 means nothing
inline constexpr uint8_t kCharacterModeMask = 0x07;   // byte 1
inline constexpr uint8_t kConversionBitsMask = 0xF8;  // byte 1
inline constexpr uint8_t kLastFontMask = 0x7F;        // byte 2, bit 7 means nothing

// Conversion bits of header byte 1. 0x20 is not one of them.
inline constexpr uint8_t kCharPerCellBit = 0x80;
inline constexpr uint8_t kSharedCharsBit = 0x40;
inline constexpr uint8_t kBlocks16Bit = 0x10;
inline constexpr uint8_t kNoConversionBit = 0x08;

// An entry of the font-per-line table.
inline constexpr uint8_t kNewFontBit = 0x80;
inline constexpr uint8_t kFontNumberMask = 0x7F;

// Blocks whose size is the workspace buffer they fill.
inline constexpr uint64_t kFontFileBytes = kFontBytes;
inline constexpr uint64_t kLineFontTableBytes = kScreenLines;
inline constexpr uint64_t kColourTablesBytes = kColourTableCount * kColourTableBytes;
inline constexpr uint64_t kPlayerColourTablesBytes = kPlayerColourTableCount * kColourTableBytes;
inline constexpr uint64_t kLineModeTableFromColours = 153664;
inline constexpr uint64_t kLineModeTableBytes = kScreenLines;
inline constexpr uint64_t kCharsPerFontLimitFromColours = 153920;
inline constexpr uint64_t kLargestDataFromColours = 155205;
inline constexpr uint64_t kLargestDataBytes = 138240;
// The tail's length is this plus 30 x W (its second screen).
inline constexpr uint64_t kTailFixedBytes = 295544;

// The line mode table is taken only when every entry is one of the modes.
inline constexpr bool IsLineModeValue(uint8_t v) {
  switch (static_cast<LineMode>(v)) {
    case LineMode::kHiRes:
    case LineMode::kFourColour:
    case LineMode::kGtia:
    case LineMode::kBlank:
      return true;
  }
  return false;
}

// File offsets of the blocks of a project of line width LineWidth and
// FontCount fonts (1 to 128).
struct ProjectLayout {
  int LineWidth;
  int FontCount;
  constexpr uint64_t ScreenLine() const { return static_cast<uint64_t>(LineWidth); }
  constexpr uint64_t Screen() const { return kHeaderBytes; }
  constexpr uint64_t Fonts() const { return Screen() + 30 * ScreenLine(); }
  constexpr uint64_t LineFonts() const {
    return Fonts() + kFontFileBytes * static_cast<uint64_t>(FontCount);
  }
  constexpr uint64_t ColourTables() const { return LineFonts() + kLineFontTableBytes; }
  constexpr uint64_t PlayerColourTables() const { return ColourTables() + kColourTablesBytes; }
  constexpr uint64_t LineModeTable() const { return ColourTables() + kLineModeTableFromColours; }
  constexpr uint64_t CharsPerFontLimit() const {
    return ColourTables() + kCharsPerFontLimitFromColours;
  }
  constexpr uint64_t LargestData() const { return ColourTables() + kLargestDataFromColours; }
  constexpr uint64_t FullLength() const {
    return ColourTables() + kTailFixedBytes + 30 * ScreenLine();
  }
};

// The longest project the reader can ask for (width 48, 128 fonts, every
// block present).
inline constexpr uint64_t kLongestProjectBytes = ProjectLayout{48, 128}.FullLength();
static_assert(kLongestProjectBytes == 429529);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_PROJECT_FORMAT_H_
