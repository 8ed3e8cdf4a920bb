#include "convert/reconstruct.h"

#include <algorithm>

#include "convert/block_pass.h"
#include "convert/cell_pass.h"

namespace qdp {

namespace {

// Zeroes everything a conversion rebuilds.
void ClearCharsetTargets(Workspace& ws) {
  ws.FontBank.fill(0);
  ws.Screen.fill(0);
  ws.LineFontTable.fill(0);
}

}  // namespace

void ReconstructCharset(Workspace& ws) {
  switch (ws.Conversion.Kind) {
    case ConversionKind::kNone:
      break;
    case ConversionKind::kCharPerCell:
    case ConversionKind::kSharedChars:  // the cell pass tells these two apart
      ClearCharsetTargets(ws);
      RunCellPass(ws);
      break;
    case ConversionKind::kBlocks16:
      ClearCharsetTargets(ws);
      RunBlockPass(ws);
      break;
  }
  // The exporters take the fonts up to the highest one a line uses.
  ws.HighestFontInUse = *std::max_element(ws.LineFontTable.begin(), ws.LineFontTable.end());
}

}  // namespace qdp
