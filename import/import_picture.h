// Turns a picture at the screen's size into a complete project the machine
// shows: a mode for every line, the colour registers of every scanline,
// the cells' characters and inverse bits, and the fonts they are packed
// into.
#ifndef QDPEXT_IMPORT_IMPORT_PICTURE_H_
#define QDPEXT_IMPORT_IMPORT_PICTURE_H_

#include <array>

#include "import/options.h"
#include "import/source_picture.h"
#include "view/palette.h"
#include "workspace/workspace.h"

namespace qdp::import {

struct ImportReport {
  std::array<LineMode, kScreenLines> Modes{};  // chosen per line
  int FontsUsed = 0;                           // fonts in the project
  int FontsNeeded = 0;       // before a budget merged characters (FontsUsed without one)
  int MergedCharacters = 0;  // characters merged to meet the budget
  int RegisterChanges = 0;   // register changes between consecutive scanlines, in all
  int MaxChangesOnAScanline = 0;
  double Error = 0;    // PictureError of the machine's picture against the source
  bool Exact = false;  // the machine's picture is the source, pixel for pixel
};

// Fills `ws`, a fresh workspace, with a complete project whose header asks
// for no rebuild: line width, character mode, the no-conversion bit, the
// fonts, screen, font per line, line modes, colour tables, player colour
// tables and characters-per-font limit. Throws std::invalid_argument for a
// source of a size AcceptedSize refuses or whose pixels are not Width x
// Height, and nothing for any other. A MaxChanges outside 0 to kColourRegisters counts as
// the nearest of them, a FontBudget below 0 as none.
ImportReport ImportPicture(const SourcePicture& source, const ImportOptions& options,
                           const view::AtariPalette& palette, Workspace& ws);

// The machine's picture of an imported workspace, as the error is taken of
// it: GTIA lines read as 16 luminances.
view::IndexedImage MachinePicture(const Workspace& ws, const view::AtariPalette& palette);

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_IMPORT_PICTURE_H_
