#include "project/conversion_choice.h"

#include "project/project_format.h"

namespace qdp {
namespace {

struct ConversionBit {
  uint8_t bit;
  ConversionKind kind;
};

// Tested in this order, so the last set bit wins.
constexpr ConversionBit kConversionBits[] = {
    {kCharPerCellBit, ConversionKind::kCharPerCell},
    {kSharedCharsBit, ConversionKind::kSharedChars},
    {kBlocks16Bit, ConversionKind::kBlocks16},
    {kNoConversionBit, ConversionKind::kNone},
};

ConversionKind KindFromLayout(int width, int fonts,
                              const std::array<uint8_t, kScreenLines>& raw_line_fonts) {
  bool alternating = true;
  for (int i = 0; i < kScreenLines; ++i) alternating &= raw_line_fonts[i] == (i & 1);
  if (alternating) return ConversionKind::kBlocks16;
  // The layouts whose fonts hold exactly one character per cell.
  if ((width == 32 && fonts == 8) || (width == 40 && fonts == 10) || (width == 48 && fonts == 15)) {
    return ConversionKind::kCharPerCell;
  }
  return ConversionKind::kSharedChars;
}

}  // namespace

ConversionChoice ChooseConversion(uint8_t mode_byte, int width, int fonts,
                                  const std::array<uint8_t, kScreenLines>& raw_line_fonts) {
  const uint8_t bits = mode_byte & kConversionBitsMask;
  if (bits == 0) {
    return {KindFromLayout(width, fonts, raw_line_fonts), ConversionSource::kLayout};
  }
  ConversionKind kind = ConversionKind::kNone;
  for (const ConversionBit& b : kConversionBits) {
    if (bits & b.bit) kind = b.kind;
  }
  return {kind, ConversionSource::kHeaderBits};
}

uint8_t ConversionBitOf(ConversionKind kind) {
  for (const ConversionBit& b : kConversionBits) {
    if (b.kind == kind) return b.bit;
  }
  return 0;
}

}  // namespace qdp
