// Test support: the Options of a job that selects the side files of the
// given option letters ("smfc", either case) for `input`.
#ifndef QDPEXT_TESTS_SUPPORT_JOB_OPTIONS_H_
#define QDPEXT_TESTS_SUPPORT_JOB_OPTIONS_H_

#include <string>

#include "app/command_line.h"

namespace qdp::testing {

inline Options JobOptions(const std::string& letters, const std::string& input) {
  Options options;
  options.InputFileName = input;
  for (char letter : letters) ApplyOptionLetter(letter, options);
  return options;
}

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_JOB_OPTIONS_H_
