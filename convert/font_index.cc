#include "convert/font_index.h"

#include <algorithm>

#include "convert/pattern.h"

namespace qdp {
namespace {

constexpr int kCharMask = ReconstructScratch::kCharIndexSlots - 1;
constexpr int kPatternMask = ReconstructScratch::kPatternSlots - 1;

// Probes a character index of `font` for `pattern`; -1 when absent.
int Probe(const Workspace& ws,
          const std::array<uint8_t, ReconstructScratch::kCharIndexSlots>& index, int font,
          uint64_t pattern, uint32_t hash) {
  for (uint32_t slot = hash & kCharMask;; slot = (slot + 1) & kCharMask) {
    int entry = index[slot];
    if (entry == 0) return -1;
    if (CharPattern(ws, font, entry - 1) == pattern) return entry - 1;
  }
}

void SetBit(FontMask& mask, int font) { mask[font >> 6] |= uint64_t{1} << (font & 63); }

}  // namespace

void ResetFontIndexes(Workspace& ws) {
  ReconstructScratch& s = ws.Reconstruct;
  s.CharIndex.fill(0);
  s.PatternKeys.fill(0);
  s.BlankFonts = FontMask{};
  s.FontFillOf.fill(0);
}

int FindInFillingFont(const Workspace& ws, uint64_t pattern, uint32_t hash) {
  return Probe(ws, ws.Reconstruct.CharIndex, ws.Reconstruct.FillingFont, pattern, hash);
}

void AddToFillingFont(Workspace& ws, int ch, uint32_t hash) {
  ReconstructScratch& s = ws.Reconstruct;
  uint32_t slot = hash & kCharMask;
  while (s.CharIndex[slot] != 0) slot = (slot + 1) & kCharMask;
  s.CharIndex[slot] = static_cast<uint8_t>(ch + 1);
  s.CharHashes[ch] = hash;
}

void LeaveFillingFont(Workspace& ws) {
  ReconstructScratch& s = ws.Reconstruct;
  int font = s.FillingFont;
  int fill = s.FontFill;
  s.FontIndex[font] = s.CharIndex;
  s.FontFillOf[font] = static_cast<uint8_t>(fill);
  // Slots past the fill were cleared and are never written again, so a
  // font with room left holds the blank pattern too.
  if (fill < kCharsPerFont) SetBit(s.BlankFonts, font);
  for (int ch = 0; ch < fill; ++ch) {
    uint64_t pattern = CharPattern(ws, font, ch);
    if (pattern == 0) {
      SetBit(s.BlankFonts, font);
      continue;
    }
    uint32_t slot = s.CharHashes[ch] & kPatternMask;
    while (s.PatternKeys[slot] != 0 && s.PatternKeys[slot] != pattern)
      slot = (slot + 1) & kPatternMask;
    if (s.PatternKeys[slot] == 0) {
      s.PatternKeys[slot] = pattern;
      s.PatternFonts[slot] = FontMask{};
    }
    SetBit(s.PatternFonts[slot], font);
  }
  s.CharIndex.fill(0);
}

FontMask FontsHolding(const Workspace& ws, uint64_t pattern, uint32_t hash) {
  const ReconstructScratch& s = ws.Reconstruct;
  if (pattern == 0) return s.BlankFonts;
  for (uint32_t slot = hash & kPatternMask;; slot = (slot + 1) & kPatternMask) {
    if (s.PatternKeys[slot] == 0) return FontMask{};
    if (s.PatternKeys[slot] == pattern) return s.PatternFonts[slot];
  }
}

int SlotInLeftFont(const Workspace& ws, int font, uint64_t pattern, uint32_t hash) {
  int ch = Probe(ws, ws.Reconstruct.FontIndex[font], font, pattern, hash);
  // Only a blank pattern can be missing from the filled characters: it
  // then sits in the first slot past them.
  return ch >= 0 ? ch : ws.Reconstruct.FontFillOf[font];
}

}  // namespace qdp
