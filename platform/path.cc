#include "platform/path.h"

#include <vector>

namespace qdp {

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Written out here rather than taken from std::filesystem, whose library
// brings static start-up work into the programs with it.
std::string Normalised(const std::string& path) {
  const bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string> steps;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string step = path.substr(start, end - start);
    start = end + 1;
    if (step.empty() || step == ".") continue;
    if (step == ".." && !steps.empty() && steps.back() != "..") {
      steps.pop_back();
    } else if (step != ".." || !absolute) {
      steps.push_back(std::move(step));
    }
  }
  std::string normal = absolute ? "/" : "";
  for (size_t i = 0; i < steps.size(); ++i) normal += (i == 0 ? "" : "/") + steps[i];
  return normal.empty() ? "." : normal;
}

bool WouldOverwrite(FileSystem& fs, const std::string& target, const std::string& input) {
  return Normalised(target) == Normalised(input) || fs.IsSameFile(target, input);
}

}  // namespace qdp
