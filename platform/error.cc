#include "platform/error.h"

#include <cerrno>
#include <string>
#include <utility>

namespace qdp {

std::string ConversionFailureDetail::Describe() const {
  const std::string at_line = "line " + std::to_string(line);
  switch (cause) {
    case Cause::kLineNeedsTooManyCharacters:
      return at_line + " needs " + std::to_string(needed) +
             " new characters but the per-font limit is " + std::to_string(limit);
    case Cause::kFontsExhausted:
      return at_line + " would need a font past number 127";
    case Cause::kTooManyBlocks:
      return "the 64th distinct 16 x 16 block is at " + at_line + ", column " +
             std::to_string(column) + "; the two fonts hold 63";
    case Cause::kUnknown:
      break;
  }
  return "the bitmap could not be coded";
}

RunError::RunError(std::string kind, std::string reason, ThrowSite site)
    : std::runtime_error(reason),
      kind_(std::move(kind)),
      reason_(std::move(reason)),
      site_(site) {}

std::string ReasonForErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "File not found";
    // A name the file system cannot resolve as written: too long, a file
    // used as a directory, a loop of links, bytes it does not accept.
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
    case EILSEQ:
      return "Invalid filename";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:  // a directory stands where a file is to be written
      return "File access denied";
    case ENOSPC:
#ifdef EDQUOT  // no disk quotas in the Windows C runtime
    case EDQUOT:
#endif
    case EFBIG:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(error_number);
  }
}

}  // namespace qdp
