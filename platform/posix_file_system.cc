// The file system of POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix_error.h"
#include "platform/signal_cleanup.h"

namespace qdp {
namespace {

[[noreturn]] void ThrowErrno(int error_number, const std::string& path, FileAccess access,
                             ThrowSite site = ThrowSite::Here()) {
  throw InOutError(ReasonForErrno(error_number), path, access, site);
}

// The directory for temporary files: $TMPDIR, else /tmp. Not
// std::filesystem::temp_directory_path(), which also reads TMP and TEMP and
// refuses a path that is not a directory before anyone has tried it, where
// the user is better told what creating the file there gave.
std::string TempDirectory() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = (env != nullptr && *env != '\0') ? env : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// Opens `path` without waiting (a fifo would otherwise hold the open until
// someone comes to the other end) and then turns waiting back on for the
// reads and writes. A descriptor, or -1 with errno set.
int OpenWithoutWaiting(const std::string& path, int flags) {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  int status = ::fcntl(fd, F_GETFL);
  if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
    int error_number = errno;
    ::close(fd);
    // A file this call made goes again with the failure.
    if ((flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL)) ::unlink(path.c_str());
    errno = error_number;
    return -1;
  }
  return fd;
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path, FileAccess access)
      : fd_(fd),
        path_(std::move(path)),
        access_(access) {}
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
        Fail(errno);
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
        Fail(errno);
      }
      // A write that takes nothing would never finish: the device is full.
      if (n == 0) Fail(ENOSPC);
      done += static_cast<size_t>(n);
    }
  }

  void Seek(uint64_t offset) override {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) Fail(errno);
  }

  void Close() override {
    if (fd_ < 0) return;
    int fd = std::exchange(fd_, -1);
    // The descriptor is gone after close() whatever it returns, so it is
    // never retried; EINTR here still means the data may not have landed.
    if (::close(fd) != 0) Fail(errno);
  }

 protected:
  [[noreturn]] void Fail(int error_number, ThrowSite site = ThrowSite::Here()) const {
    ThrowErrno(error_number, path_, access_, site);
  }

 private:
  int fd_;
  std::string path_;
  FileAccess access_;
};

// A file written under a temporary name beside its target. The name is
// registered for removal as it is made, so that a signal never leaves it
// behind, and given up in the same step as it is renamed or removed, so
// that a signal never removes a name that is no longer ours.
class ReplacingFile : public PosixFile {
 public:
  ReplacingFile(int fd, std::string temp, std::string target)
      : PosixFile(fd, target, FileAccess::kWrite),
        temp_(std::move(temp)),
        target_(std::move(target)) {}
  ~ReplacingFile() override {
    if (!temp_.empty()) GiveUp();
  }

  void Close() override {
    if (temp_.empty()) return;
    try {
      PosixFile::Close();
    } catch (...) {
      GiveUp();
      throw;
    }
    CleanupSignalsHeld held;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
      int error_number = errno;
      ::unlink(temp_.c_str());
      UnregisterCleanupPath(temp_.c_str());
      temp_.clear();
      Fail(error_number);
    }
    UnregisterCleanupPath(temp_.c_str());
    temp_.clear();
  }

 private:
  void GiveUp() noexcept {
    CleanupSignalsHeld held;
    ::unlink(temp_.c_str());
    UnregisterCleanupPath(temp_.c_str());
    temp_.clear();
  }

  std::string temp_;
  std::string target_;
};

