#include "import/picture_error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "import/oklab.h"

namespace qdp::import {
namespace {

// The blur: a Gaussian of sigma 1 pixel, cut off at three sigma.
constexpr int kBlurRadius = 3;
constexpr double kBlurSigma = 1.0;

std::array<float, 2 * kBlurRadius + 1> BlurWeights() {
  std::array<float, 2 * kBlurRadius + 1> w{};
  double sum = 0;
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i) {
    sum += w[i + kBlurRadius] =
        static_cast<float>(std::exp(-i * i / (2 * kBlurSigma * kBlurSigma)));
  }
  for (float& x : w) x = static_cast<float>(x / sum);
  return w;
}

// A picture as three planes of sRGB channel values.
struct Planes {
  int Width = 0, Height = 0;
  std::array<std::vector<float>, 3> Channel;
  void Resize(int w, int h) {
    Width = w;
    Height = h;
    for (auto& c : Channel) c.assign(static_cast<size_t>(w) * h, 0.0f);
  }
  void Set(int x, int y, const view::Rgb& c) {
    const size_t i = static_cast<size_t>(y) * Width + x;
    Channel[0][i] = c.R;
    Channel[1][i] = c.G;
    Channel[2][i] = c.B;
  }
};

// Blurs every channel in place, across then down, with edge pixels
// repeated beyond the border.
void Blur(Planes& p) {
  const auto w = BlurWeights();
  std::vector<float> tmp(p.Channel[0].size());
  for (auto& ch : p.Channel) {
    for (int y = 0; y < p.Height; ++y) {
      const float* row = ch.data() + static_cast<size_t>(y) * p.Width;
      for (int x = 0; x < p.Width; ++x) {
        float s = 0;
        for (int k = -kBlurRadius; k <= kBlurRadius; ++k) {
          s += w[k + kBlurRadius] * row[std::clamp(x + k, 0, p.Width - 1)];
        }
        tmp[static_cast<size_t>(y) * p.Width + x] = s;
      }
    }
    for (int y = 0; y < p.Height; ++y) {
      for (int x = 0; x < p.Width; ++x) {
        float s = 0;
        for (int k = -kBlurRadius; k <= kBlurRadius; ++k) {
          s += w[k + kBlurRadius] *
               tmp[static_cast<size_t>(std::clamp(y + k, 0, p.Height - 1)) * p.Width + x];
        }
        ch[static_cast<size_t>(y) * p.Width + x] = s;
      }
    }
  }
}

}  // namespace

double PictureError(const SourcePicture& source, const view::IndexedImage& machine) {
  const int scale = source.Width > 0 && source.Width * 2 <= machine.Width ? 2 : 1;
  const int width = std::min(source.Width * scale, machine.Width);
  const int height = std::min(source.Height, machine.Height);
  if (width <= 0 || height <= 0) return 0;
  Planes a, b;
  a.Resize(width, height);
  b.Resize(width, height);
  std::vector<uint8_t> row(static_cast<size_t>(machine.Width));
  for (int y = 0; y < height; ++y) {
    machine.FillRow(y, row.data());
    for (int x = 0; x < width; ++x) {
      a.Set(x, y, source.Pixels[static_cast<size_t>(y) * source.Width + x / scale]);
      b.Set(x, y, machine.Palette[row[x]]);
    }
  }
  Blur(a);
  Blur(b);
  double sum = 0;
  for (size_t i = 0; i < a.Channel[0].size(); ++i) {
    const Lab p = OkLabOf(a.Channel[0][i], a.Channel[1][i], a.Channel[2][i]);
    const Lab q = OkLabOf(b.Channel[0][i], b.Channel[1][i], b.Channel[2][i]);
    sum += std::sqrt(static_cast<double>(Distance2(p, q)));
  }
  return 100.0 * sum / static_cast<double>(a.Channel[0].size());
}

}  // namespace qdp::import
