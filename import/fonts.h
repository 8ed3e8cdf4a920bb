// Puts the cells' glyphs into fonts: identical glyphs share a character
// within and across lines, and lines are packed into as few fonts of 128
// characters as hold them. Under a budget of fonts, characters are merged
// where the picture loses least.
#ifndef QDPEXT_IMPORT_FONTS_H_
#define QDPEXT_IMPORT_FONTS_H_

#include <array>

#include "import/line_plan.h"
#include "import/palette_lab.h"

namespace qdp::import {

struct FontPacking {
  int FontsUsed = 0;
  int FontsNeeded = 0;  // without a budget
  int MergedCharacters = 0;
};

// Lines whose glyphs a budget changed get them changed in `plans`. Writes
// the fonts, the screen codes (bit 7 the inverse bit), the font of each
// line and the number of the last font into `ws`. `budget` 0 is none.
FontPacking PackFonts(const SourceLab& source, const PaletteLab& palette,
                      std::array<LinePlan, kScreenLines>& plans, int budget, Workspace& ws);

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_FONTS_H_
