// Loads a project file, plain or compressed, into the workspace: header,
// screen, fonts, line tables, colour tables, per-line skip table and the
// characters-per-font limit; then renders the screen and rebuilds the
// charset as the project's conversion kind asks.
#ifndef QDPEXT_PROJECT_READER_H_
#define QDPEXT_PROJECT_READER_H_

#include <string>

#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// Throws InOutError when the file cannot be opened, ProjectError when its
// header is rejected, DecompressionError for a corrupt compressed stream and
// ConversionFailed when the charset cannot be rebuilt. A file with an
// accepted header that ends early is loaded as far as it goes: whatever it
// does not supply keeps the zero a fresh workspace holds, so `ws` must be
// fresh.
void LoadProject(Workspace& ws, FileSystem& fs, const std::string& file_name);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_READER_H_
