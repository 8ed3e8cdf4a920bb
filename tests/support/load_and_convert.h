// Takes a project through the steps qdpext takes before it writes: load,
// draw, rebuild. For tests that look at the workspace a run leaves.
#ifndef QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_
#define QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_

#include <string>

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "workspace/workspace.h"

namespace qdp::testing {

inline void LoadAndConvert(Workspace& ws, FileSystem& fs, const std::string& name) {
  LoadProject(ws, fs, name);
  RenderScreen(ws);
  ReconstructCharset(ws);
}

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_LOAD_AND_CONVERT_H_
