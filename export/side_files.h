// Writers of the raw side files beside the input: fonts in use (.fnt),
// screen codes (.scr), the font of each line (.tab), the bitmap (.mic) and
// the colour tables (.col); side_file_format.h has their layouts. They
// only read the workspace. Every create,
// write and close is checked as it returns: the first failure throws
// InOutError; a side file that was created or emptied and then failed is
// removed, so that no half-written file is taken for a good one.
#ifndef QDPEXT_EXPORT_SIDE_FILES_H_
#define QDPEXT_EXPORT_SIDE_FILES_H_

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "export/side_file_format.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// The input name with its extension replaced by `extension` (".mic", ...).
// The extension is the part from the last "." that stands after the last
// "/", "\" or ":"; a name without one gets `extension` appended, so the
// side file always lands in the input's directory.
std::string SideFileName(const std::string& input_name, std::string_view extension);

// Writes `bytes` as `file_name`, replacing any file there whole
// (FileSystem::CreateReplacing): at every moment the name holds the old
// file, or none, or the complete new one. A failure leaves it as it was,
// so that a build tool never takes part of a side file, newer than its
// project, for an up-to-date one.
void WriteSideFile(FileSystem& fs, const std::string& file_name, std::span<const uint8_t> bytes);

// Every writer creates `file_name` (the side file's own name) and fills it.
using SideFileWriter = void (*)(const Workspace& ws, FileSystem& fs, const std::string& file_name);

// .mic: bytes 0 to width-1 of each of the 240 bitmap rows.
void SaveMicFile(const Workspace& ws, FileSystem& fs, const std::string& file_name);

// .fnt: the fonts below kFontsInFontFile that some line uses, in ascending order.
void SaveFntFile(const Workspace& ws, FileSystem& fs, const std::string& file_name);

// .scr: each line's screen codes, or filler of 127 for a line not in use
// (see LineInUse).
void SaveScrFile(const Workspace& ws, FileSystem& fs, const std::string& file_name);

// .tab: the font number of each line in use.
void SaveTabFile(const Workspace& ws, FileSystem& fs, const std::string& file_name);

// Whether .tab is due for the rebuilt project. A picture drawn in font 0
// alone needs no line table: it is due only when some line uses another
// font, and an existing one is otherwise left as it is.
bool LineTableDue(const Workspace& ws);

// .col: the first 240 bytes of each colour table, each followed by 16 zero
// bytes.
void SaveColFile(const Workspace& ws, FileSystem& fs, const std::string& file_name);

}  // namespace qdp

#endif  // QDPEXT_EXPORT_SIDE_FILES_H_
