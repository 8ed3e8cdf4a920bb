// The block conversion: the bitmap is cut into 16 x 16 blocks, each
// distinct block becomes two characters in font 0 (its top half) and the
// same two in font 1 (its bottom half), and the lines alternate between
// the two fonts.
#ifndef QDPEXT_CONVERT_BLOCK_PASS_H_
#define QDPEXT_CONVERT_BLOCK_PASS_H_

#include "workspace/workspace.h"

namespace qdp {

// Expects the fonts, the screen codes and the line table cleared. Throws
// ConversionFailed when the picture holds more distinct blocks than the
// two fonts can take.
void RunBlockPass(Workspace& ws);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_BLOCK_PASS_H_
