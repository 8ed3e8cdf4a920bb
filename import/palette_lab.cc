#include "import/palette_lab.h"

#include <algorithm>

#include "import/registers.h"

namespace qdp::import {

PaletteLab::PaletteLab(const view::AtariPalette& palette) {
  for (int i = 0; i < 256; ++i) Colour[i] = OkLabOf(palette[i]);
}

uint8_t PaletteLab::NearestShown(const Lab& c) const {
  int best = 0;
  float best_d = Distance2(c, Colour[0]);
  for (int i = 2; i < 256; i += 2) {
    const float d = Distance2(c, Colour[i]);
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t PaletteLab::Across(const Lab& from, const Lab& target) const {
  int best = 0;
  float best_d = -1;
  for (int i = 0; i < 256; i += 2) {
    // The nearest point to `target` on the segment from `from` to colour i.
    const Lab& to = Colour[i];
    const float dl = to.L - from.L, da = to.A - from.A, db = to.B - from.B;
    const float length2 = dl * dl + da * da + db * db;
    float t = 0;
    if (length2 > 0) {
      t = ((target.L - from.L) * dl + (target.A - from.A) * da + (target.B - from.B) * db) /
          length2;
      t = std::clamp(t, 0.0f, 1.0f);
    }
    const Lab on{from.L + t * dl, from.A + t * da, from.B + t * db};
    // Shorter segments dither with less noise: they win ties.
    const float d = Distance2(on, target) + 0.01f * length2;
    if (best_d < 0 || d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace qdp::import
