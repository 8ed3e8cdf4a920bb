// qdpview: shows what a picture project holds as PNG previews and a
// summary, and checks that the rebuilt fonts draw the same picture.
#include <cstdio>

#include "platform/file_system.h"
#include "platform/process.h"
#include "view/run_view.h"

int main(int argc, char** argv) {
  // Compressed inputs and previews pass through temporary files; the
  // start-up makes sure a signal does not leave them behind.
  const auto args = qdp::StartProgram(argc, argv);
  return qdp::view::RunView(args, stdout, stderr, qdp::RealFileSystem());
}
