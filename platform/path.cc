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

namespace {
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr uint64_t kLetterCount = sizeof kLetters - 1;
}  // namespace

std::string TemporaryFileName(uint32_t pid, uint64_t random) {
  std::string name = kTemporaryPrefix + std::to_string(pid) + "-";
  for (int i = 0; i < kTemporaryLetters; ++i, random /= kLetterCount) {
    name.push_back(kLetters[random % kLetterCount]);
  }
  return name;
}

std::optional<uint32_t> TemporaryFileProcess(const std::string& name) {
  const std::string prefix = kTemporaryPrefix;
  if (name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  size_t at = prefix.size();
  uint64_t pid = 0;
  const size_t digits_start = at;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9' && at - digits_start < 10) {
    pid = pid * 10 + static_cast<uint64_t>(name[at] - '0');
    ++at;
  }
  const size_t digits = at - digits_start;
  if (digits == 0 || name[digits_start] == '0' || pid > UINT32_MAX) return std::nullopt;
  if (name.size() != at + 1 + kTemporaryLetters || name[at] != '-') return std::nullopt;
  for (size_t i = at + 1; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letter) return std::nullopt;
  }
  return static_cast<uint32_t>(pid);
}

}  // namespace qdp
