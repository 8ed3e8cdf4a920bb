#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/signal_cleanup.h"

namespace qdp {

std::vector<std::string> StartProcess(int argc, char** argv) {
  InstallSignalCleanup();
  return std::vector<std::string>(argv, argv + argc);
}

FileSystem& RealFileSystem() { return PosixFileSystem(); }

}  // namespace qdp
