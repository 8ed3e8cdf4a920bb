// Reads the command line into the option letters given and the input file
// name, and decides whether it describes a complete job.
#ifndef QDPEXT_APP_COMMAND_LINE_H_
#define QDPEXT_APP_COMMAND_LINE_H_

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qdp {

// The job the command line describes: which side files to write, by the
// option letters that select them (the side-file table says which letter
// selects which file), and the input.
struct Options {
  std::string InputFileName;  // the last argument that is not options
  // Whether `letter` (upper case, A to Z) was given.
  bool Selects(char letter) const {
    return letter >= 'A' && letter <= 'Z' && letters_[letter - 'A'];
  }
  void Select(char letter) { letters_.at(letter - 'A') = true; }

 private:
  std::array<bool, 26> letters_{};
};

// The usage text, each line ended by CR LF: the program and its syntax,
// then a line for each option letter, from the side-file table.
std::string UsageText();

// Writes the usage text to `out`.
void PrintUsage(std::FILE* out);

// Selects option letter `letter` (either case); false for a letter that
// selects no side file.
bool ApplyOptionLetter(char letter, Options& options);

// Returns the job the arguments (without the program name) describe, or
// nothing when they are incomplete or wrong and the usage text is due.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, FileSystem& fs);

}  // namespace qdp

#endif  // QDPEXT_APP_COMMAND_LINE_H_
