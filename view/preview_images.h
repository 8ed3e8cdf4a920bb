// The two pictures qdpview draws from a loaded project: the rendered
// bitmap exactly as stored, and a sheet of the fonts that the lines use.
#ifndef QDPEXT_VIEW_PREVIEW_IMAGES_H_
#define QDPEXT_VIEW_PREVIEW_IMAGES_H_

#include <cstdint>
#include <vector>

#include "view/image.h"
#include "workspace/workspace.h"

namespace qdp::view {

// Font sheet geometry at scale 1: characters sit in cells of 9 x 9 pixels
// (8 for the glyph, 1 for a grid line between characters), so a font's
// grid is 143 x 71 pixels. Above
// each grid is a band of 7 pixel rows whose top 5 hold the font's number,
// left-aligned with the grid; the 2 rows below the digits stay dark. Fonts
// are 8 pixels apart, up to 4 a row.
inline constexpr int kGlyphPitch = 9;
inline constexpr int kFontWidth = 16 * kGlyphPitch - 1;  // 143
inline constexpr int kFontHeight = 8 * kGlyphPitch - 1;  // 71
inline constexpr int kLabelHeight = 7;
inline constexpr int kFontGap = 8;
inline constexpr int kFontsPerRow = 4;
// From the top of one row of fonts to the next.
inline constexpr int kFontRowPitch = kLabelHeight + kFontHeight + kFontGap;  // 86

// The digits of the labels, 3 pixels wide and 5 high, 1 pixel apart: each
// row of a digit is 3 bits, the leftmost pixel in bit 2.
inline constexpr int kDigitWidth = 3;
inline constexpr int kDigitHeight = 5;
inline constexpr int kDigitPitch = kDigitWidth + 1;
inline constexpr uint8_t kDigitRows[10][kDigitHeight] = {
    {7, 5, 5, 5, 7},  // 0
    {2, 6, 2, 2, 7},  // 1
    {7, 1, 7, 4, 7},  // 2
    {7, 1, 7, 1, 7},  // 3
    {5, 5, 7, 1, 1},  // 4
    {7, 4, 7, 1, 7},  // 5
    {7, 4, 7, 5, 7},  // 6
    {7, 1, 1, 1, 1},  // 7
    {7, 5, 7, 5, 7},  // 8
    {7, 5, 7, 1, 7},  // 9
};

// LineWidth x 8 by 240 pixels, one per bitmap bit, in black and white.
// `ws` must outlive the image.
IndexedImage BitmapImage(const Workspace& ws);

// The fonts `fonts` (numbers, in the order drawn), each a 16 x 8 grid of
// its 128 characters (character n at column n mod 16, row n div 16) under
// its number. Inside a grid glyph bits are white, grid lines between
// characters dim grey, and the rest black. `ws` must outlive the image.
IndexedImage FontSheetImage(const Workspace& ws, std::vector<int> fonts);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PREVIEW_IMAGES_H_
