// A private working directory for fuzz targets: one per process, made on
// first use and removed at a normal exit (a crash leaves it for study). Inputs are written into it
// as project files, the side files land beside them, and TMPDIR points at a folder of its own so
// that any temporary file the program leaves behind is noticed.
#ifndef QDPEXT_FUZZ_SANDBOX_H_
#define QDPEXT_FUZZ_SANDBOX_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qdp::fuzz {

// Stops the process with a message so that the fuzzer records the input.
[[noreturn]] void Fail(const std::string& what);

class Sandbox {
 public:
  // The process's sandbox; made on first call.
  static Sandbox& Get();

  // A project path inside the sandbox, in sub-folder `folder` (made on
  // demand), named "pic.qdp" so the side files are pic.mic, pic.fnt, ...
  std::string ProjectPath(const std::string& folder);
  // Writes `prefix` and then `data` to `path`.
  void WriteFile(const std::string& path, const void* prefix, size_t prefix_size,
                 const uint8_t* data, size_t size);
  // The bytes of a file, or nothing with `exists` false.
  std::vector<uint8_t> ReadFile(const std::string& path, bool* exists);
  // Removes every file in `folder` but the project itself.
  void RemoveSideFiles(const std::string& folder);
  // Fails when the private temporary folder is not empty.
  void ExpectNoTemporaryFiles();

 private:
  Sandbox();
  ~Sandbox();
  std::string root_;
  std::string temp_;
};

}  // namespace qdp::fuzz

#endif  // QDPEXT_FUZZ_SANDBOX_H_
