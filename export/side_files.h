// Writers of the raw side files beside the input: fonts in use (.fnt),
// screen codes (.scr), the font of each line (.tab), the bitmap (.mic) and
// the colour tables (.col). They only read the workspace (the font step
// keeps its marks in FontUnusedFlags). Every create, write and close is
// checked as it returns: the first failure throws InOutError, leaving
// earlier files as they are and writing nothing after it.
#ifndef QDPEXT_EXPORT_SIDE_FILES_H_
#define QDPEXT_EXPORT_SIDE_FILES_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "project/workspace.h"

namespace qdp {

// The input name with its extension replaced by `extension` (".mic", ...).
// The extension is the part from the last "." that stands after the last
// "/", "\" or ":"; a name without one gets `extension` appended, so the
// side file always lands in the input's directory.
std::string SideFileName(const std::string& input_name, std::string_view extension);

// A picture drawn in font 0 alone needs no line table: .tab is due only
// when some line uses another font, and an existing one is otherwise left
// as it is.
inline bool LineTableDue(const Workspace& ws) { return ws.HighestFontInUse != 0; }

// .mic: bytes 0 to width-1 of each of the 240 bitmap rows.
void SaveMicFile(const Workspace& ws, FileSystem& fs, const std::string& input_name);

// .fnt (when `fonts`), .scr (when `screen`) and .tab (when `table` and some
// line uses a font other than 0), in that order.
void SaveFntScrTab(Workspace& ws, FileSystem& fs, bool fonts, bool screen, bool table,
                   const std::string& input_name);

// .col (only when `enabled`): the first 240 bytes of each colour table,
// each followed by 16 zero bytes.
void SaveColFile(const Workspace& ws, FileSystem& fs, bool enabled, const std::string& input_name);

}  // namespace qdp

#endif  // QDPEXT_EXPORT_SIDE_FILES_H_
