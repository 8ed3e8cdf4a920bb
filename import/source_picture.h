// The picture to import, already at the screen's size: full width (one
// pixel per hi-res pixel) or half width (one per four-colour pixel).
#ifndef QDPEXT_IMPORT_SOURCE_PICTURE_H_
#define QDPEXT_IMPORT_SOURCE_PICTURE_H_

#include <array>
#include <vector>

#include "view/image.h"
#include "workspace/workspace.h"

namespace qdp::import {

struct SourcePicture {
  int Width = 0;                  // one of the widths of kPictureSizes
  int Height = 0;                 // kBitmapLines
  std::vector<view::Rgb> Pixels;  // row-major, Width x Height
};

// A size a picture is taken at as it stands: its width, the line width it
// gives (cells of 8 hi-res pixels) and whether each of its pixels is two
// hi-res pixels wide.
struct PictureSize {
  int Width;
  int LineWidth;
  bool HalfWidth;
};
inline constexpr std::array<PictureSize, 6> kPictureSizes = {{
    {256, 32, false},
    {320, 40, false},
    {384, 48, false},
    {128, 32, true},
    {160, 40, true},
    {192, 48, true},
}};
inline constexpr int kPictureHeight = kBitmapLines;

// The accepted size of a picture `width` x `height`, or nullptr.
inline const PictureSize* AcceptedSize(int width, int height) {
  if (height != kPictureHeight) return nullptr;
  for (const PictureSize& size : kPictureSizes) {
    if (size.Width == width) return &size;
  }
  return nullptr;
}

// Whether a picture of this size is taken as it stands.
inline bool IsAcceptedSize(int width, int height) { return AcceptedSize(width, height) != nullptr; }

// The line width (32, 40 or 48) of an accepted size; 0 for any other.
inline int LineWidthOf(int width, int height) {
  const PictureSize* size = AcceptedSize(width, height);
  return size ? size->LineWidth : 0;
}

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_SOURCE_PICTURE_H_
