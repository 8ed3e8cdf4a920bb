#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/signal_cleanup.h"

namespace qdp {
namespace {

[[noreturn]] void ThrowErrno(int error_number, ThrowSite site = ThrowSite::Here()) {
  throw InOutError(ReasonForErrno(error_number), site);
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  size_t Read(void* data, size_t size) override {
    auto* out = static_cast<unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::read(fd_, out + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(errno);
      }
      if (n == 0) break;  // end of file
      done += static_cast<size_t>(n);
    }
    return done;
  }

  void Write(const void* data, size_t size) override {
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_, in + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(errno);
      }
      // A write that takes nothing would never finish: the device is full.
      if (n == 0) ThrowErrno(ENOSPC);
      done += static_cast<size_t>(n);
    }
  }

  void Seek(uint64_t offset) override {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) ThrowErrno(errno);
  }

  uint64_t Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) ThrowErrno(errno);
    return static_cast<uint64_t>(st.st_size);
  }

  void Close() override {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    // The descriptor is gone after close() whatever it returns, so it is
    // never retried; EINTR here still means the data may not have landed.
    if (::close(fd) != 0) ThrowErrno(errno);
  }

 private:
  int fd_;
};

class Posix : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    return Open(path, O_RDONLY);
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path) override {
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC);
  }

  bool IsExistingFile(const std::string& path) override {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  bool IsSameFile(const std::string& a, const std::string& b) override {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }

  std::string TempDirectory() override {
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env != nullptr && *env != '\0') ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }

  TempFile MakeTempFile() override {
    std::string pattern = TempDirectory() + "/~qdpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // No signal may fall between making the file and registering it.
    CleanupSignalsHeld held;
    // mkstemp picks a name nobody holds and creates the file in one step,
    // so no other process can take the same name.
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) ThrowErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      int error_number = errno;
      ::close(fd);
      ::unlink(name.data());
      ThrowErrno(error_number);
    }
    ::close(fd);
    RegisterCleanupPath(name.data());
    return TempFile{name.data(), static_cast<uint64_t>(st.st_dev),
                    static_cast<uint64_t>(st.st_ino)};
  }

  std::unique_ptr<File> ReopenTempFile(const TempFile& temp, bool for_writing) override {
    // Non-blocking, so that a fifo put in the file's place cannot stall the
    // open before it is refused; it makes no difference to a regular file.
    int flags = (for_writing ? O_WRONLY : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK;
    int fd = OpenDescriptor(temp.path, flags);
    if (fd < 0) ThrowErrno(errno == ELOOP ? EACCES : errno);  // ELOOP: a symbolic link
    auto file = std::make_unique<PosixFile>(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) ThrowErrno(errno);
    if (static_cast<uint64_t>(st.st_dev) != temp.device ||
        static_cast<uint64_t>(st.st_ino) != temp.inode) {
      ThrowErrno(EACCES);
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) ThrowErrno(errno);
    if (for_writing && ::ftruncate(fd, 0) != 0) ThrowErrno(errno);
    return file;
  }

  void Remove(const std::string& path) noexcept override {
    // Unlinked and forgotten in one step: a signal in between would remove
    // the name again, and by then it may belong to another process.
    CleanupSignalsHeld held;
    ::unlink(path.c_str());
    UnregisterCleanupPath(path.c_str());
  }

 private:
  // A descriptor, or -1 with errno set.
  static int OpenDescriptor(const std::string& path, int flags) {
    if (path.empty()) {
      errno = ENOENT;
      return -1;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }

  static std::unique_ptr<File> Open(const std::string& path, int flags) {
    int fd = OpenDescriptor(path, flags);
    if (fd < 0) ThrowErrno(errno);
    return std::make_unique<PosixFile>(fd);
  }
};

}  // namespace

FileSystem& PosixFileSystem() {
  static Posix posix;
  return posix;
}

}  // namespace qdp
