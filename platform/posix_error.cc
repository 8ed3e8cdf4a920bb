#include "platform/posix_error.h"

#include <cerrno>

namespace qdp {

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
    case EDQUOT:
    case EFBIG:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(error_number);
  }
}

}  // namespace qdp
