// The one size check of every picture, whoever decodes it: qdpimport's
// decoders from the header, the page from the browser's decoded size.
#include <string>

#include "importer/picture_decoder.h"
#include "platform/error.h"

namespace qdp::importer {

void CheckPictureSize(uint64_t width, uint64_t height) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  if (width == 0 || height == 0) throw PictureFileError("the picture is empty (" + size + ")");
  if (width > kMaxPictureSide || height > kMaxPictureSide) {
    throw PictureFileError("the picture is " + size + " pixels, larger than the " +
                           std::to_string(kMaxPictureSide) + " x " +
                           std::to_string(kMaxPictureSide) + " that are taken");
  }
}

}  // namespace qdp::importer
