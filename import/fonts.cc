#include "import/fonts.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

namespace qdp::import {
namespace {

using CharSet = std::vector<int>;  // sorted character numbers of the whole picture

bool HasCells(const LinePlan& plan) { return plan.Mode != LineMode::kBlank; }

// The distinct glyphs of the picture and each line's set of them.
struct Characters {
  std::vector<Glyph> Glyphs;
  std::array<CharSet, kScreenLines> Lines;
};

Characters Collect(const std::array<LinePlan, kScreenLines>& plans, int cells) {
  Characters chars;
  std::unordered_map<Glyph, int> number;
  for (int line = 0; line < kScreenLines; ++line) {
    if (!HasCells(plans[line])) continue;
    CharSet& set = chars.Lines[line];
    for (int c = 0; c < cells; ++c) {
      const Glyph g = plans[line].Glyphs[c];
      auto [it, added] = number.emplace(g, static_cast<int>(chars.Glyphs.size()));
      if (added) chars.Glyphs.push_back(g);
      set.push_back(it->second);
    }
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
  }
  return chars;
}

int UnionSize(const CharSet& a, const CharSet& b) {
  int n = 0;
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i] < b[j]))
      ++i;
    else if (i == a.size() || b[j] < a[i])
      ++j;
    else
      ++i, ++j;
    ++n;
  }
  return n;
}

CharSet Union(const CharSet& a, const CharSet& b) {
  CharSet u;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(u));
  return u;
}

// Lines into fonts, fullest lines first, each into the font it adds the
// fewest characters to, or a new font when none has room.
std::vector<CharSet> Pack(const std::array<CharSet, kScreenLines>& lines,
                          std::array<int, kScreenLines>& font_of) {
  std::array<int, kScreenLines> order;
  for (int i = 0; i < kScreenLines; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&lines](int a, int b) { return lines[a].size() > lines[b].size(); });
  std::vector<CharSet> fonts;
  font_of.fill(0);
  for (int line : order) {
    if (lines[line].empty()) continue;
    int best = -1, best_added = kCharsPerFont + 1;
    for (size_t f = 0; f < fonts.size(); ++f) {
      const int size = UnionSize(fonts[f], lines[line]);
      const int added = size - static_cast<int>(fonts[f].size());
      if (size <= kCharsPerFont && added < best_added) {
        best_added = added;
        best = static_cast<int>(f);
      }
    }
    if (best < 0) {
      best = static_cast<int>(fonts.size());
      fonts.emplace_back();
    }
    fonts[best] = Union(fonts[best], lines[line]);
    font_of[line] = best;
  }
  if (fonts.empty()) fonts.emplace_back();  // every line blank: one empty font
  return fonts;
}

// A cell of the picture, with what drawing a glyph in it looks like.
struct CellRef {
  int Line;
  int Cell;
};

// The colours each value of a glyph shows in a cell, scanline by scanline.
struct CellColours {
  LineMode Mode;
  std::array<std::array<Lab, kMostColours>, kCharBytes> Colour;
};

CellColours ColoursOf(const PaletteLab& palette, const LinePlan& plan, int cell) {
  CellColours colours{plan.Mode, {}};
  const int count = GeometryOf(plan.Mode).Colours;
  for (int k = 0; k < kCharBytes; ++k) {
    for (int v = 0; v < count; ++v) {
      colours.Colour[k][v] =
          palette.Colour[ShownColour(plan.Mode, plan.Regs[k], plan.Inverse[cell], v)];
    }
  }
  return colours;
}

// What glyph `g` looks like in a cell: the mean colour of each 2 x 2
// block of its pixels, so that glyphs that dither to the same look are
// close.
using Look = std::array<Lab, 16>;
Look LookOf(const CellColours& colours, Glyph g) {
  const ModeGeometry& geometry = GeometryOf(colours.Mode);
  const int mask = (1 << geometry.BitsPerPixel) - 1;
  Look look{};
  for (int k = 0; k < kCharBytes; ++k) {
    const uint8_t row = GlyphRow(g, k);
    for (int x = 0; x < 8; ++x) {
      const int p = x / geometry.PixelWidth;
      const int value = row >> (8 - geometry.BitsPerPixel * (p + 1)) & mask;
      const Lab& c = colours.Colour[k][value];
      Lab& block = look[(k / 2) * 4 + x / 2];
      block.L += c.L;
      block.A += c.A;
      block.B += c.B;
    }
  }
  return look;
}

