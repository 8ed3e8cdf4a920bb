#include "view/preview_images.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace qdp::view {
namespace {

// Lights the pixels of `row` from `x` on whose bits in `bits` are set,
// leftmost in bit 7; the others keep what they had.
void PutByte(uint8_t* row, int x, uint8_t bits) {
  for (int k = 0; k < 8; ++k) row[x + k] |= (bits >> (7 - k)) & 1;
}

// The font sheet's grid lines: dim, so that glyphs stand apart without
// being mistaken for glyph bits.
constexpr uint8_t kSheetGrid = 2;  // index 0 is black, 1 white
constexpr Rgb kSheetGridColour{64, 64, 64};

}  // namespace

IndexedImage BitmapImage(const Workspace& ws) {
  IndexedImage image;
  const int width = LineCells(ws);
  image.Width = width * 8;
  image.Height = kBitmapLines;
  image.Palette = BlackAndWhite();
  image.FillRow = [&ws, width](int y, uint8_t* row) {
    for (int x = 0; x < width; ++x) {
      const uint8_t bits = ws.Bitmap[RowOffset(y) + x];
      for (int k = 0; k < 8; ++k) row[x * 8 + k] = (bits >> (7 - k)) & 1;
    }
  };
  return image;
}

IndexedImage FontSheetImage(const Workspace& ws, std::vector<int> fonts) {
  IndexedImage image;
  const int count = static_cast<int>(fonts.size());
  const int columns = std::min(count, kFontsPerRow);
  const int rows = (count + kFontsPerRow - 1) / kFontsPerRow;
  image.Width = std::max(0, columns * (kFontWidth + kFontGap) - kFontGap);
  image.Height = std::max(0, rows * kFontRowPitch - kFontGap);
  image.Palette = {kBlack, kWhite, kSheetGridColour};
  image.FillRow = [&ws, fonts = std::move(fonts), count, width = image.Width](int y, uint8_t* row) {
    std::fill_n(row, width, 0);
    const int band = y / kFontRowPitch;
    const int in_band = y % kFontRowPitch;
    const int first = band * kFontsPerRow;
    const int last = std::min(count, first + kFontsPerRow);
    if (in_band < kLabelHeight) {
      if (in_band >= kDigitHeight) return;  // below the digits
      for (int index = first; index < last; ++index) {
        const std::string number = std::to_string(fonts[index]);
        int x = (index - first) * (kFontWidth + kFontGap);
        for (char digit : number) {
          // Three bits, leftmost in bit 2: shifted up to bits 7 to 5.
          PutByte(row, x, static_cast<uint8_t>(kDigitRows[digit - '0'][in_band] << 5));
          x += kDigitPitch;
        }
      }
      return;
    }
    const int in_grid = in_band - kLabelHeight;
    if (in_grid >= kFontHeight) return;  // between rows of fonts
    const int char_row = in_grid / kGlyphPitch;
    const int scanline = in_grid % kGlyphPitch;
    for (int index = first; index < last; ++index) {
      const int left = (index - first) * (kFontWidth + kFontGap);
      if (scanline == kCharBytes) {  // a grid line between character rows
        std::fill_n(row + left, kFontWidth, kSheetGrid);
        continue;
      }
      for (int c = 0; c < 16; ++c) {
        const int ch = char_row * 16 + c;
        PutByte(row, left + c * kGlyphPitch,
                ws.FontBank[fonts[index] * kFontBytes + ch * kCharBytes + scanline]);
        if (c < 15) row[left + c * kGlyphPitch + kCharBytes] = kSheetGrid;
      }
    }
  };
  return image;
}

}  // namespace qdp::view
