// Reads a PNG file back as 8-bit gray pixels (0 dark, 255 light), for the
// tests and the check that the committed demo preview is up to date.
#ifndef QDPEXT_VIEW_PNG_READER_H_
#define QDPEXT_VIEW_PNG_READER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qdp::view {

struct GrayImage {
  bool ok = false;  // false when the file is missing or not a PNG
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // row by row, top row first
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool operator==(const GrayImage&) const = default;
};

GrayImage ReadPng(const std::string& path);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PNG_READER_H_
