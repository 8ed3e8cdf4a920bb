#include "import/exact_line.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace qdp::import {
namespace {

// The search for inverse bits gives up after this many steps; a line
// drawn by the machine needs only a handful.
constexpr int kSearchSteps = 20000;

// A scanline's pixels in the mode's own pixel width: the colour byte of
// each, or false when a pixel's hi-res pixels differ or are no palette
// colour.
bool NativeRow(const SourceLab& source, int y, int width, std::array<int16_t, 384>& out) {
  const int16_t* row = source.IndexRow(y);
  const int n = source.Width / width;
  for (int x = 0; x < n; ++x) {
    const int16_t c = row[x * width];
    if (c < 0) return false;
    for (int k = 1; k < width; ++k) {
      if (row[x * width + k] != c) return false;
    }
    out[x] = c;
  }
  return true;
}

bool WithinChanges(const LinePlan& plan, const Registers& previous, int first_changes,
                   int max_changes) {
  Registers before = previous;
  for (int k = 0; k < kCharBytes; ++k) {
    if (ChangesBetween(before, plan.Regs[k]) > (k == 0 ? first_changes : max_changes)) return false;
    before = plan.Regs[k];
  }
  return true;
}

// Sets each cell's glyph from the colours of its pixels, and checks that
// the registers show every pixel as it is.
bool SetGlyphs(const SourceLab& source, int line, LinePlan& plan) {
  const ModeGeometry& g = GeometryOf(plan.Mode);
  std::array<int16_t, 384> row{};
  plan.Glyphs.fill(0);
  for (int k = 0; k < kCharBytes; ++k) {
    const int y = line * kCharBytes + k;
    if (!NativeRow(source, y, g.PixelWidth, row)) return false;
    const Registers& regs = plan.Regs[k];
    for (int x = 0; x < source.Width / g.PixelWidth; ++x) {
      const int cell = x / g.PixelsPerCell;
      int value = 0;
      while (value < g.Colours &&
             ShownColour(plan.Mode, regs, plan.Inverse[cell], value) != row[x]) {
        ++value;
      }
      if (value == g.Colours) return false;
      const int shift = 8 - g.BitsPerPixel * (x % g.PixelsPerCell + 1);
      plan.Glyphs[cell] |= static_cast<Glyph>(value << shift) << (8 * k);
    }
  }
  return true;
}

bool FitBlank(const SourceLab& source, int line, Registers regs, LinePlan& plan) {
  for (int k = 0; k < kCharBytes; ++k) {
    const int16_t* row = source.IndexRow(line * kCharBytes + k);
    if (row[0] < 0 || (row[0] & ~kShownBits)) return false;
    for (int x = 1; x < source.Width; ++x) {
      if (row[x] != row[0]) return false;
    }
    regs[kBak] = static_cast<uint8_t>(row[0]);
    plan.Regs[k] = regs;
  }
  return true;
}

bool FitGtia(const SourceLab& source, int line, Registers regs, LinePlan& plan) {
  std::array<int16_t, 384> row{};
  for (int k = 0; k < kCharBytes; ++k) {
    if (!NativeRow(source, line * kCharBytes + k, 4, row)) return false;
    const int n = source.Width / 4;
    const int hue = row[0] & kHueBits;
    for (int x = 0; x < n; ++x) {
      if ((row[x] & kHueBits) != hue) return false;
    }
    if ((regs[kBak] & kHueBits) != hue || (regs[kBak] & kLuminanceBits) != 0) {
      regs[kBak] = static_cast<uint8_t>(hue);
    }
    plan.Regs[k] = regs;
  }
  return SetGlyphs(source, line, plan);
}

bool FitHiRes(const SourceLab& source, int line, Registers regs, LinePlan& plan) {
  std::array<int16_t, 384> row{};
  for (int k = 0; k < kCharBytes; ++k) {
    if (!NativeRow(source, line * kCharBytes + k, 1, row)) return false;
    std::array<int, 2> colours{row[0], row[0]};
    int count = 1;
    for (int x = 0; x < source.Width; ++x) {
      if (row[x] & ~kShownBits) return false;
      if (row[x] == colours[0] || (count == 2 && row[x] == colours[1])) continue;
      if (count == 2 || (row[x] & kHueBits) != (colours[0] & kHueBits)) return false;
      colours[1] = row[x];
      count = 2;
    }
    // Either colour may be the clear one; the choice that changes fewer
    // registers wins, and keeping everything as it is when it already fits.
    Registers best = regs;
    int best_changes = kColourRegisters + 1;
    auto consider = [&](Registers r) {
      for (int c = 0; c < count; ++c) {
        if (ShownColour(LineMode::kHiRes, r, false, 0) != colours[c] &&
            ShownColour(LineMode::kHiRes, r, false, 1) != colours[c]) {
          return;
        }
      }
      const int changes = ChangesBetween(regs, r);
      if (changes < best_changes) {
        best_changes = changes;
        best = r;
      }
    };
    consider(regs);
    for (int order = 0; order < 2; ++order) {
      Registers r = regs;
      r[kPf2] = static_cast<uint8_t>(colours[order]);
      if (count == 2) {
        r[kPf1] =
            static_cast<uint8_t>((r[kPf1] & kHueBits) | (colours[1 - order] & kLuminanceBits));
      }
      consider(r);
    }
    regs = best;
    plan.Regs[k] = regs;
  }
  return SetGlyphs(source, line, plan);
}

// Parity union-find over the cells' inverse bits and each five-colour
// scanline's orientation (whether its first alternate colour is PF3).
struct Parity {
  std::array<uint8_t, kRowStride + kCharBytes> Parent;
  std::array<uint8_t, kRowStride + kCharBytes> Flip;  // relative to the parent
  void Reset() {
    std::iota(Parent.begin(), Parent.end(), 0);
    Flip.fill(0);
  }
  std::pair<int, int> Find(int v) const {
    int flip = 0;
    while (Parent[v] != v) {
      flip ^= Flip[v];
      v = Parent[v];
    }
    return {v, flip};
  }
  // Asks for bit(a) XOR bit(b) == want; false on a contradiction.
  bool Join(int a, int b, int want) {
    auto [ra, fa] = Find(a);
    auto [rb, fb] = Find(b);
    if (ra == rb) return (fa ^ fb) == want;
    Parent[ra] = static_cast<uint8_t>(rb);
    Flip[ra] = static_cast<uint8_t>(fa ^ fb ^ want);
    return true;
  }
  int Bit(int v) const { return Find(v).second; }  // roots count as 0
};

struct FourColourSearch {
  int Cells = 0;
  std::array<std::array<int16_t, 5>, kCharBytes> Colours{};  // distinct, per scanline
  std::array<int, kCharBytes> Count{};
  // Which of the scanline's colours each cell uses, one bit each.
  std::array<std::array<uint8_t, kRowStride>, kCharBytes> Uses{};
  std::array<std::pair<int, int>, kCharBytes> Alternates{};  // chosen pair per scanline
  int Steps = 0;

