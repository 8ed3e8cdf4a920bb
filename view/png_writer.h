// Writes black-and-white pictures as 1-bit grayscale PNG files through
// libpng, one pixel row at a time, so that memory stays bounded whatever
// the scale. A file is written whole or not at all (FileSystem::
// CreateReplacing).
#ifndef QDPEXT_VIEW_PNG_WRITER_H_
#define QDPEXT_VIEW_PNG_WRITER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_system.h"

namespace qdp::view {

inline constexpr int kMaxScale = 16;

// A picture described row by row at scale 1.
struct BitImage {
  int width = 0;   // pixels
  int height = 0;  // pixels
  // Fills `row` ((width + 7) / 8 bytes, zeroed by the caller) with pixel
  // row `y`: 8 pixels a byte, the leftmost in bit 7, a set bit light.
  std::function<void(int y, uint8_t* row)> fill_row;
};

// Writes `image` with every pixel drawn `scale` x `scale` (1 to
// kMaxScale) to `path` in `fs`. Throws what the file system throws
// (InOutError) when it cannot, leaving no partial `path` behind; an
// existing `path` then stays as it was. Not for use by two threads at once.
void WritePng(FileSystem& fs, const std::string& path, const BitImage& image, int scale);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PNG_WRITER_H_
