#include "import/oklab.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// Between whole channel values the curve is close enough to a straight
// line: the blurred pictures the error metric converts are not whole.
constexpr int kSteps = 16;  // table entries per channel value
const std::array<float, 255 * kSteps + 2>& LinearTable() {
  static const std::array<float, 255 * kSteps + 2> table = [] {
    std::array<float, 255 * kSteps + 2> t{};
    for (size_t i = 0; i < t.size(); ++i) {
      const double c = std::min(1.0, static_cast<double>(i) / (255.0 * kSteps));
      t[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

float Linear(float channel) {
  const float clamped = std::clamp(channel, 0.0f, 255.0f);
  const auto whole = static_cast<int>(clamped);
  if (static_cast<float>(whole) == clamped) return LinearOfByte()[whole];
  const float at = clamped * kSteps;
  const auto i = static_cast<int>(at);
  const float f = at - static_cast<float>(i);
  const auto& t = LinearTable();
  return t[i] + f * (t[i + 1] - t[i]);
}

// The cube root of a value in 0 to 1, from a first guess by the float's
// bits and two steps of Newton's method: far faster than the library's.
float CubeRoot(float x) {
  if (x <= 0) return 0;
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits = bits / 3 + 709921077u;
  float y;
  std::memcpy(&y, &bits, sizeof y);
  y = (2 * y + x / (y * y)) * (1.0f / 3);
  y = (2 * y + x / (y * y)) * (1.0f / 3);
  y = (2 * y + x / (y * y)) * (1.0f / 3);
  return y;
}

}  // namespace

Lab OkLabOf(float r8, float g8, float b8) {
  const float r = Linear(r8), g = Linear(g8), b = Linear(b8);
  const float l = CubeRoot(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = CubeRoot(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = CubeRoot(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return Lab{0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
             1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
             0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

}  // namespace qdp::import
