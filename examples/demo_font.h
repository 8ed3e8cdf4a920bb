// The demo's own 8 x 8 text font: upper-case letters, digits, a little
// punctuation and frame pieces, drawn for the demo picture.
#ifndef QDPEXT_EXAMPLES_DEMO_FONT_H_
#define QDPEXT_EXAMPLES_DEMO_FONT_H_

#include <array>
#include <cstdint>

namespace qdp::demo {

using Glyph = std::array<uint8_t, 8>;

// Codes of the frame pieces; text characters use their ASCII code - 32.
inline constexpr uint8_t kFrameHorizontal = 96;
inline constexpr uint8_t kFrameVertical = 97;
inline constexpr uint8_t kFrameTopLeft = 98;
inline constexpr uint8_t kFrameTopRight = 99;
inline constexpr uint8_t kFrameBottomLeft = 100;
inline constexpr uint8_t kFrameBottomRight = 101;

// The font as 128 glyphs, one byte per pixel row, leftmost pixel in bit 7.
std::array<Glyph, 128> DemoFont();

// The code of a text character (ASCII 32 to 95; lower case is folded).
uint8_t TextCode(char c);

}  // namespace qdp::demo

#endif  // QDPEXT_EXAMPLES_DEMO_FONT_H_
