// What a program needs from the operating system before it starts work:
// its arguments as UTF-8 text and the handling of interrupts and console
// output that every program of this project shares.
#ifndef QDPEXT_PLATFORM_PROCESS_H_
#define QDPEXT_PLATFORM_PROCESS_H_

#include <string>
#include <vector>

namespace qdp {

// Prepares the process (interrupts, file-size limits, console modes) and
// returns its arguments, the program's own path first. Call it once, first
// thing in main().
std::vector<std::string> StartProgram(int argc, char** argv);

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_PROCESS_H_
