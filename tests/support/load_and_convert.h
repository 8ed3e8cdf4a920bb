// Takes a project through the steps qdpext takes before it writes (the one
// load path: load, draw, rebuild). For tests that look at the workspace a
// run leaves.
#ifndef QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_
#define QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_

#include <string>

#include "convert/conversion_failure.h"
#include "convert/reconstruct.h"
#include "convert/render.h"
#include "load/load_path.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp::testing {

// The steps after loading: draw, then rebuild.
inline void DrawAndRebuild(Workspace& ws) {
  RenderScreen(ws);
  ReconstructCharset(ws);
}

inline void LoadAndConvert(Workspace& ws, FileSystem& fs, const std::string& name) {
  LoadDrawAndRebuild(ws, fs, name);
}

// The same, with a rebuild that fails given back as false rather than
// thrown.
inline bool LoadAndConvertIfCodable(Workspace& ws, FileSystem& fs, const std::string& name) {
  try {
    LoadAndConvert(ws, fs, name);
    return true;
  } catch (const ConversionFailed&) {
    return false;
  }
}

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_
