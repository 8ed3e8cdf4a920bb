// A picture as qdpview draws it: a palette of up to 256 colours and, row
// by row, one palette index per pixel. Black and white pictures are the
// case of a two-entry palette.
#ifndef QDPEXT_VIEW_IMAGE_H_
#define QDPEXT_VIEW_IMAGE_H_

#include <cstdint>
#include <functional>
#include <vector>

namespace qdp::view {

struct Rgb {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

struct IndexedImage {
  int Width = 0;   // pixels
  int Height = 0;  // pixels
  // At most 256 colours; every index FillRow writes is below its size.
  std::vector<Rgb> Palette;
  // Fills `row` (Width bytes) with the palette indices of pixel row `y`,
  // leftmost pixel first.
  std::function<void(int y, uint8_t* row)> FillRow;
};

// The palette of a black and white picture: index 0 dark, 1 light.
inline std::vector<Rgb> BlackAndWhite() { return {kBlack, kWhite}; }

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_IMAGE_H_
