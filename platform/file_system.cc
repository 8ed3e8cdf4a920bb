#include "platform/file_system.h"

namespace qdp {

bool FileSystem::IsSameFile(const std::string& a, const std::string& b) {
  std::optional<FileIdentity> first = Identify(a);
  return first.has_value() && first == Identify(b);
}

}  // namespace qdp
