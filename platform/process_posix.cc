// Start-up on POSIX systems.
#include "platform/process.h"
#include "platform/signal_cleanup.h"

namespace qdp {

std::vector<std::string> StartProgram(int argc, char** argv) {
  // Temporary names (previews being written) must not outlive an
  // interrupted run, and a file-size limit must end in an error, not a kill.
  InstallSignalCleanup();
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace qdp
