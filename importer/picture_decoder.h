// Decodes the pictures qdpimport takes, PNG and JPEG, told apart by their
// first bytes, row by row into a sink, so that no decoder ever holds a
// whole picture of the input's size. A picture whose header gives a size
// beyond kMaxPictureSide is refused before any pixel is decoded.
#ifndef QDPEXT_IMPORTER_PICTURE_DECODER_H_
#define QDPEXT_IMPORTER_PICTURE_DECODER_H_

#include <cstdint>
#include <optional>
#include <span>

#include "platform/file_system.h"
#include "view/image.h"

namespace qdp::importer {

// The longest side a picture may have, in pixels.
inline constexpr int kMaxPictureSide = 16384;
// The most memory a decoder may take for its own tables (a progressive
// JPEG keeps every coefficient of the picture until its last scan).
inline constexpr long kMaxDecoderMemory = 160L << 20;

enum class PictureFormat : uint8_t { kPng, kJpeg };

// The format the first bytes of a file announce, or none.
std::optional<PictureFormat> SniffFormat(std::span<const uint8_t> first_bytes);

// Receives a decoded picture: its size first, then every pixel once, as
// runs of one row (all of it, or for an interlaced PNG every step-th
// pixel from x0).
class PixelSink {
 public:
  virtual ~PixelSink() = default;
  // How many times smaller (1, 2, 4 or 8) in each direction the sink will
  // take a picture of this size, when the decoder can shrink it as it
  // decodes: a large picture that will be fitted need not be decoded at
  // full size.
  virtual int Shrink(int width, int height) const = 0;
  // The size the pixels come at, before any of them. May throw to refuse
  // the picture.
  virtual void Begin(int width, int height) = 0;
  virtual void Put(int y, int x0, int step, const view::Rgb* pixels, int count) = 0;
};

// Throws PictureFileError, naming the size, when a picture of `width` x
// `height` is empty or has a side beyond kMaxPictureSide.
void CheckPictureSize(uint64_t width, uint64_t height);

// Decode the picture in `file` (read from its start) into `sink`. Throw
// PictureFileError for a file that is neither format, corrupt, cut short
// or too large; what `file` and `sink` throw goes on as it is.
void DecodePng(File& file, PixelSink& sink);
void DecodeJpeg(File& file, PixelSink& sink);
void DecodePicture(File& file, PixelSink& sink);

}  // namespace qdp::importer

#endif  // QDPEXT_IMPORTER_PICTURE_DECODER_H_
