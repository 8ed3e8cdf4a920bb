// The one load path: what every program does with a project file before it
// shows or writes anything. It reads the file into the workspace, draws
// the screen into the bitmap and rebuilds fonts and codes from the bitmap.
#ifndef QDPEXT_LOAD_LOAD_PATH_H_
#define QDPEXT_LOAD_LOAD_PATH_H_

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// Called once the picture is drawn and before the rebuild changes the
// fonts, codes and line fonts: for a caller that keeps them as loaded.
using DrawnHook = std::function<void(const Workspace& drawn)>;

// Loads `input` from `fs` into `ws` (which must be fresh), draws it and
// rebuilds its charset. Throws what the reader throws (RunError) when the
// file cannot be loaded, and ConversionFailed when the rebuild fails; `ws`
// then holds what was done so far.
void LoadDrawAndRebuild(Workspace& ws, FileSystem& fs, const std::string& input,
                        const DrawnHook& drawn = nullptr);

}  // namespace qdp

#endif  // QDPEXT_LOAD_LOAD_PATH_H_
