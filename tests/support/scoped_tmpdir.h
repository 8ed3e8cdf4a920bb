// Test support: points $TMPDIR somewhere else for the life of the object,
// so that the temporary files of a run land where a test can look.
#ifndef QDPEXT_TESTS_SUPPORT_SCOPED_TMPDIR_H_
#define QDPEXT_TESTS_SUPPORT_SCOPED_TMPDIR_H_

#include <cstdlib>
#include <string>

namespace qdp::testing {

class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::string& value) {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TMPDIR", value.c_str(), 1);
  }
  ~ScopedTmpdir() {
    if (had_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  ScopedTmpdir(const ScopedTmpdir&) = delete;
  ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_SCOPED_TMPDIR_H_
