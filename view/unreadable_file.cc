#include "view/unreadable_file.h"

#include <memory>

#include "platform/error.h"

namespace qdp::view {
namespace {

// The reason every FileSystem gives for a name that leads to no regular
// file: the error number of a pipe, which the error reports of qdpext keep.
constexpr const char* kNotARegularFile = "I/O error 29";

}  // namespace

std::optional<std::string> WhyUnreadable(FileSystem& fs, const std::string& path) {
  if (fs.IsDirectory(path)) return "is a directory";
  try {
    fs.OpenForReading(path)->Close();
  } catch (const InOutError& error) {
    if (error.Reason() == kNotARegularFile) return "is not a regular file (a pipe, fifo or device)";
    return error.Reason();
  }
  return std::nullopt;
}

}  // namespace qdp::view
