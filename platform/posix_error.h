// The reasons the error report gives for the POSIX error numbers.
#ifndef QDPEXT_PLATFORM_POSIX_ERROR_H_
#define QDPEXT_PLATFORM_POSIX_ERROR_H_

#include <string>

namespace qdp {

// "File not found", "Disk full", ... or "I/O error N" for errno `error_number`.
std::string ReasonForErrno(int error_number);

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_POSIX_ERROR_H_
