#include "import/oklab.h"

#include <array>
#include <cmath>

namespace qdp::import {
namespace {

// The sRGB transfer curve undone, for each byte value.
const std::array<float, 256>& LinearOfByte() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

float Linear(float channel) {
  const float rounded = std::nearbyint(channel);
  if (rounded == channel && channel >= 0 && channel <= 255) {
    return LinearOfByte()[static_cast<int>(channel)];
  }
  const double c = channel / 255.0;
  return static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
}

}  // namespace

Lab OkLabOf(float r8, float g8, float b8) {
  const float r = Linear(r8), g = Linear(g8), b = Linear(b8);
  const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return Lab{0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
             1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
             0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

}  // namespace qdp::import
