// Test support: everything written to a stream the test made with
// std::tmpfile(), read back from its start; the stream is closed.
#ifndef QDPEXT_TESTS_SUPPORT_SLURP_H_
#define QDPEXT_TESTS_SUPPORT_SLURP_H_

#include <cstdio>
#include <string>

namespace qdp::testing {

inline std::string Slurp(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_SLURP_H_
