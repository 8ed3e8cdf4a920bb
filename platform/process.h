// What a program of this project does with its process before anything
// else: the operating system's part of start-up.
#ifndef QDPEXT_PLATFORM_PROCESS_H_
#define QDPEXT_PLATFORM_PROCESS_H_

#include <string>
#include <vector>

namespace qdp {

// Prepares the process for a run and returns its arguments in UTF-8, the
// first being the program's own name as the error report shows it.
//   POSIX: installs the signal clean-up (platform/signal_cleanup.h) and
//     returns argv as it is.
//   Windows: puts standard output and standard error in binary mode, so
//     that CR LF is written as it is; splits the wide command line; and
//     gives the program file's name without its folder ("qdpext.exe").
std::vector<std::string> StartProcess(int argc, char** argv);

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_PROCESS_H_
