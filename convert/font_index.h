// Indexes that let the cell conversion find a pattern among the characters
// of a font in expected constant time, with exactly the answers a search of
// the characters in ascending order would give: the lowest character
// number holding the pattern. Lookups are keyed by PatternHash and decided
// by comparing the 8 bytes.
#ifndef QDPEXT_CONVERT_FONT_INDEX_H_
#define QDPEXT_CONVERT_FONT_INDEX_H_

#include <cstdint>

#include "workspace/workspace.h"

namespace qdp {

// Empties every index before a conversion starts.
void ResetFontIndexes(Workspace& ws);

// The lowest character among the first FontFill ones of the font being
// filled that holds `pattern`, or -1.
int FindInFillingFont(const Workspace& ws, uint64_t pattern, uint32_t hash);

// Records that character `ch` of the font being filled now holds the
// pattern of hash `hash`, which no lower character of that font holds.
void AddToFillingFont(Workspace& ws, int ch, uint32_t hash);

// The font being filled is left with FontFill characters: it will never
// change again, so its index is kept for line reuse and the current index
// emptied.
void LeaveFillingFont(Workspace& ws);

// The fonts already left that hold `pattern` in any of their 128 slots
// (filled or not, so a blank pattern is in every font with a free slot).
FontMask FontsHolding(const Workspace& ws, uint64_t pattern, uint32_t hash);

// The lowest slot of left font `font` holding `pattern`; the pattern must
// be in that font (FontsHolding says so).
int SlotInLeftFont(const Workspace& ws, int font, uint64_t pattern, uint32_t hash);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_FONT_INDEX_H_
