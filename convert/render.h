// Draws the character screen into the 240-line bitmap, complementing the
// cells shown inverse.
#ifndef QDPEXT_CONVERT_RENDER_H_
#define QDPEXT_CONVERT_RENDER_H_

#include "workspace/workspace.h"

namespace qdp {

void RenderScreen(Workspace& ws);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_RENDER_H_
