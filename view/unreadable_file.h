// What qdpview says about a file it is given but cannot read (an input or
// a palette file): the problem named as a person would name it, where the
// file system's own reason would only give a number.
#ifndef QDPEXT_VIEW_UNREADABLE_FILE_H_
#define QDPEXT_VIEW_UNREADABLE_FILE_H_

#include <optional>
#include <string>

#include "platform/file_system.h"

namespace qdp::view {

// The reason every FileSystem gives for a name that leads to no regular
// file: the error number of a pipe, which the error reports of qdpext keep.
inline constexpr char kNotARegularFile[] = "I/O error 29";

// Why `path` cannot be opened for reading, or nothing when it can: "is a
// directory", "is not a regular file (a pipe, fifo or device)", or the
// file system's reason ("File not found", "File access denied", ...).
// Opening never waits, so a fifo is answered at once.
std::optional<std::string> WhyUnreadable(FileSystem& fs, const std::string& path);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_UNREADABLE_FILE_H_
