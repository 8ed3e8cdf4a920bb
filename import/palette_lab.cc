#include "import/palette_lab.h"

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

}  // namespace qdp::import
