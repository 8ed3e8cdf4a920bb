// Reads a PNG file back as RGB pixels, for the tests and the check that
// the committed demo previews are up to date.
#ifndef QDPEXT_VIEW_PNG_READER_H_
#define QDPEXT_VIEW_PNG_READER_H_

#include <string>
#include <vector>

#include "view/image.h"

namespace qdp::view {

struct RgbImage {
  bool Ok = false;  // false when the file is missing or not a PNG
  int Width = 0;
  int Height = 0;
  std::vector<Rgb> Pixels;  // row by row, top row first
  Rgb At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
  bool operator==(const RgbImage&) const = default;
};

RgbImage ReadPng(const std::string& path);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PNG_READER_H_
