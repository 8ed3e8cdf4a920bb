// Checks that the rebuilt fonts, screen codes and line fonts draw the
// picture they were rebuilt from, by rendering them as if just loaded.
#ifndef QDPEXT_CONVERT_ROUND_TRIP_H_
#define QDPEXT_CONVERT_ROUND_TRIP_H_

#include "workspace/workspace.h"

namespace qdp {

struct RoundTripResult {
  bool Exact = true;
  // The first cell, in line order, whose eight bytes differ; -1 when exact.
  int Line = -1;
  int Column = -1;
};

// Renders the fonts, screen codes and line font table of `ws` in
// `scratch` the way a freshly loaded project is rendered, and compares the
// result with the bitmap of `ws`. `scratch` is overwritten; it is passed
// in so that the caller decides where that much memory comes from.
RoundTripResult CheckRoundTrip(const Workspace& ws, Workspace& scratch);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_ROUND_TRIP_H_
