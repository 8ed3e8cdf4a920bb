#include "fuzz/sandbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/run_job.h"

namespace qdp::fuzz {
namespace {

// Memory-backed storage keeps a run from waiting on the disk; fall back to
// the usual temporary folder where there is none.
std::string SandboxBase() {
  if (const char* dir = std::getenv("QDP_FUZZ_DIR"); dir != nullptr && *dir != '\0') return dir;
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  if (const char* dir = std::getenv("TMPDIR"); dir != nullptr && *dir != '\0') return dir;
  return "/tmp";
}

}  // namespace

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

Sandbox& Sandbox::Get() {
  static Sandbox sandbox;
  return sandbox;
}

Sandbox::Sandbox() {
  std::string pattern = SandboxBase() + "/qdpfuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) Fail("cannot make the sandbox below " + pattern);
  root_ = name.data();
  temp_ = root_ + "/tmp";
  if (::mkdir(temp_.c_str(), 0700) != 0) Fail("cannot make " + temp_);
  ::setenv("TMPDIR", temp_.c_str(), 1);
}

Sandbox::~Sandbox() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string Sandbox::ProjectPath(const std::string& folder) {
  std::string dir = root_ + "/" + folder;
  ::mkdir(dir.c_str(), 0700);
  return dir + "/pic.qdp";
}

void Sandbox::WriteFile(const std::string& path, const void* prefix, size_t prefix_size,
                        const uint8_t* data, size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot create " + path);
  bool ok =
      (prefix_size == 0 || ::write(fd, prefix, prefix_size) == static_cast<ssize_t>(prefix_size)) &&
      (size == 0 || ::write(fd, data, size) == static_cast<ssize_t>(size));
  if (::close(fd) != 0 || !ok) Fail("cannot write " + path);
}

std::vector<uint8_t> Sandbox::ReadFile(const std::string& path, bool* exists) {
  std::vector<uint8_t> bytes;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  *exists = fd >= 0;
  if (fd < 0) return bytes;
  uint8_t chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) Fail("cannot read " + path);
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  return bytes;
}

void Sandbox::RemoveSideFiles(const std::string& folder) {
  for (const SideFile& file : kSideFiles) {
    std::string path = root_ + "/" + folder + "/pic" + file.Extension;
    ::unlink(path.c_str());
  }
}

void Sandbox::ExpectNoTemporaryFiles() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(temp_, ec)) {
    std::string name = entry.path().string();
    // Clear it so that the next input is judged on its own.
    std::filesystem::remove_all(entry.path(), ec);
    Fail("temporary file left behind: " + name);
  }
}

}  // namespace qdp::fuzz
