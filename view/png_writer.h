// Writes pictures as PNG files through libpng, one pixel row at a time, so
// that memory stays bounded whatever the scale, in the smallest form that
// keeps every colour exact: 1-bit grey for a black and white picture, else
// 8-bit indexed with its palette. A file is written whole or not at all
// (FileSystem::CreateReplacing).
#ifndef QDPEXT_VIEW_PNG_WRITER_H_
#define QDPEXT_VIEW_PNG_WRITER_H_

#include <string>

#include "platform/file_system.h"
#include "view/image.h"

namespace qdp::view {

inline constexpr int kMaxScale = 16;

// Writes `image` with every pixel drawn `scale` x `scale` (1 to
// kMaxScale) to `path` in `fs`. Throws what the file system throws
// (InOutError) when it cannot, leaving no partial `path` behind; an
// existing `path` then stays as it was. Not for use by two threads at once.
void WritePng(FileSystem& fs, const std::string& path, const IndexedImage& image, int scale);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PNG_WRITER_H_
