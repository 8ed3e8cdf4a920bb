// Writes a workspace out as a project file, plain or compressed: the
// reader's inverse, block for block at the offsets of project_format.h.
#ifndef QDPEXT_PROJECT_WRITER_H_
#define QDPEXT_PROJECT_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

enum class ProjectForm : uint8_t {
  kPlain,
  kCompressed,  // the container mark followed by one zlib stream of the plain form
};

// The plain project of `ws`, every block of the layout present: the
// header (width, character mode with the conversion bit that selects
// ws.Conversion when the header chose it, the last font), the screen codes
// with their inverse bits, fonts 0 to ws.LastDeclaredFont, the font-per-line
// table with each line's new-font bit, the colour and player colour tables,
// the line mode table (zeros, which no reader takes, when ws.LineModesValid
// is false), the characters-per-font limit; every block the programs pass
// over is zeros. Reading the bytes back with LoadProject gives the same
// workspace fields.
std::vector<uint8_t> PlainProjectBytes(const Workspace& ws);

// The compressed form of `plain`.
std::vector<uint8_t> CompressedProjectBytes(const std::vector<uint8_t>& plain);

// Writes the project of `ws` to `path` in `form`, whole or not at all: a
// write that fails leaves no file at `path` and an existing one as it was.
// Throws InOutError.
void WriteProject(const Workspace& ws, ProjectForm form, FileSystem& fs, const std::string& path);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_WRITER_H_
