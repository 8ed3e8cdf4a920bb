// qdpext: extracts fonts, screen codes, line fonts, bitmap and colour
// tables from a picture project file.
#include <cstdio>
#include <string>
#include <vector>

#include "app/run_main.h"
#include "platform/file_system.h"
#include "platform/signal_cleanup.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  qdp::InstallSignalCleanup();
  // Static: the workspace is too large to want on the stack.
  static qdp::Workspace workspace;
  qdp::BuildTables(workspace);
  std::vector<std::string> args(argv, argv + argc);
  return qdp::RunMain(args, workspace, qdp::PosixFileSystem(), stdout, stderr);
}
