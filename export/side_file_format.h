// The layouts of the raw side files, in one place. Every file is a dump of
// workspace bytes: no header, no trailer, no checksum. W is the line width.
//   .mic  240 pixel rows, top first, each W bytes: one byte per cell, its
//         8 pixels in the row, leftmost in bit 7
//   .fnt  the fonts below kFontsInFontFile that some line uses, ascending:
//         each 128 characters of 8 bytes, top row first
//   .scr  30 records of W screen codes, line 0 first; a line not in use
//         is W bytes of kLineNotInUseCode
//   .tab  one byte per line in use, in line order: its font number
//   .col  the five colour tables, each its 240 entries (one per pixel row)
//         then kColourTablePadding zero bytes
#ifndef QDPEXT_EXPORT_SIDE_FILE_FORMAT_H_
#define QDPEXT_EXPORT_SIDE_FILE_FORMAT_H_

#include <cstddef>
#include <cstdint>

#include "workspace/workspace.h"

namespace qdp {

// Font numbers at and above this are left out of the .fnt file.
inline constexpr int kFontsInFontFile = 30;

// A .scr record of a line not in use is made of this code.
inline constexpr uint8_t kLineNotInUseCode = 127;

// Colour entries exported per table: one per bitmap line; the rest of the
// table's block is zeros whatever memory holds.
inline constexpr size_t kColourEntries = kBitmapLines;
inline constexpr size_t kColourTablePadding = kColourTableBytes - kColourEntries;

}  // namespace qdp

#endif  // QDPEXT_EXPORT_SIDE_FILE_FORMAT_H_
