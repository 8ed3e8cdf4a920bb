#include "convert/reconstruct.h"

#include <algorithm>

#include "convert/block_pass.h"
#include "convert/cell_pass.h"

namespace qdp {

void ClearCharsetTargets(Workspace& ws) {
  ws.FontBank.fill(0);
  ws.ScreenPages[0].fill(0);
  ws.LineFontTable.fill(0);
}

void ReconstructCharset(Workspace& ws) {
  uint8_t& mode = ws.Reconstruct.ConversionMode;
  mode = 255;
  if (ws.ModeFlag1) {
    mode = 0;
  } else if (ws.ModeFlag2) {
    mode = 1;
  } else if (ws.ModeFlag3) {
    mode = 3;
  }
  if (mode == 0 || mode == 1) {
    ClearCharsetTargets(ws);
    RunCellPass(ws);
  } else if (mode == 3) {
    ClearCharsetTargets(ws);
    RunBlockPass(ws);
  }
  // The exporters take the fonts up to the highest one a line uses.
  ws.CurrentFont = *std::max_element(ws.LineFontTable.begin(), ws.LineFontTable.end());
}

}  // namespace qdp
