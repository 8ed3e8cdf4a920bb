#include "import/line_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace qdp::import {
namespace {

// The widest scanline in hi-res pixels.
constexpr int kMaxPixels = kRowStride * 8;
// Four-colour scanlines: k-means finds this many colours (BAK, PF0 to PF3),
// in this many rounds in OKLab and then this many among palette colours.
constexpr int kScanlineColours = kColourRegisters;
constexpr int kFreeRounds = 8;
constexpr int kSnappedRounds = 3;
constexpr bool kSwapForMixing = true;
constexpr float kMixingWeight = 1.0f;
// Rounds of choosing PF2 and PF3 for the cells' inverse bits and the bits
// for PF2 and PF3, and of moving the registers to the pixels they draw.
constexpr int kRoleRounds = 3;
constexpr int kRefineRounds = 2;
// Even luminances: the ones every mode but GTIA shows.
constexpr int kShownLuminances = kLuminances / 2;
constexpr float kInfinity = std::numeric_limits<float>::max();
constexpr int kFourPerCell = GeometryOf(LineMode::kFourColour).PixelsPerCell;
// Hi-res scanlines: every hue is judged on every this many pixels, and the
// best few of them on every pixel.
constexpr int kRoughStep = 4;
constexpr int kHuesTriedInFull = 3;

using Targets = std::array<Lab, kMaxPixels>;

Lab operator+(Lab a, const Lab& b) { return Lab{a.L + b.L, a.A + b.A, a.B + b.B}; }
Lab operator-(Lab a, const Lab& b) { return Lab{a.L - b.L, a.A - b.A, a.B - b.B}; }
Lab operator*(Lab a, float k) { return Lab{a.L * k, a.A * k, a.B * k}; }

// The source's scanline `y` in pixels `width` hi-res pixels wide: each the
// mean of the hi-res pixels it covers.
int NativeTargets(const SourceLab& source, int y, int width, Lab* out) {
  const Lab* row = source.Row(y);
  const int n = source.Width / width;
  const float share = 1.0f / static_cast<float>(width);
  for (int x = 0; x < n; ++x) {
    Lab sum = row[x * width];
    for (int k = 1; k < width; ++k) sum = sum + row[x * width + k];
    out[x] = sum * share;
  }
  return n;
}

// A small deterministic generator for k-means++'s seeding: the same
// picture always gives the same project.
struct Random {
  uint64_t State;
  explicit Random(uint64_t seed) : State(seed * 0x9E3779B97F4A7C15ull + 1) {}
  float Unit() {
    State ^= State >> 12;
    State ^= State << 25;
    State ^= State >> 27;
    return static_cast<float>((State * 0x2545F4914F6CDD1Dull) >> 40) / static_cast<float>(1 << 24);
  }
};

int Nearest(const Lab& p, const Lab* colours, int count) {
  int best = 0;
  float best_d = Distance2(p, colours[0]);
  for (int i = 1; i < count; ++i) {
    const float d = Distance2(p, colours[i]);
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return best;
}

// Each centre's cluster: the sum of the pixels nearest to it, and how many.
template <size_t K>
struct Clusters {
  std::array<Lab, K> Sum{};
  std::array<int, K> Members{};
};
template <size_t K>
Clusters<K> ClustersOf(const Lab* pixels, int n, const std::array<Lab, K>& centre) {
  Clusters<K> clusters;
  for (int x = 0; x < n; ++x) {
    const int c = Nearest(pixels[x], centre.data(), static_cast<int>(K));
    clusters.Sum[c] = clusters.Sum[c] + pixels[x];
    ++clusters.Members[c];
  }
  return clusters;
}

// k-means++ over the pixels in OKLab, then rounds among palette colours:
// `count` distinct colour bytes with bit 0 clear.
std::array<uint8_t, kScanlineColours> ScanlineColours(const Lab* pixels, int n,
                                                      const PaletteLab& palette, uint64_t seed) {
  constexpr int k = kScanlineColours;
  Random random(seed);
  std::array<Lab, k> centre{};
  std::array<float, kMaxPixels> nearest{};
  centre[0] = pixels[static_cast<int>(random.Unit() * n) % n];
  for (int x = 0; x < n; ++x) nearest[x] = Distance2(pixels[x], centre[0]);
  for (int c = 1; c < k; ++c) {
    double total = 0;
    for (int x = 0; x < n; ++x) total += nearest[x];
    int pick = 0;
    if (total > 0) {
      double target = random.Unit() * total;
      while (pick < n - 1 && (target -= nearest[pick]) > 0) ++pick;
    }
    centre[c] = pixels[pick];
    for (int x = 0; x < n; ++x) nearest[x] = std::min(nearest[x], Distance2(pixels[x], centre[c]));
  }
  auto lloyd = [&](auto&& finish) {
    const auto [sum, members] = ClustersOf(pixels, n, centre);
    for (int c = 0; c < k; ++c) {
      if (members[c] > 0) centre[c] = finish(sum[c] * (1.0f / static_cast<float>(members[c])));
    }
  };
  for (int round = 0; round < kFreeRounds; ++round) lloyd([](const Lab& m) { return m; });
  std::array<uint8_t, k> bytes{};
  auto snap = [&] {
    for (int c = 0; c < k; ++c) {
      bytes[c] = palette.NearestShown(centre[c]);
      centre[c] = palette.Colour[bytes[c]];
    }
  };
  snap();
  for (int round = 0; round < kSnappedRounds; ++round) {
    // A colour two centres share is wasted: the worst drawn pixel gets it.
    for (int c = 1; c < k; ++c) {
      if (std::find(bytes.begin(), bytes.begin() + c, bytes[c]) == bytes.begin() + c) continue;
      int worst = 0;
      float worst_d = -1;
      for (int x = 0; x < n; ++x) {
        const float d = Distance2(pixels[x], centre[Nearest(pixels[x], centre.data(), k)]);
        if (d > worst_d) {
          worst_d = d;
          worst = x;
        }
      }
      centre[c] = pixels[worst];
      bytes[c] = palette.NearestShown(centre[c]);
      centre[c] = palette.Colour[bytes[c]];
    }
    lloyd([&palette](const Lab& m) { return palette.Colour[palette.NearestShown(m)]; });
    snap();
  }
  // The least useful colour gives way to the far side of the cluster that
  // misses its mean the most, where that mean is missed by more than the
  // colour is worth.
  if (kSwapForMixing) {
    std::array<Lab, k> sum{};
    std::array<int, k> members{};
    std::array<float, k> worth{};
    for (int x = 0; x < n; ++x) {
      float d1 = kInfinity, d2 = kInfinity;
      int i1 = 0;
      for (int i = 0; i < k; ++i) {
        const float d = Distance2(pixels[x], centre[i]);
        if (d < d1) {
          d2 = d1;
          d1 = d;
          i1 = i;
        } else if (d < d2) {
          d2 = d;
        }
      }
      sum[i1] = sum[i1] + pixels[x];
      ++members[i1];
      worth[i1] += d2 - d1;
    }
    int worst = -1, least = 0;
    float worst_miss = 0;
    for (int i = 0; i < k; ++i) {
      if (worth[i] < worth[least]) least = i;
      if (members[i] == 0) continue;
      const float miss = static_cast<float>(members[i]) *
                         Distance2(sum[i] * (1.0f / static_cast<float>(members[i])), centre[i]);
      if (miss > worst_miss) {
        worst_miss = miss;
        worst = i;
      }
    }
    if (worst >= 0 && worst != least && worst_miss > kMixingWeight * worth[least]) {
      bytes[least] =
          palette.Across(centre[worst], sum[worst] * (1.0f / static_cast<float>(members[worst])));
      centre[least] = palette.Colour[bytes[least]];
    }
  }
  // A colour still taken twice (a scanline of fewer colours than k, or of
  // colours between the palette's) is better spent on the far side of the
  // cluster that misses its mean the most, so that dithering can mix the
  // two to that mean.
  for (int c = 1; c < k; ++c) {
    if (std::find(bytes.begin(), bytes.begin() + c, bytes[c]) == bytes.begin() + c) continue;
    const auto [sum, members] = ClustersOf(pixels, n, centre);
    int worst = -1;
    float worst_miss = 0;
    for (int i = 0; i < k; ++i) {
      if (members[i] == 0) continue;
      const Lab mean = sum[i] * (1.0f / static_cast<float>(members[i]));
      const float miss = static_cast<float>(members[i]) * Distance2(mean, centre[i]);
      if (miss > worst_miss) {
        worst_miss = miss;
        worst = i;
      }
    }
    if (worst < 0) break;
    const Lab mean = sum[worst] * (1.0f / static_cast<float>(members[worst]));
    bytes[c] = palette.Across(centre[worst], mean);
    centre[c] = palette.Colour[bytes[c]];
  }
  return bytes;
}

// The colours a cell's pixels may take on a scanline, in OKLab.
struct ColourSet {
  int Count = 0;
  std::array<Lab, kMostColours> Colour;
};

ColourSet SetOf(const PaletteLab& palette, LineMode mode, const Registers& regs, bool inverse) {
  ColourSet set;
  set.Count = mode == LineMode::kBlank ? 1 : GeometryOf(mode).Colours;
  for (int v = 0; v < set.Count; ++v) {
    set.Colour[v] = palette.Colour[ShownColour(mode, regs, inverse, v)];
  }
  return set;
}

float NearestDistance(const Lab& p, const ColourSet& set) {
  float best = kInfinity;
  for (int v = 0; v < set.Count; ++v) best = std::min(best, Distance2(p, set.Colour[v]));
  return best;
}

// The squared error of a scanline drawn with these registers, each pixel
// its nearest colour.
float ScanlineCost(const PaletteLab& palette, LineMode mode, const Registers& regs,
                   const LinePlan& plan, const Lab* targets, int n) {
  const ColourSet sets[2] = {SetOf(palette, mode, regs, false), SetOf(palette, mode, regs, true)};
  const int per_cell = GeometryOf(mode).PixelsPerCell;
  float cost = 0;
  for (int x = 0; x < n; ++x) {
    const bool inverse = mode == LineMode::kFourColour && plan.Inverse[x / per_cell];
    cost += NearestDistance(targets[x], sets[inverse]);
  }
  return cost;
}

// The registers of a scanline: those of `wanted` that `needed` names and
// that differ from `previous` change, but at most `max_changes` of them:
// when more differ, the ones that leave the scanline's pixels nearest.
Registers Limit(const PaletteLab& palette, LineMode mode, const LinePlan& plan,
                const Registers& previous, const Registers& wanted, RegisterMask needed,
                int max_changes, const Lab* targets, int n) {
  RegisterMask differ = 0;
  for (int r = 0; r < kColourRegisters; ++r) {
    if ((needed >> r & 1) && wanted[r] != previous[r])
      differ = static_cast<RegisterMask>(differ | 1 << r);
  }
  auto with = [&](RegisterMask mask) {
    Registers regs = previous;
    for (int r = 0; r < kColourRegisters; ++r) {
      if (mask >> r & 1) regs[r] = wanted[r];
    }
    return regs;
  };
  if (__builtin_popcount(differ) <= max_changes) return with(differ);
  Registers best = previous;
  float best_cost = kInfinity;
  for (int mask = 0; mask <= kAllRegisters; ++mask) {
    if ((mask & ~differ) || __builtin_popcount(mask) != max_changes) continue;
    const Registers regs = with(static_cast<RegisterMask>(mask));
    const float cost = ScanlineCost(palette, mode, regs, plan, targets, n);
    if (cost < best_cost) {
      best_cost = cost;
      best = regs;
    }
  }
  return best;
}

void ChooseBlank(const SourceLab& source, const PaletteLab& palette, int line, Registers previous,
                 int first_changes, int max_changes, LinePlan& plan) {
  Targets targets;
  for (int k = 0; k < kCharBytes; ++k) {
    const int n = NativeTargets(source, line * kCharBytes + k, 1, targets.data());
    Lab sum{};
    for (int x = 0; x < n; ++x) sum = sum + targets[x];
    Registers wanted = previous;
    wanted[kBak] = palette.NearestShown(sum * (1.0f / static_cast<float>(n)));
    previous = plan.Regs[k] = Limit(palette, LineMode::kBlank, plan, previous, wanted, 1 << kBak,
                                    k == 0 ? first_changes : max_changes, targets.data(), n);
  }
}

void ChooseGtia(const SourceLab& source, const PaletteLab& palette, int line, Registers previous,
                int first_changes, int max_changes, LinePlan& plan) {
  Targets targets;
  for (int k = 0; k < kCharBytes; ++k) {
    const int n = NativeTargets(source, line * kCharBytes + k,
                                GeometryOf(LineMode::kGtia).PixelWidth, targets.data());
    int best_hue = 0;
    float best_cost = kInfinity;
    for (int hue = 0; hue < kHues; ++hue) {
      float cost = 0;
      const Lab* colours = &palette.Colour[hue * kLuminances];
      for (int x = 0; x < n && cost < best_cost; ++x) {
        float d = kInfinity;
        for (int l = 0; l < kLuminances; ++l) d = std::min(d, Distance2(targets[x], colours[l]));
        cost += d;
      }
      if (cost < best_cost) {
        best_cost = cost;
        best_hue = hue;
      }
    }
    Registers wanted = previous;
    wanted[kBak] = static_cast<uint8_t>(best_hue << 4);
    previous = plan.Regs[k] = Limit(palette, LineMode::kGtia, plan, previous, wanted, 1 << kBak,
                                    k == 0 ? first_changes : max_changes, targets.data(), n);
  }
}

void ChooseHiRes(const SourceLab& source, const PaletteLab& palette, int line, Registers previous,
                 int first_changes, int max_changes, LinePlan& plan) {
  Targets targets;
  std::array<std::array<float, kMaxPixels>, kShownLuminances> d;
  for (int k = 0; k < kCharBytes; ++k) {
    const int n = NativeTargets(source, line * kCharBytes + k, 1, targets.data());
    // Every hue is tried on every fourth pixel; the few best on all.
    std::array<float, kHues> rough{};
    int best_hue = 0, best_a = 0, best_b = 0;
    float best_cost = kInfinity;
    auto try_hue = [&](int hue, int step) {
      float hue_best = kInfinity;
      for (int l = 0; l < kShownLuminances; ++l) {
        const Lab c = palette.Colour[hue * kLuminances + 2 * l];
        for (int x = 0; x < n; x += step) d[l][x / step] = Distance2(targets[x], c);
      }
      const int m = (n + step - 1) / step;
      for (int a = 0; a < kShownLuminances; ++a) {
        for (int b = a; b < kShownLuminances; ++b) {
          float cost = 0;
          const float* da = d[a].data();
          const float* db = d[b].data();
          for (int x = 0; x < m; ++x) cost += std::min(da[x], db[x]);
          hue_best = std::min(hue_best, cost);
          if (step == 1 && cost < best_cost) {
            best_cost = cost;
            best_hue = hue;
            best_a = a;
            best_b = b;
          }
        }
      }
      return hue_best;
    };
    std::array<int, kHues> hues;
    for (int hue = 0; hue < kHues; ++hue) {
      rough[hue] = try_hue(hue, kRoughStep);
      hues[hue] = hue;
    }
    // Equal rough costs go by hue, so that every build tries the same hues
    // in the same order (sorting libraries order ties as they please).
    std::partial_sort(
        hues.begin(), hues.begin() + kHuesTriedInFull, hues.end(),
        [&rough](int a, int b) { return rough[a] < rough[b] || (rough[a] == rough[b] && a < b); });
    for (int i = 0; i < kHuesTriedInFull; ++i) try_hue(hues[i], 1);
    // Either luminance may be the clear bits' (PF2); the other is PF1's.
    // The order that changes fewer registers wins.
    Registers wanted = previous;
    RegisterMask needed = 1 << kPf2;
    int fewest = kColourRegisters + 1;
    for (int order = 0; order < 2; ++order) {
      const int clear = order ? best_b : best_a, set = order ? best_a : best_b;
      Registers r = previous;
      r[kPf2] = static_cast<uint8_t>(best_hue << 4 | 2 * clear);
      if (clear != set) r[kPf1] = static_cast<uint8_t>((r[kPf1] & kHueBits) | 2 * set);
      const int changes = ChangesBetween(previous, r);
      if (changes < fewest) {
        fewest = changes;
        wanted = r;
      }
    }
    if (best_a != best_b) needed |= 1 << kPf1;
    previous = plan.Regs[k] = Limit(palette, LineMode::kHiRes, plan, previous, wanted, needed,
                                    k == 0 ? first_changes : max_changes, targets.data(), n);
  }
}

void ChooseFourColour(const SourceLab& source, const PaletteLab& palette, int line,
                      Registers previous, int first_changes, int max_changes, LinePlan& plan) {
  constexpr int k5 = kScanlineColours;
  const int cells = source.Cells;
  std::array<Targets, kCharBytes> targets;
  std::array<std::array<uint8_t, k5>, kCharBytes> colours;
  int n = 0;
  for (int k = 0; k < kCharBytes; ++k) {
    const int y = line * kCharBytes + k;
    n = NativeTargets(source, y, GeometryOf(LineMode::kFourColour).PixelWidth, targets[k].data());
    colours[k] = ScanlineColours(targets[k].data(), n, palette, static_cast<uint64_t>(y));
  }
  // Each cell's cost on each scanline without each of the five colours
  // (the last entry: with all five).
  std::array<std::array<std::array<float, k5 + 1>, kRowStride>, kCharBytes> cost;
  auto measure = [&](int k) {
    std::array<Lab, k5> lab;
    for (int i = 0; i < k5; ++i) lab[i] = palette.Colour[colours[k][i]];
    for (int c = 0; c < cells; ++c) {
      cost[k][c].fill(0);
      for (int x = c * kFourPerCell; x < (c + 1) * kFourPerCell; ++x) {
        std::array<float, k5> d;
        for (int i = 0; i < k5; ++i) d[i] = Distance2(targets[k][x], lab[i]);
        float all = kInfinity;
        for (int i = 0; i < k5; ++i) all = std::min(all, d[i]);
        for (int e = 0; e < k5; ++e) {
          float m = kInfinity;
          for (int i = 0; i < k5; ++i) {
            if (i != e) m = std::min(m, d[i]);
          }
          cost[k][c][e] += m;
        }
        cost[k][c][k5] += all;
      }
    }
  };
  for (int k = 0; k < kCharBytes; ++k) measure(k);

  // The two colours of each scanline that stand for PF2 (a) and PF3 (b):
  // first as if every cell chose freely between them, then turned so that
  // the cells agree from scanline to scanline as well as they can.
  std::array<std::pair<int, int>, kCharBytes> role{};
  std::array<float, kRowStride> vote{};
  for (int k = 0; k < kCharBytes; ++k) {
    float best = kInfinity;
    for (int a = 0; a < k5; ++a) {
      for (int b = a + 1; b < k5; ++b) {
        float sum = 0;
        for (int c = 0; c < cells; ++c) sum += std::min(cost[k][c][a], cost[k][c][b]);
        if (sum < best) {
          best = sum;
          role[k] = {a, b};
        }
      }
    }
    // A cell's leaning towards the inverse bit: what PF3 saves it.
    float agree = 0;
    for (int c = 0; c < cells; ++c)
      agree += vote[c] * (cost[k][c][role[k].second] - cost[k][c][role[k].first]);
    if (agree < 0) std::swap(role[k].first, role[k].second);
    for (int c = 0; c < cells; ++c)
      vote[c] += cost[k][c][role[k].second] - cost[k][c][role[k].first];
  }
  for (int c = 0; c < cells; ++c) plan.Inverse[c] = vote[c] > 0;
  auto choose_inverse = [&] {
    for (int c = 0; c < cells; ++c) {
      float normal = 0, inverse = 0;
      for (int k = 0; k < kCharBytes; ++k) {
        normal += cost[k][c][role[k].second];
        inverse += cost[k][c][role[k].first];
      }
      plan.Inverse[c] = inverse < normal;
    }
  };
  for (int round = 0; round < kRoleRounds; ++round) {
    for (int k = 0; k < kCharBytes; ++k) {
      float best = kInfinity;
      for (int a = 0; a < k5; ++a) {
        for (int b = 0; b < k5; ++b) {
          if (a == b) continue;
          float sum = 0;
          for (int c = 0; c < cells; ++c) sum += cost[k][c][plan.Inverse[c] ? a : b];
          if (sum < best) {
            best = sum;
            role[k] = {a, b};
          }
        }
      }
    }
    choose_inverse();
  }

  // Registers in role order: three shared colours, then PF2 and PF3.
  std::array<std::array<uint8_t, k5>, kCharBytes> ordered;
  for (int k = 0; k < kCharBytes; ++k) {
    int s = 0;
    for (int i = 0; i < k5; ++i) {
      if (i != role[k].first && i != role[k].second) ordered[k][s++] = colours[k][i];
    }
    ordered[k][3] = colours[k][role[k].first];
    ordered[k][4] = colours[k][role[k].second];
  }
  // Each register moved to the palette colour nearest the mean of the
  // pixels it draws, and then the inverse bits chosen again.
  for (int round = 0; round < kRefineRounds; ++round) {
    for (int k = 0; k < kCharBytes; ++k) {
      std::array<Lab, k5> lab, sum{};
      std::array<int, k5> members{};
      for (int i = 0; i < k5; ++i) lab[i] = palette.Colour[ordered[k][i]];
      for (int x = 0; x < n; ++x) {
        const int alternate = plan.Inverse[x / kFourPerCell] ? 4 : 3;
        int best = alternate;
        float best_d = Distance2(targets[k][x], lab[alternate]);
        for (int i = 0; i < 3; ++i) {
          const float d = Distance2(targets[k][x], lab[i]);
          if (d < best_d) {
            best_d = d;
            best = i;
          }
        }
        sum[best] = sum[best] + targets[k][x];
        ++members[best];
      }
      for (int i = 0; i < k5; ++i) {
        if (members[i] > 0)
          ordered[k][i] = palette.NearestShown(sum[i] * (1.0f / static_cast<float>(members[i])));
      }
      for (int i = 0; i < k5; ++i) colours[k][i] = ordered[k][i];
      role[k] = {3, 4};
      measure(k);
    }
    choose_inverse();
  }

  bool any_normal = false, any_inverse = false;
  for (int c = 0; c < cells; ++c) (plan.Inverse[c] ? any_inverse : any_normal) = true;
  for (int k = 0; k < kCharBytes; ++k) {
    // The shared colours go to BAK, PF0 and PF1 in the order that changes
    // the fewest registers.
    std::array<int, 3> order{0, 1, 2};
    Registers wanted = previous;
    int fewest = kColourRegisters + 1;
    do {
      Registers r = previous;
      for (int i = 0; i < 3; ++i) r[kBak + i] = ordered[k][order[i]];
      if (any_normal) r[kPf2] = ordered[k][3];
      if (any_inverse) r[kPf3] = ordered[k][4];
      const int changes = ChangesBetween(previous, r);
      if (changes < fewest) {
        fewest = changes;
        wanted = r;
      }
    } while (std::next_permutation(order.begin(), order.end()));
    RegisterMask needed = 1 << kBak | 1 << kPf0 | 1 << kPf1;
    if (any_normal) needed |= 1 << kPf2;
    if (any_inverse) needed |= 1 << kPf3;
    previous = plan.Regs[k] = Limit(palette, LineMode::kFourColour, plan, previous, wanted, needed,
                                    k == 0 ? first_changes : max_changes, targets[k].data(), n);
  }
}

// An 8 x 8 threshold matrix for ordered dithering, values 0 to 63.
constexpr std::array<std::array<uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// The most error diffusion carries into one pixel, per OKLab component:
// beyond it, a colour no register reaches would smear across the line.
constexpr float kErrorLimit = 0.2f;

}  // namespace

void ChooseColours(const SourceLab& source, const PaletteLab& palette, int line, LineMode mode,
                   const Registers& previous, int first_changes, int max_changes, LinePlan& plan) {
  plan = LinePlan{};
  plan.Mode = mode;
  switch (mode) {
    case LineMode::kBlank:
      ChooseBlank(source, palette, line, previous, first_changes, max_changes, plan);
      break;
    case LineMode::kGtia:
      ChooseGtia(source, palette, line, previous, first_changes, max_changes, plan);
      break;
    case LineMode::kHiRes:
      ChooseHiRes(source, palette, line, previous, first_changes, max_changes, plan);
      break;
    case LineMode::kFourColour:
      ChooseFourColour(source, palette, line, previous, first_changes, max_changes, plan);
      break;
  }
}

void DrawLine(const SourceLab& source, const PaletteLab& palette, int line, Dithering dither,
              const Lab* error_in, LinePlan& plan, DrawnLine& drawn) {
  const int width = source.Width;
  drawn.ErrorOut.assign(static_cast<size_t>(width), Lab{});
  plan.Glyphs.fill(0);
  if (plan.Mode == LineMode::kBlank) {
    ShowLine(source, plan, drawn);
    return;
  }
  const ModeGeometry& g = GeometryOf(plan.Mode);
  const int n = width / g.PixelWidth;
  drawn.Wanted.assign(static_cast<size_t>(n) * kCharBytes, Lab{});
  std::array<Lab, kMaxPixels + 2> current{}, below{};
  if (error_in != nullptr && dither == Dithering::kDiffusion) {
    for (int x = 0; x < n; ++x) {
      Lab sum{};
      for (int p = 0; p < g.PixelWidth; ++p) sum = sum + error_in[x * g.PixelWidth + p];
      current[x + 1] = sum * (1.0f / static_cast<float>(g.PixelWidth));
    }
  }
  Targets targets;
  for (int k = 0; k < kCharBytes; ++k) {
    const int y = line * kCharBytes + k;
    NativeTargets(source, y, g.PixelWidth, targets.data());
    const ColourSet sets[2] = {SetOf(palette, plan.Mode, plan.Regs[k], false),
                               SetOf(palette, plan.Mode, plan.Regs[k], true)};
    // Ordered dithering moves each pixel's lightness by up to half the
    // mean step between the lightnesses it may take.
    std::array<float, 2> spread{};
    for (int s = 0; s < 2; ++s) {
      float low = kInfinity, high = -kInfinity;
      for (int v = 0; v < sets[s].Count; ++v) {
        low = std::min(low, sets[s].Colour[v].L);
        high = std::max(high, sets[s].Colour[v].L);
      }
      spread[s] = (high - low) / static_cast<float>(sets[s].Count - 1);
    }
    const bool leftwards = dither == Dithering::kDiffusion && (y & 1);
    below.fill(Lab{});
    for (int i = 0; i < n; ++i) {
      const int x = leftwards ? n - 1 - i : i;
      const int cell = x / g.PixelsPerCell;
      const int inverse = plan.Inverse[cell] ? 1 : 0;
      const ColourSet& set = sets[inverse];
      Lab want = targets[x];
      if (dither == Dithering::kDiffusion) {
        Lab e = current[x + 1];
        e.L = std::clamp(e.L, -kErrorLimit, kErrorLimit);
        e.A = std::clamp(e.A, -kErrorLimit, kErrorLimit);
        e.B = std::clamp(e.B, -kErrorLimit, kErrorLimit);
        want = want + e;
      } else if (dither == Dithering::kOrdered) {
        const float t = (kBayer[y & 7][x & 7] + 0.5f) / 64.0f - 0.5f;
        want.L += t * spread[inverse];
      }
      drawn.Wanted[static_cast<size_t>(k) * n + x] = want;
      int value = 0;
      float best = kInfinity;
      for (int v = 0; v < set.Count; ++v) {
        const float d = Distance2(want, set.Colour[v]);
        if (d < best) {
          best = d;
          value = v;
        }
      }
      const Lab shown = set.Colour[value];
      const int shift = 8 - g.BitsPerPixel * (x % g.PixelsPerCell + 1);
      plan.Glyphs[cell] |= static_cast<Glyph>(value << shift) << (8 * k);
      if (dither == Dithering::kDiffusion) {
        const Lab e = (want - shown) * kDiffusionStrength;
        const int ahead = leftwards ? -1 : 1;
        current[x + 1 + ahead] = current[x + 1 + ahead] + e * (7.0f / 16);
        below[x + 1 - ahead] = below[x + 1 - ahead] + e * (3.0f / 16);
        below[x + 1] = below[x + 1] + e * (5.0f / 16);
        below[x + 1 + ahead] = below[x + 1 + ahead] + e * (1.0f / 16);
      }
    }
    current = below;
  }
  std::vector<Lab> error_out(static_cast<size_t>(width));
  if (dither == Dithering::kDiffusion) {
    for (int x = 0; x < width; ++x) error_out[x] = current[x / g.PixelWidth + 1];
  }
  std::vector<Lab> wanted = std::move(drawn.Wanted);
  ShowLine(source, plan, drawn);
  drawn.ErrorOut = std::move(error_out);
  drawn.Wanted = std::move(wanted);
}

bool MoveTowardsWanted(const PaletteLab& palette, const DrawnLine& drawn, LinePlan& plan) {
  if (plan.Mode != LineMode::kFourColour || drawn.Wanted.empty()) return false;
  const int n = static_cast<int>(drawn.Wanted.size()) / kCharBytes;
  bool moved = false;
  for (int k = 0; k < kCharBytes; ++k) {
    std::array<Lab, kColourRegisters> sum{};
    std::array<int, kColourRegisters> members{};
    for (int x = 0; x < n; ++x) {
      const int cell = x / kFourPerCell;
      const int value = GlyphRow(plan.Glyphs[cell], k) >> (6 - 2 * (x % kFourPerCell)) & 3;
      const int reg = value == 3 && plan.Inverse[cell] ? kPf3 : value == 3 ? kPf2 : kBak + value;
      sum[reg] = sum[reg] + drawn.Wanted[static_cast<size_t>(k) * n + x];
      ++members[reg];
    }
    for (int r = 0; r < kColourRegisters; ++r) {
      if (members[r] == 0) continue;
      const uint8_t c = palette.NearestShown(sum[r] * (1.0f / static_cast<float>(members[r])));
      if (c != plan.Regs[k][r]) {
        plan.Regs[k][r] = c;
        moved = true;
      }
    }
  }
  return moved;
}

void ShowLine(const SourceLab& source, const LinePlan& plan, DrawnLine& drawn) {
  const int width = source.Width;
  drawn.Shown.assign(static_cast<size_t>(width) * kCharBytes, 0);
  drawn.ErrorOut.assign(static_cast<size_t>(width), Lab{});
  for (int k = 0; k < kCharBytes; ++k) {
    uint8_t* out = drawn.Shown.data() + k * width;
    if (plan.Mode == LineMode::kBlank) {
      std::fill_n(out, width, ShownColour(LineMode::kBlank, plan.Regs[k], false, 0));
      continue;
    }
    const ModeGeometry& g = GeometryOf(plan.Mode);
    for (int x = 0; x < width / g.PixelWidth; ++x) {
      const int cell = x / g.PixelsPerCell;
      const int shift = 8 - g.BitsPerPixel * (x % g.PixelsPerCell + 1);
      const int value = GlyphRow(plan.Glyphs[cell], k) >> shift & ((1 << g.BitsPerPixel) - 1);
      std::fill_n(out + x * g.PixelWidth, g.PixelWidth,
                  ShownColour(plan.Mode, plan.Regs[k], plan.Inverse[cell], value));
    }
  }
}

}  // namespace qdp::import
