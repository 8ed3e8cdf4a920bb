// qdpimport: turns PNG and JPEG pictures into projects the machine shows.
#include <cstdio>

#include "importer/run_import.h"
#include "platform/file_system.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  const auto args = qdp::StartProgram(argc, argv);
  return qdp::importer::RunImport(args, stdout, stderr, qdp::RealFileSystem());
}
