// The cell-by-cell conversion: every bitmap cell becomes a character of the
// font being filled, either always a new one (a character per cell) or
// shared with equal and complemented cells of that font and with whole
// earlier fonts for a line (shared characters). A line is always coded
// within one font.
#ifndef QDPEXT_CONVERT_CELL_PASS_H_
#define QDPEXT_CONVERT_CELL_PASS_H_

#include "workspace/workspace.h"

namespace qdp {

// Codes the whole bitmap, sharing characters when ws.Conversion asks for
// shared characters and giving every cell its own otherwise. Expects the
// fonts, the screen and the line table cleared. Throws ConversionFailed when a
// line would need a font past the last one.
void RunCellPass(Workspace& ws);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_CELL_PASS_H_