  bool Search(int k, const Parity& parity, Parity& solution) {
    if (++Steps > kSearchSteps) return false;
    while (k < kCharBytes && Count[k] < 5) ++k;
    if (k == kCharBytes) {
      solution = parity;
      return true;
    }
    for (int a = 0; a < 5; ++a) {
      for (int b = a + 1; b < 5; ++b) {
        Parity next = parity;
        bool ok = true;
        for (int c = 0; c < Cells && ok; ++c) {
          const bool ua = Uses[k][c] >> a & 1, ub = Uses[k][c] >> b & 1;
          if (ua && ub)
            ok = false;
          else if (ua)
            ok = next.Join(c, Cells + k, 0);
          else if (ub)
            ok = next.Join(c, Cells + k, 1);
        }
        if (!ok) continue;
        Alternates[k] = {a, b};
        if (Search(k + 1, next, solution)) return true;
      }
    }
    return false;
  }
};

// The registers that show `colours` with the fewest changes from `regs`:
// each colour in a slot of its own among the first `slots` of BAK, PF0,
// PF1 and PF2 (PF3 then equal to PF2, so that inverse cells show it too);
// slots no colour takes keep their value.
Registers PlaceColours(const Registers& regs, const int16_t* colours, int count, int slots) {
  static constexpr Register kSlots[4] = {kBak, kPf0, kPf1, kPf2};
  std::array<int, 4> order{0, 1, 2, 3};
  Registers best = regs;
  int best_changes = kColourRegisters + 1;
  do {
    if (std::any_of(order.begin(), order.begin() + count, [slots](int s) { return s >= slots; })) {
      continue;
    }
    Registers r = regs;
    for (int i = 0; i < count; ++i) r[kSlots[order[i]]] = static_cast<uint8_t>(colours[i]);
    if (std::find(order.begin(), order.begin() + count, 3) != order.begin() + count) {
      r[kPf3] = r[kPf2];
    }
    const int changes = ChangesBetween(regs, r);
    if (changes < best_changes) {
      best_changes = changes;
      best = r;
    }
  } while (std::next_permutation(order.begin(), order.end()));
  return best;
}

bool FitFourColour(const SourceLab& source, int line, Registers regs, LinePlan& plan) {
  FourColourSearch search;
  search.Cells = source.Cells;
  std::array<int16_t, 384> row{};
  for (int k = 0; k < kCharBytes; ++k) {
    if (!NativeRow(source, line * kCharBytes + k, 2, row)) return false;
    int& count = search.Count[k];
    for (int x = 0; x < source.Width / 2; ++x) {
      if (row[x] & ~kShownBits) return false;
      int i = 0;
      while (i < count && search.Colours[k][i] != row[x]) ++i;
      if (i == count) {
        if (count == 5) return false;
        search.Colours[k][count++] = row[x];
      }
      search.Uses[k][x / 4] = static_cast<uint8_t>(search.Uses[k][x / 4] | 1 << i);
    }
  }
  Parity start, solution;
  start.Reset();
  if (!search.Search(0, start, solution)) return false;
  for (int c = 0; c < source.Cells; ++c) plan.Inverse[c] = solution.Bit(c);
  for (int k = 0; k < kCharBytes; ++k) {
    const auto& colours = search.Colours[k];
    if (search.Count[k] < 5) {
      regs = PlaceColours(regs, colours.data(), search.Count[k], 4);
    } else {
      const auto [a, b] = search.Alternates[k];
      const bool a_is_pf3 = solution.Bit(source.Cells + k);
      std::array<int16_t, 3> shared{};
      int n = 0;
      for (int i = 0; i < 5; ++i) {
        if (i != a && i != b) shared[n++] = colours[i];
      }
      // BAK, PF0 and PF1 take the shared colours, PF2 and PF3 the others.
      Registers r = PlaceColours(regs, shared.data(), 3, 3);
      r[kPf2] = static_cast<uint8_t>(colours[a_is_pf3 ? b : a]);
      r[kPf3] = static_cast<uint8_t>(colours[a_is_pf3 ? a : b]);
      regs = r;
    }
    plan.Regs[k] = regs;
  }
  return SetGlyphs(source, line, plan);
}

}  // namespace

bool FitExactly(const SourceLab& source, int line, LineMode mode, const Registers& previous,
                int first_changes, int max_changes, LinePlan& plan) {
  plan = LinePlan{};
  plan.Mode = mode;
  bool fits = false;
  switch (mode) {
    case LineMode::kBlank:
      fits = FitBlank(source, line, previous, plan);
      break;
    case LineMode::kGtia:
      fits = FitGtia(source, line, previous, plan);
      break;
    case LineMode::kHiRes:
      fits = FitHiRes(source, line, previous, plan);
      break;
    case LineMode::kFourColour:
      fits = FitFourColour(source, line, previous, plan);
      break;
  }
  plan.Exact = fits && WithinChanges(plan, previous, first_changes, max_changes);
  return plan.Exact;
}

}  // namespace qdp::import
