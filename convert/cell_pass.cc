#include "convert/cell_pass.h"

#include <algorithm>
#include <array>
#include <bit>

#include "convert/conversion_failure.h"
#include "convert/font_index.h"
#include "convert/pattern.h"

namespace qdp {
namespace {

bool Sharing(const Workspace& ws) { return ws.Conversion.Kind == ConversionKind::kSharedChars; }

// Characters a font may take: the project's limit, and never more than a
// font holds.
int FontLimit(const Workspace& ws) { return std::min<int>(ws.CharsPerFontLimit, kCharsPerFont); }

// How many characters coding `line` into an empty font appends: every
// cell when nothing is shared, else each pattern once, and in a mode that
// shows inverse cells not a pattern whose complement is already there.
int NewCharactersInFreshFont(const Workspace& ws, int line) {
  const int width = LineCells(ws);
  if (!Sharing(ws)) return width;
  std::array<uint64_t, kRowStride> font;
  int fill = 0;
  for (int x = 0; x < width; ++x) {
    uint64_t pattern = CellPattern(ws, line, x);
    auto held = [&](uint64_t p) {
      return std::find(font.begin(), font.begin() + fill, p) != font.begin() + fill;
    };
    if (held(pattern) || (ws.CharacterMode != 2 && held(~pattern))) continue;
    font[fill++] = pattern;
  }
  return fill;
}

// The failure for `line` once no font number is left: a line that needs
// more new characters than a font may take can never be coded, and that
// is the useful thing to tell; otherwise the fonts simply ran out.
[[noreturn]] void ThrowFontsExhausted(const Workspace& ws, int line) {
  ConversionFailureDetail detail;
  detail.Line = line;
  detail.Limit = FontLimit(ws);
  detail.Needed = NewCharactersInFreshFont(ws, line);
  detail.Why = detail.Needed > detail.Limit
                   ? ConversionFailureDetail::Cause::kLineNeedsTooManyCharacters
                   : ConversionFailureDetail::Cause::kFontsExhausted;
  throw ConversionFailed(detail);
}

// Moves on to a fresh font. A line that no number of fonts can hold would
// otherwise go on taking font numbers forever, past the end of the bank.
void BeginNewFont(Workspace& ws, int line) {
  ReconstructScratch& s = ws.Reconstruct;
  if (s.FillingFont >= kFontCount - 1) ThrowFontsExhausted(ws, line);
  if (Sharing(ws)) LeaveFillingFont(ws);
  ++s.FillingFont;
  s.FontFill = 0;
}

void GatherLine(Workspace& ws, int line) {
  ReconstructScratch& s = ws.Reconstruct;
  if (s.CachedLine == line) return;
  bool sharing = Sharing(ws);
  for (int x = 0; x < LineCells(ws); ++x) {
    s.LinePatterns[x] = CellPattern(ws, line, x);
    if (sharing) s.LineHashes[x] = PatternHash(s.LinePatterns[x]);
  }
  s.CachedLine = line;
}

// Codes `line` with the lowest earlier font that holds every cell of it in
// any of its 128 slots, if there is one. Only plain matches count here, the
// line's new-font flag is not looked at, and the font being filled is no
// candidate: a reused line leaves that font as it was.
bool ReuseEarlierFont(Workspace& ws, int line) {
  GatherLine(ws, line);
  ReconstructScratch& s = ws.Reconstruct;
  FontMask candidates{};
  for (int f = 0; f < s.FillingFont; ++f) candidates[f >> 6] |= uint64_t{1} << (f & 63);
  for (int x = 0; x < LineCells(ws); ++x) {
    FontMask holding = FontsHolding(ws, s.LinePatterns[x], s.LineHashes[x]);
    candidates[0] &= holding[0];
    candidates[1] &= holding[1];
    if ((candidates[0] | candidates[1]) == 0) return false;
  }
  int font =
      candidates[0] != 0 ? std::countr_zero(candidates[0]) : 64 + std::countr_zero(candidates[1]);
  int row = RowOffset(line);
  for (int x = 0; x < LineCells(ws); ++x) {
    int ch = SlotInLeftFont(ws, font, s.LinePatterns[x], s.LineHashes[x]);
    ws.Screen[row + x] = static_cast<uint8_t>(ch | (ws.InverseMarks[row + x] ? kInverseBit : 0));
  }
  ws.LineFontTable[line] = static_cast<uint8_t>(font);
  return true;
}

struct FoundChar {
  uint8_t Number;      // the character in the font being filled
  uint8_t InverseBit;  // kInverseBit when the cell shows it inverse, else 0
};

// The character of the font being filled for cell (line, column), which
// must be the line last gathered: found in the font or appended to it.
FoundChar FindOrAppendChar(Workspace& ws, int line, int column) {
  ReconstructScratch& s = ws.Reconstruct;
  uint64_t pattern = s.LinePatterns[column];
  uint32_t hash = s.LineHashes[column];
  int ch = -1;
  bool inverse = false;
  if (Sharing(ws) && s.FontFill > 0) {
    ch = FindInFillingFont(ws, pattern, hash);
    if (ch < 0 && ws.CharacterMode != 2) {
      ch = FindInFillingFont(ws, ~pattern, PatternHash(~pattern));
      inverse = ch >= 0;
    }
  }
  if (ch < 0) {
    ch = s.FontFill;
    StoreChar(ws, s.FillingFont, ch, pattern);
    if (Sharing(ws)) AddToFillingFont(ws, ch, hash);
    ++s.FontFill;
  }
  uint8_t inverse_bit = inverse || ws.InverseMarks[RowOffset(line) + column] ? kInverseBit : 0;
  return {static_cast<uint8_t>(ch), inverse_bit};
}

}  // namespace

void RunCellPass(Workspace& ws) {
  ReconstructScratch& s = ws.Reconstruct;
  const int width = LineCells(ws);
  const int limit = FontLimit(ws);
  const uint32_t cell_count = static_cast<uint32_t>(kScreenLines * width);
  s.FillingFont = 0;
  s.FontFill = 0;
  s.CachedLine = -1;
  if (Sharing(ws)) ResetFontIndexes(ws);

  uint32_t i = 0;
  while (i < cell_count) {
    int line = static_cast<int>(i / width);
    int x = static_cast<int>(i % width);
    if (x == 0) {
      if (Sharing(ws) && s.FillingFont > 0) {
        while (i < cell_count && ReuseEarlierFont(ws, line)) {
          i += width;
          ++line;
        }
        if (i >= cell_count) break;
      }
      GatherLine(ws, line);
      if (ws.LineStartsNewFont[line]) BeginNewFont(ws, line);
    }
    // Tested before the lookup: a full font is left even for a cell it
    // already holds, and the whole line starts over in the new font.
    if (s.FontFill >= limit) {
      BeginNewFont(ws, line);
      i = static_cast<uint32_t>(line * width);
      continue;
    }
    FoundChar found = FindOrAppendChar(ws, line, x);
    ws.Screen[RowOffset(line) + x] = found.Number | found.InverseBit;
    ws.LineFontTable[line] = s.FillingFont;
    ++i;
  }
}

}  // namespace qdp
