#include "export/side_files.h"

#include "platform/error.h"

namespace qdp {

std::string SideFileName(const std::string& input_name, std::string_view extension) {
  size_t cut = input_name.find_last_of("./\\:");
  std::string base =
      (cut != std::string::npos && input_name[cut] == '.') ? input_name.substr(0, cut) : input_name;
  return base + std::string(extension);
}

void SaveMicFile(const Workspace&, FileSystem&, const std::string&) {
  throw InOutError("Writing side files is not available in this build");
}
void SaveFntScrTab(Workspace&, FileSystem&, bool, bool, bool, const std::string&) {
  throw InOutError("Writing side files is not available in this build");
}
void SaveColFile(const Workspace&, FileSystem&, bool, const std::string&) {
  throw InOutError("Writing side files is not available in this build");
}

}  // namespace qdp