// Keeps at most kCharsPerFont of a group of lines' glyphs: the glyph whose
// loss costs least goes first, its cells taking the kept glyph that looks
// most like theirs. Returns the glyphs merged away.
int ReduceGroup(const SourceLab& source, const PaletteLab& palette,
                std::array<LinePlan, kScreenLines>& plans, const std::vector<int>& lines) {
  std::vector<CellRef> cells;
  std::vector<Glyph> glyphs;
  std::unordered_map<Glyph, int> number;
  std::vector<int> own;
  for (int line : lines) {
    for (int c = 0; c < source.Cells; ++c) {
      cells.push_back({line, c});
      auto [it, added] = number.emplace(plans[line].Glyphs[c], static_cast<int>(glyphs.size()));
      if (added) glyphs.push_back(plans[line].Glyphs[c]);
      own.push_back(it->second);
    }
  }
  const int m = static_cast<int>(glyphs.size());
  if (m <= kCharsPerFont) return 0;
  const int n = static_cast<int>(cells.size());
  // cost[c * m + g]: how far glyph g drawn in cell c looks from its own.
  std::vector<float> cost(static_cast<size_t>(n) * m);
  for (int c = 0; c < n; ++c) {
    const CellColours colours = ColoursOf(palette, plans[cells[c].Line], cells[c].Cell);
    const Look mine = LookOf(colours, glyphs[own[c]]);
    for (int g = 0; g < m; ++g) {
      const Look other = LookOf(colours, glyphs[g]);
      float d = 0;
      for (int p = 0; p < 16; ++p) d += Distance2(mine[p], other[p]);
      cost[static_cast<size_t>(c) * m + g] = d;
    }
  }
  // Each cell's nearest and second nearest kept glyph, and what each kept
  // glyph's loss would cost its cells: kept up to date as glyphs go.
  std::vector<bool> kept(m, true);
  std::vector<int> best(n), second(n);
  std::vector<double> loss(m, 0.0);
  auto row_of = [&](int c) { return cost.data() + static_cast<size_t>(c) * m; };
  auto rank = [&](int c) {
    const float* row = row_of(c);
    int b = -1, s = -1;
    for (int g = 0; g < m; ++g) {
      if (!kept[g]) continue;
      if (b < 0 || row[g] < row[b]) {
        s = b;
        b = g;
      } else if (s < 0 || row[g] < row[s]) {
        s = g;
      }
    }
    best[c] = b;
    second[c] = s;
    loss[b] += row[s] - row[b];
  };
  for (int c = 0; c < n; ++c) rank(c);
  for (int left = m; left > kCharsPerFont; --left) {
    int drop = -1;
    for (int g = 0; g < m; ++g) {
      if (kept[g] && (drop < 0 || loss[g] < loss[drop])) drop = g;
    }
    kept[drop] = false;
    for (int c = 0; c < n; ++c) {
      if (best[c] != drop && second[c] != drop) continue;
      const float* row = row_of(c);
      loss[best[c]] -= row[second[c]] - row[best[c]];
      rank(c);
    }
  }
  for (int c = 0; c < n; ++c) plans[cells[c].Line].Glyphs[cells[c].Cell] = glyphs[best[c]];
  return m - kCharsPerFont;
}

}  // namespace

FontPacking PackFonts(const SourceLab& source, const PaletteLab& palette,
                      std::array<LinePlan, kScreenLines>& plans, int budget, Workspace& ws) {
  const int cells = source.Cells;
  FontPacking result;
  Characters chars = Collect(plans, cells);
  std::array<int, kScreenLines> font_of{};
  std::vector<CharSet> fonts = Pack(chars.Lines, font_of);
  result.FontsNeeded = static_cast<int>(fonts.size());
  if (budget > 0 && result.FontsNeeded > budget) {
    // Consecutive lines in `budget` groups of about equal numbers of
    // characters, each group brought down to one font.
    int total = 0;
    for (const CharSet& set : chars.Lines) total += static_cast<int>(set.size());
    std::vector<std::vector<int>> groups(1);
    int in_group = 0, done = 0;
    for (int line = 0; line < kScreenLines; ++line) {
      if (!HasCells(plans[line])) continue;
      const int size = static_cast<int>(chars.Lines[line].size());
      const int groups_left = budget - static_cast<int>(groups.size()) + 1;
      const int share = (total - done) / groups_left;
      if (!groups.back().empty() && in_group + size / 2 > share &&
          static_cast<int>(groups.size()) < budget) {
        groups.emplace_back();
        done += in_group;
        in_group = 0;
      }
      groups.back().push_back(line);
      in_group += size;
    }
    const int before = static_cast<int>(chars.Glyphs.size());
    for (const std::vector<int>& group : groups) ReduceGroup(source, palette, plans, group);
    chars = Collect(plans, cells);
    fonts = Pack(chars.Lines, font_of);
    if (static_cast<int>(fonts.size()) > budget) {
      // The greedy packing did worse than the groups themselves.
      fonts.clear();
      for (size_t g = 0; g < groups.size(); ++g) {
        CharSet set;
        for (int line : groups[g]) {
          set = Union(set, chars.Lines[line]);
          font_of[line] = static_cast<int>(g);
        }
        fonts.push_back(set);
      }
    }
    result.MergedCharacters = before - static_cast<int>(chars.Glyphs.size());
  }
  result.FontsUsed = static_cast<int>(fonts.size());

  // Only the declared fonts are cleared: the bank is 128 KiB, and a fresh
  // workspace's untouched pages are zero already.
  std::fill_n(ws.FontBank.begin(), fonts.size() * kFontBytes, uint8_t{0});
  ws.Screen.fill(0);
  for (size_t f = 0; f < fonts.size(); ++f) {
    for (size_t i = 0; i < fonts[f].size(); ++i) {
      const Glyph g = chars.Glyphs[fonts[f][i]];
      for (int k = 0; k < kCharBytes; ++k) {
        ws.FontBank[f * kFontBytes + i * kCharBytes + k] = GlyphRow(g, k);
      }
    }
  }
  std::unordered_map<Glyph, int> number;
  for (size_t i = 0; i < chars.Glyphs.size(); ++i) number[chars.Glyphs[i]] = static_cast<int>(i);
  for (int line = 0; line < kScreenLines; ++line) {
    ws.LineFontTable[line] = static_cast<uint8_t>(font_of[line]);
    if (!HasCells(plans[line])) continue;
    const CharSet& font = fonts[font_of[line]];
    for (int c = 0; c < cells; ++c) {
      const int id = number[plans[line].Glyphs[c]];
      const int code =
          static_cast<int>(std::lower_bound(font.begin(), font.end(), id) - font.begin());
      ws.Screen[RowOffset(line) + c] =
          static_cast<uint8_t>(code | (plans[line].Inverse[c] ? kInverseBit : 0));
    }
  }
  ws.LastDeclaredFont = static_cast<uint8_t>(fonts.size() - 1);
  return result;
}

}  // namespace qdp::import