// The permissions a newly created file gets from the umask; mkstemp makes
// its files 0600 whatever the umask says.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A file in `dir` that has no name at any moment (O_TMPFILE), so that no
// way of ending the process, SIGKILL included, can leave one behind;
// O_EXCL keeps anyone from giving it a name later. A descriptor, or -1
// with errno set.
int OpenNamelessTempFile(const std::string& dir) {
#ifdef O_TMPFILE
  int fd;
  do {
    fd = ::open(dir.c_str(), O_TMPFILE | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
#else
  (void)dir;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

// The errors with which a kernel or a file system that cannot make
// nameless files refuses O_TMPFILE.
bool NamelessFilesRefused(int error_number) {
  return error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL;
}

// Where nameless files are refused: a file made under a unique name that
// is removed at once. No caught signal can fall between the two calls, but
// SIGKILL can, and then the empty file stays. A descriptor, or -1 with
// errno set.
int OpenTempFileAndDropName(const std::string& dir) {
  std::string name = dir + "/~qdpXXXXXX";
  CleanupSignalsHeld held;
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    int fd = OpenWithoutWaiting(path, O_RDONLY);
    if (fd < 0) ThrowErrno(errno, path, FileAccess::kRead);
    auto file = std::make_unique<PosixFile>(fd, path, FileAccess::kRead);
    // The reader positions and measures the file, which a pipe, a fifo, a
    // socket or a device cannot do; they get what a pipe gets.
    struct stat st;
    if (::fstat(fd, &st) != 0) ThrowErrno(errno, path, FileAccess::kRead);
    if (!S_ISREG(st.st_mode)) ThrowErrno(ESPIPE, path, FileAccess::kRead);
    return file;
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path) override {
    // Without waiting, a fifo that nobody reads fails at once (ENXIO)
    // instead of holding the run until someone does. A new file is made
    // apart from opening an existing one, so that a failure in the rest of
    // this step takes away only a file that the run itself made.
    int fd = OpenWithoutWaiting(path, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0 && errno == EEXIST) fd = OpenWithoutWaiting(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) ThrowErrno(errno, path, FileAccess::kWrite);
    return std::make_unique<PosixFile>(fd, path, FileAccess::kWrite);
  }

  std::unique_ptr<File> CreateReplacing(const std::string& target) override {
    // Beside the target, so that the rename stays within one file system
    // and readers of the target see the old file or the new one, never a
    // part. The name is short whatever the target's, so that a target
    // named as long as a directory entry allows still gets one.
    const size_t slash = target.find_last_of('/');
    std::string temp =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "~qdpXXXXXX";
    int fd;
    {
      CleanupSignalsHeld held;
      fd = ::mkostemp(temp.data(), O_CLOEXEC);
      if (fd >= 0) RegisterCleanupPath(temp.c_str());
    }
    if (fd < 0) ThrowErrno(errno, target, FileAccess::kWrite);
    auto file = std::make_unique<ReplacingFile>(fd, temp, target);
    if (::fchmod(fd, NewFileMode()) != 0) ThrowErrno(errno, target, FileAccess::kWrite);
    return file;
  }

  std::unique_ptr<File> MakeTempFile() override {
    const std::string dir = TempDirectory();
    int fd = OpenNamelessTempFile(dir);
    if (fd < 0 && NamelessFilesRefused(errno)) fd = OpenTempFileAndDropName(dir);
    if (fd < 0) ThrowErrno(errno, dir, FileAccess::kTemporary);
    return std::make_unique<PosixFile>(fd, dir, FileAccess::kTemporary);
  }

  void RemoveRegularFile(const std::string& path) noexcept override {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }

  void MakeDirectories(const std::string& path) override {
    // Each missing level from the top down, as mkdir -p does; a level that
    // appears meanwhile (another run making the same folder) is fine.
    // Not std::filesystem, whose stream and locale set-up every start of
    // the program would pay for.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
      const std::string level = path.substr(0, end);
      if (!level.empty() && level.back() != '/' && !IsDirectory(level) &&
          ::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
        ThrowErrno(errno, path, FileAccess::kWrite);
      }
      if (end == std::string::npos) break;
    }
    if (!IsDirectory(path)) ThrowErrno(ENOTDIR, path, FileAccess::kWrite);
  }

  bool IsExistingFile(const std::string& path) override {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  bool IsDirectory(const std::string& path) override {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::optional<FileIdentity> Identify(const std::string& path) override {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem posix;
  return posix;
}

}  // namespace qdp
