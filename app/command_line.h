// Reads the command line into the four option flags and the input file
// name, and decides whether it describes a complete job.
#ifndef QDPEXT_APP_COMMAND_LINE_H_
#define QDPEXT_APP_COMMAND_LINE_H_

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qdp {

struct Options {
  bool SaveScreen = false;    // S: .scr
  bool SaveFonts = false;     // F: .fnt and .tab
  bool SaveBitmap = false;    // M: .mic
  bool SaveColours = false;   // C: .col
  std::string InputFileName;  // the last argument that is not options
};

// The six lines of the usage text, each ended by CR LF.
extern const char kUsageText[];

// Writes the usage text to `out`.
void PrintUsage(std::FILE* out);

// Sets the flag that option letter `letter` (either case) stands for;
// false for a letter that is none.
bool ApplyOptionLetter(char letter, Options& options);

// Returns the job the arguments (without the program name) describe, or
// nothing when they are incomplete or wrong and the usage text is due.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, FileSystem& fs);

}  // namespace qdp

#endif  // QDPEXT_APP_COMMAND_LINE_H_
