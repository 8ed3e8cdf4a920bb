// The palette in OKLab, with the searches the import makes in it.
#ifndef QDPEXT_IMPORT_PALETTE_LAB_H_
#define QDPEXT_IMPORT_PALETTE_LAB_H_

#include <array>
#include <cstdint>

#include "import/oklab.h"
#include "view/palette.h"

namespace qdp::import {

struct PaletteLab {
  std::array<Lab, 256> Colour;
  explicit PaletteLab(const view::AtariPalette& palette);
  // The colour byte with bit 0 clear (the colours every mode but GTIA
  // shows) nearest to `c`.
  uint8_t NearestShown(const Lab& c) const;
  // The shown colour byte whose mixture with `from` (a palette colour)
  // comes nearest to `target`: the far side of `target` from `from`.
  uint8_t Across(const Lab& from, const Lab& target) const;
};

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_PALETTE_LAB_H_
