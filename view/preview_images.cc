#include "view/preview_images.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qdp::view {
namespace {

// Puts the 8 pixels of `bits` into `row` from pixel `x` on.
void PutByte(uint8_t* row, int x, uint8_t bits) {
  int shift = x & 7;
  row[x >> 3] |= static_cast<uint8_t>(bits >> shift);
  if (shift != 0) row[(x >> 3) + 1] |= static_cast<uint8_t>(bits << (8 - shift));
}

}  // namespace

BitImage PictureImage(const Workspace& ws) {
  BitImage image;
  const int width = LineCells(ws);
  image.width = width * 8;
  image.height = kBitmapLines;
  // A bitmap row is already 8 pixels a byte, leftmost in bit 7.
  image.fill_row = [&ws, width](int y, uint8_t* row) {
    std::memcpy(row, &ws.Bitmap[RowOffset(y)], static_cast<size_t>(width));
  };
  return image;
}

BitImage FontSheetImage(const Workspace& ws, const std::vector<int>& fonts) {
  BitImage image;
  const int count = static_cast<int>(fonts.size());
  const int columns = std::min(count, kFontsPerRow);
  const int rows = (count + kFontsPerRow - 1) / kFontsPerRow;
  image.width = std::max(0, columns * (kFontWidth + kFontGap) - kFontGap);
  image.height = std::max(0, rows * kFontRowPitch - kFontGap);
  image.fill_row = [&ws, &fonts, count](int y, uint8_t* row) {
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
    const int char_row = in_grid / kGlyphPitch;
    const int scanline = in_grid % kGlyphPitch;
    if (in_grid >= kFontHeight || scanline == 8) return;  // a gap
    for (int index = first; index < last; ++index) {
      const int left = (index - first) * (kFontWidth + kFontGap);
      for (int c = 0; c < 16; ++c) {
        const int ch = char_row * 16 + c;
        PutByte(row, left + c * kGlyphPitch,
                ws.FontBank[fonts[index] * kFontBytes + ch * kCharBytes + scanline]);
      }
    }
  };
  return image;
}

}  // namespace qdp::view
