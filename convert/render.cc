#include "convert/render.h"

namespace qdp {

void RenderScreen(Workspace& ws) {
  // An accepted project never has a font number past the bank; the mask keeps
  // every access inside the bank whatever the line table says.
  const int width = LineCells(ws);
  ws.Bitmap.fill(0);
  for (int line = 0; line < kScreenLines; ++line) {
    int font_base = (ws.LineFontTable[line] % kFontCount) * kFontBytes;
    int screen_row = RowOffset(line);
    for (int x = 0; x < width; ++x) {
      int p = screen_row + x;
      uint8_t mask = 0;
      // In character mode 2 bit 7 does not mean inverse at all. A mark
      // drawn is used up, so that a rebuild does not set the bit again on
      // top of the complemented pattern it finds there.
      if (ws.InverseMarks[p] && ws.CharacterMode != 2) {
        mask = 0xFF;
        ws.InverseMarks[p] = false;
      }
      int glyph = font_base + (ws.Screen[p] & kCharNumberMask) * kCharBytes;
      for (int k = 0; k < kCharBytes; ++k) {
        ws.Bitmap[RowOffset(line * kCharBytes + k) + x] =
            static_cast<uint8_t>(ws.FontBank[glyph + k] ^ mask);
      }
    }
  }
}

}  // namespace qdp
