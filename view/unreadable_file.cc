#include "view/unreadable_file.h"

#include <memory>

#include "platform/error.h"

namespace qdp::view {
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
