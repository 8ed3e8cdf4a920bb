// Reads a project file, plain or compressed, into the workspace: header,
// screen, fonts, line tables, colour and player colour tables, the line
// mode table and the characters-per-font limit. It only reads: drawing the
// screen and rebuilding the charset are the caller's next steps.
#ifndef QDPEXT_PROJECT_READER_H_
#define QDPEXT_PROJECT_READER_H_

#include <string>

#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// Throws InOutError when the file cannot be opened, ProjectError when its
// header is rejected and DecompressionError for a corrupt compressed
// stream. A file with an accepted header that ends early is loaded as far
// as it goes: whatever it does not supply keeps the zero a fresh workspace
// holds, so `ws` must be fresh.
void LoadProject(Workspace& ws, FileSystem& fs, const std::string& file_name);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_READER_H_
