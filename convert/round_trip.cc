#include "convert/round_trip.h"

#include "convert/pattern.h"
#include "convert/render.h"

namespace qdp {

RoundTripResult CheckRoundTrip(const Workspace& ws, Workspace& scratch) {
  scratch.LineWidth = ws.LineWidth;
  scratch.CharacterMode = ws.CharacterMode;
  scratch.RowOffsetTable = ws.RowOffsetTable;
  scratch.FontBank = ws.FontBank;
  // A loaded screen starts with its working copy equal to it.
  scratch.ScreenPages[0] = ws.ScreenPages[0];
  scratch.ScreenPages[1] = ws.ScreenPages[0];
  scratch.LineFontTable = ws.LineFontTable;
  scratch.Bitmap.fill(0);
  RenderScreen(scratch);

  RoundTripResult result;
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < LineCells(ws); ++x) {
      if (CellPattern(scratch, line, x) != CellPattern(ws, line, x)) {
        result.exact = false;
        result.line = line;
        result.column = x;
        return result;
      }
    }
  }
  return result;
}

}  // namespace qdp
