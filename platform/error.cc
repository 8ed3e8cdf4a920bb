#include "platform/error.h"

#include <array>
#include <utility>

namespace qdp {
namespace {

struct KindName {
  ErrorKind kind;
  const char* name;
};

// The names the error report gives each kind, one row per kind.
constexpr std::array<KindName, 8> kKindNames = {{
    {ErrorKind::kInOut, "EInOutError"},
    {ErrorKind::kDecompression, "EZDecompressionError"},
    {ErrorKind::kProject, "EProjectError"},
    {ErrorKind::kPalette, "EPaletteError"},
    {ErrorKind::kPicture, "EPictureError"},
    {ErrorKind::kPictureSize, "EPictureSizeError"},
    {ErrorKind::kOutOfMemory, "EOutOfMemory"},
    {ErrorKind::kInternal, "EInternalError"},
}};

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
  for (const KindName& row : kKindNames) {
    if (row.kind == kind) return row.name;
  }
  return "EInternalError";
}

RunError::RunError(ErrorKind kind, std::string reason, ThrowSite site)
    : std::runtime_error(reason),
      kind_(kind),
      reason_(std::move(reason)),
      site_(site) {}

}  // namespace qdp
