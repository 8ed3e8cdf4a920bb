// The two pictures qdpview draws from a loaded project: the rendered
// bitmap exactly as stored, and a sheet of the fonts that the lines use.
#ifndef QDPEXT_VIEW_PREVIEW_IMAGES_H_
#define QDPEXT_VIEW_PREVIEW_IMAGES_H_

#include <vector>

#include "view/png_writer.h"
#include "workspace/workspace.h"

namespace qdp::view {

// Font sheet geometry at scale 1: characters sit in cells of 9 x 9 pixels
// (8 for the glyph, 1 of gap), fonts 8 pixels apart, up to 4 fonts a row.
inline constexpr int kGlyphPitch = 9;
inline constexpr int kFontWidth = 16 * kGlyphPitch - 1;  // 143
inline constexpr int kFontHeight = 8 * kGlyphPitch - 1;  // 71
inline constexpr int kFontGap = 8;
inline constexpr int kFontsPerRow = 4;

// LineWidth x 8 by 240 pixels, one per bitmap bit. `ws` must outlive the
// image.
BitImage PictureImage(const Workspace& ws);

// The fonts `fonts` (numbers, in the order drawn), each a 16 x 8 grid of
// its 128 characters: character n at column n mod 16, row n div 16. Only
// glyph bits are light. `ws` and `fonts` must outlive the image.
BitImage FontSheetImage(const Workspace& ws, const std::vector<int>& fonts);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PREVIEW_IMAGES_H_
