// Rebuilds fonts, screen codes and line fonts from the rendered bitmap in
// the way the project's conversion kind asks.
#ifndef QDPEXT_CONVERT_RECONSTRUCT_H_
#define QDPEXT_CONVERT_RECONSTRUCT_H_

#include "workspace/workspace.h"

namespace qdp {

// Throws ConversionFailed when the bitmap cannot be coded.
void ReconstructCharset(Workspace& ws);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_RECONSTRUCT_H_
