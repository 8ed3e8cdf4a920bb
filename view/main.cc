// qdpview: shows what a picture project holds as PNG previews and a
// summary, and checks that the rebuilt fonts draw the same picture.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/signal_cleanup.h"
#include "view/run_view.h"

int main(int argc, char** argv) {
  // Compressed inputs and previews pass through temporary files; a signal
  // must not leave them behind.
  qdp::InstallSignalCleanup();
  std::vector<std::string> args(argv, argv + argc);
  return qdp::view::RunView(args, stdout, stderr);
}
