// qdpext: extracts fonts, screen codes, line fonts, bitmap and colour
// tables from a picture project file.
#include <cstdio>

#include "app/run_main.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  const auto args = qdp::StartProgram(argc, argv);
  // Static: the workspace is too large to want on the stack.
  static qdp::Workspace workspace;
  return qdp::RunMain(args, workspace, qdp::RealFileSystem(), stdout, stderr);
}
