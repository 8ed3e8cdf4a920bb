#include "platform/error.h"

#include <utility>

namespace qdp {
// The name the error report gives each kind. A switch with no default: a
// kind added without its name does not compile.
const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kInOut:
      return "EInOutError";
    case ErrorKind::kDecompression:
      return "EZDecompressionError";
    case ErrorKind::kProject:
      return "EProjectError";
    case ErrorKind::kPalette:
      return "EPaletteError";
    case ErrorKind::kPicture:
      return "EPictureError";
    case ErrorKind::kPictureSize:
      return "EPictureSizeError";
    case ErrorKind::kOutOfMemory:
      return "EOutOfMemory";
    case ErrorKind::kInternal:
      break;
  }
  return "EInternalError";
}

RunError::RunError(ErrorKind kind, std::string reason, ThrowSite site)
    : std::runtime_error(reason),
      kind_(kind),
      reason_(std::move(reason)),
      site_(site) {}

}  // namespace qdp
