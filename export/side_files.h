// Writers of the raw side files beside the input: fonts in use (.fnt),
// screen codes (.scr), the font of each line (.tab), the bitmap (.mic) and
// the colour tables (.col).
#ifndef QDPEXT_EXPORT_SIDE_FILES_H_
#define QDPEXT_EXPORT_SIDE_FILES_H_

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "project/workspace.h"

namespace qdp {

// The input name with its extension replaced by `extension` (".mic", ...);
// a name without an extension gets it appended.
std::string SideFileName(const std::string& input_name, std::string_view extension);

void SaveMicFile(const Workspace& ws, FileSystem& fs, const std::string& input_name);
void SaveFntScrTab(Workspace& ws, FileSystem& fs, bool fonts, bool screen, bool table,
                   const std::string& input_name);
void SaveColFile(const Workspace& ws, FileSystem& fs, bool enabled, const std::string& input_name);

}  // namespace qdp

#endif  // QDPEXT_EXPORT_SIDE_FILES_H_
