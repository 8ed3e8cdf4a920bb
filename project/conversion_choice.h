// Decides how a loaded project's charset is rebuilt: from the conversion
// bits of its header when it sets any, otherwise from its layout.
#ifndef QDPEXT_PROJECT_CONVERSION_CHOICE_H_
#define QDPEXT_PROJECT_CONVERSION_CHOICE_H_

#include <array>
#include <cstdint>

#include "workspace/workspace.h"

namespace qdp {

// `mode_byte` is header byte 1 (its character-mode bits are ignored here),
// `width` the line width, `fonts` the number of fonts in the file (1 to
// 128) and `raw_line_fonts` the font-per-line table as stored, with each
// line's new-font bit still in place.
//
// Of the header's conversion bits, the last one set in the order 0x80
// (a character per cell), 0x40 (shared characters), 0x10 (16 x 16 blocks),
// 0x08 (no conversion) decides; 0x20 means nothing. Without any of them, a
// line table of 0, 1, 0, 1, ... asks for blocks, a layout whose fonts hold
// exactly one character per cell for that, and any other for sharing.
ConversionChoice ChooseConversion(uint8_t mode_byte, int width, int fonts,
                                  const std::array<uint8_t, kScreenLines>& raw_line_fonts);

// The header bit that chooses `kind` on its own: the inverse of the choice
// by header bits, for writing a project.
uint8_t ConversionBitOf(ConversionKind kind);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_CONVERSION_CHOICE_H_
