#include "export/side_files.h"
#include "platform/path.h"

namespace qdp {

std::string SideFileName(const std::string& input_name, std::string_view extension) {
  // "/" counts as a separator beside "\" and ":" so that a dot in a
  // directory name ("old.dir/pic") is never taken for the extension.
  size_t cut = input_name.find_last_of(std::string(".") + kPathSeparators);
  bool has_extension = cut != std::string::npos && input_name[cut] == '.';
  std::string name = has_extension ? input_name.substr(0, cut) : input_name;
  name += extension;
  return name;
}
}  // namespace qdp
