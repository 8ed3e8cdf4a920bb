#include "convert/render.h"

namespace qdp {

void RenderScreen(Workspace& ws) {
  auto& screen = ws.ScreenPages[0];
  auto& working = ws.ScreenPages[1];
  // An accepted project never has a font number above 127; the mask keeps
  // every access inside the bank whatever the line table says.
  const int width = LineCells(ws);
  for (int line = 0; line < kScreenLines; ++line) {
    int font_base = (ws.LineFontTable[line] & 0x7F) * kFontBytes;
    int screen_row = ws.RowOffsetTable[line];
    for (int x = 0; x < width; ++x) {
      int p = screen_row + x;
      uint8_t mask = 0;
      // The inverse decision comes from the working copy, which is cleared
      // where it was taken so that reconstruction sees no inverse bit
      // there; in character mode 2 bit 7 does not mean inverse at all.
      if (working[p] >= 128 && ws.CharacterMode != 2) {
        mask = 0xFF;
        working[p] = 0;
      }
      int glyph = font_base + (screen[p] & 0x7F) * kCharBytes;
      for (int k = 0; k < kCharBytes; ++k) {
        ws.Bitmap[ws.RowOffsetTable[line * kCharBytes + k] + x] =
            static_cast<uint8_t>(ws.FontBank[glyph + k] ^ mask);
      }
    }
  }
}

}  // namespace qdp
