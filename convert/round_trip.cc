#include "convert/round_trip.h"

#include "convert/pattern.h"
#include "convert/render.h"

namespace qdp {

RoundTripResult CheckRoundTrip(const Workspace& ws, Workspace& scratch) {
  scratch.LineWidth = ws.LineWidth;
  scratch.CharacterMode = ws.CharacterMode;
  scratch.FontBank = ws.FontBank;
  // As loaded: every bit 7 of the screen marks its cell.
  scratch.Screen = ws.Screen;
  for (int p = 0; p < kScreenBytes; ++p)
    scratch.InverseMarks[p] = (ws.Screen[p] & kInverseBit) != 0;
  scratch.LineFontTable = ws.LineFontTable;
  scratch.Bitmap.fill(0);
  RenderScreen(scratch);

  RoundTripResult result;
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < LineCells(ws); ++x) {
      if (CellPattern(scratch, line, x) != CellPattern(ws, line, x)) {
        result.Exact = false;
        result.Line = line;
        result.Column = x;
        return result;
      }
    }
  }
  return result;
}

}  // namespace qdp
