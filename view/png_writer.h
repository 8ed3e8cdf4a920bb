// Writes pictures as PNG files through libpng, one pixel row at a time, so
// that memory stays bounded whatever the scale, in the smallest form that
// keeps every colour exact: 1-bit grey for a black and white picture, else
// 8-bit indexed with its palette. A file is written whole or not at all
// (FileSystem::CreateReplacing). Every picture carries a mark, by which
// qdpview knows a file it may write over from one it must not.
#ifndef QDPEXT_VIEW_PNG_WRITER_H_
#define QDPEXT_VIEW_PNG_WRITER_H_

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "view/image.h"

namespace qdp::view {

// Writes pictures one at a time, keeping the memory libpng and zlib ask
// for from one picture to the next: only the first picture a writer
// writes pays for making it. Writers are independent: each thread, or each
// run, has its own.
class PngWriter {
 public:
  PngWriter();
  ~PngWriter();
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  // Writes `image` with every pixel drawn `scale` x `scale` (1 or more)
  // to `path` in `fs`. Throws what the file system throws (InOutError)
  // when it cannot, leaving no partial `path` behind; an existing `path`
  // then stays as it was.
  void Write(FileSystem& fs, const std::string& path, const IndexedImage& image, int scale);

 private:
  struct Scratch;
  std::unique_ptr<Scratch> scratch_;
};

// The mark: a tEXt chunk with this keyword and text, before the pixels.
inline constexpr char kMarkKeyword[] = "Software";
inline constexpr char kMarkText[] = "qdpview";

// True when `file`, read from its start, is a PNG that carries the mark
// before its pixel data. Anything else (another PNG, another kind of file,
// a file cut short) is false. Throws what reading throws.
bool CarriesMark(File& file);

// The same with a writer of its own, for one picture.
void WritePng(FileSystem& fs, const std::string& path, const IndexedImage& image, int scale);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PNG_WRITER_H_
