// Start-up in the browser build: a page has no signals to catch and no
// console to set up, and its arguments are what the page passes.
#include "platform/process.h"

namespace qdp {

std::vector<std::string> StartProgram(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace qdp
