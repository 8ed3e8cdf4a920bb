// Test support: pictures made by code (gradients, shapes, text, noise) and
// their files, PNG in every colour type, depth and interlacing, and JPEG,
// for the tests, the fuzz seeds and the demo of qdpimport.
#ifndef QDPEXT_TESTS_SUPPORT_PICTURE_FILES_H_
#define QDPEXT_TESTS_SUPPORT_PICTURE_FILES_H_

#include <cstdint>
#include <vector>

#include "view/image.h"

namespace qdp::testing {

using Bytes = std::vector<uint8_t>;

// A picture with an alpha channel: 0 transparent, 255 opaque.
struct Rgba {
  uint8_t R = 0, G = 0, B = 0, A = 255;
  bool operator==(const Rgba&) const = default;
};
struct Picture {
  int Width = 0;
  int Height = 0;
  std::vector<Rgba> Pixels;  // row by row
  Rgba& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
  const Rgba& At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

enum class Drawn : uint8_t { kGradient, kShapes, kText, kNoise, kScene };
// An opaque picture of `width` x `height` drawn as asked; `seed` varies it.
// The scene is a landscape of smooth colours: sky, sun, hills and water.
Picture MakePicture(Drawn what, int width, int height, uint32_t seed = 1);

// How a PNG is stored: PNG_COLOR_TYPE_* and the bit depth.
struct PngForm {
  int ColourType;
  int BitDepth;
  bool Interlaced = false;
};
// The PNG of `picture` in `form`. Grey forms keep the red channel;
// forms without alpha drop it; depths below 8 keep the top bits and 16
// repeats each byte; a palette holds the picture's colours (at most 2 to
// the depth of them), with their alpha in tRNS.
Bytes EncodePng(const Picture& picture, const PngForm& form);
// The picture a decoder should give for what EncodePng stored: each
// channel as the form keeps it, laid over black by its alpha.
std::vector<view::Rgb> ExpectedRgb(const Picture& picture, const PngForm& form);

// A baseline (or progressive) JPEG of `picture` at `quality`, in colour or
// grey.
Bytes EncodeJpeg(const Picture& picture, int quality, bool grey = false, bool progressive = false);

// The first bytes of a PNG that says it is `width` x `height`: a valid
// signature and header chunk, then nothing.
Bytes PngHeaderOnly(uint32_t width, uint32_t height);

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_PICTURE_FILES_H_
