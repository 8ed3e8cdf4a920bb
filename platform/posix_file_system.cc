// The file system of POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
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
  int Descriptor() const { return fd_; }

 private:
  int fd_;
  std::string path_;
  FileAccess access_;
};

// The folder part of `path` with its slash ("dir/"), or "" for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Gives `fd`'s file the name `name`, which must be free. The file may have
// no name yet (O_TMPFILE), which only a link through /proc can name
// without privileges. False with errno set when it cannot.
bool LinkDescriptor(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A name in `folder` that is not in use yet, for a file that lives a
// moment: "~qdp-", this process's id, "-" and six letters or digits.
std::string TemporaryName(const std::string& folder) {
  thread_local unsigned long long state = 0;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  state = state * 6364136223846793005ull + static_cast<unsigned long long>(now.tv_nsec) +
          static_cast<unsigned long long>(::getpid()) * 1442695040888963407ull + 1;
  return folder + TemporaryFileName(static_cast<uint32_t>(::getpid()), state);
}

// Opens the temporary file `path`, whose name holds the process id `pid`,
// when a run that is gone left it, and so it is ours to remove: a locked
// descriptor, else -1. Two things must say so: no process has the id, and
// nobody holds the lock that every writer keeps on its temporary file while
// it lives. The id alone could be another machine's (a shared folder), and
// the lock alone is not yet taken in the instant after a named temporary
// file is made; together they never give away a live run's file.
int OpenOrphan(const std::string& path, uint32_t pid) {
  if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX) || pid == static_cast<uint32_t>(::getpid()))
    return -1;
  if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Removes from `folder` the temporary files that killed runs left there
// (only a kill in the instant between naming a finished file and moving it
// over an older one leaves one). Each folder is looked through once per
// process, before the first file is written into it. A name is removed
// only while it still leads to the file that was checked.
void RemoveOrphans(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> done;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!done.insert(folder).second) return;
  }
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::optional<uint32_t> pid = TemporaryFileProcess(entry->d_name);
    if (!pid) continue;
    const std::string path = folder + entry->d_name;
    const int fd = OpenOrphan(path, *pid);
    if (fd < 0) continue;
    struct stat held;
    struct stat named;
    if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// A file written beside its target and put in its place only when closed
// without failure, in one step: readers and a killed run see the old file
// (or none) or the new one, never a part. Where the file system allows, it
// has no name until then (O_TMPFILE), so that not even SIGKILL can leave
// it behind; elsewhere it has a temporary name from the start. A temporary
// name is registered for removal as it is made, so that a signal never
// leaves it behind, and given up in the same step as it is renamed or
// removed, so that a signal never removes a name that is no longer ours.
class ReplacingFile : public PosixFile {
 public:
  // `temp` is empty for a file without a name. `path` is the name the
  // caller gave, for the error report; `target` the file it leads to.
  ReplacingFile(int fd, std::string temp, std::string target, const std::string& path)
      : PosixFile(fd, path, FileAccess::kWrite),
        temp_(std::move(temp)),
        target_(std::move(target)) {}
  ~ReplacingFile() override {
    if (!temp_.empty()) GiveUp();
  }

  void Close() override {
    if (placed_) return;
    placed_ = true;
    if (temp_.empty()) {
      PlaceNameless();
    } else {
      PlaceNamed();
    }
  }

 private:
  // A nameless file is linked under the target's name when that is free,
  // and otherwise under a temporary name that is then renamed over it (a
  // link never replaces a name). Only a kill between that link and the
  // rename leaves the temporary name, with the whole file in it.
  void PlaceNameless() {
    if (!LinkDescriptor(Descriptor(), target_)) {
      if (errno != EEXIST) Fail(errno);
      for (int tries = 0; temp_.empty(); ++tries) {
        std::string temp = TemporaryName(FolderOf(target_));
        CleanupSignalsHeld held;
        if (LinkDescriptor(Descriptor(), temp)) {
          temp_ = std::move(temp);
          RegisterCleanupPath(temp_.c_str());
        } else if (errno != EEXIST || tries == 100) {
          Fail(errno);
        }
      }
      Rename();
    }
    PosixFile::Close();
  }

  void PlaceNamed() {
    try {
      PosixFile::Close();
    } catch (...) {
      GiveUp();
      throw;
    }
    Rename();
  }

  void Rename() {
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

  void GiveUp() noexcept {
    CleanupSignalsHeld held;
    ::unlink(temp_.c_str());
    UnregisterCleanupPath(temp_.c_str());
    temp_.clear();
  }

  std::string temp_;
  std::string target_;
  bool placed_ = false;
};

// A file emptied and written where it is, for a target that cannot be
// replaced; destroyed without a successful Close(), it is removed, so that
// no part of it stays to be taken for a whole one.
class RewrittenFile : public PosixFile {
 public:
  RewrittenFile(int fd, const std::string& path)
      : PosixFile(fd, path, FileAccess::kWrite),
        path_(path) {}
  ~RewrittenFile() override {
    if (closed_) return;
    struct stat st;
    if (::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path_.c_str());
  }
  void Close() override {
    PosixFile::Close();
    closed_ = true;
  }

 private:
  std::string path_;
  bool closed_ = false;
};

// The permissions a newly created file gets from the umask; mkstemp makes
// its files 0600 whatever the umask says.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A file in `dir` that has no name at any moment (O_TMPFILE), so that no
// way of ending the process, SIGKILL included, can leave one behind. With
// `for_good`, O_EXCL keeps anyone from giving it a name later. A
// descriptor, or -1 with errno set.
int OpenNamelessFile(const std::string& dir, bool for_good) {
#ifdef O_TMPFILE
  int fd;
  do {
    fd = ::open(dir.c_str(), O_TMPFILE | (for_good ? O_EXCL : 0) | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
#else
  (void)dir;
  (void)for_good;
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

  std::unique_ptr<File> CreateReplacing(const std::string& path) override {
    // A link stays, and the file it leads to is replaced.
    std::string target = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
      }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A device or a fifo is written as it is, never replaced by a file.
    if (exists && !S_ISREG(st.st_mode)) return CreateForWriting(path);
    // Beside the target, so that it is put in place within one file
    // system. An existing file's permissions, and its owner where the
    // system lets us, go to the new one.
    const std::string folder = FolderOf(target);
    RemoveOrphans(folder);
    int fd = -1;
    errno = EOPNOTSUPP;
    // Naming a nameless file takes /proc, which a chroot may lack.
    if (::access("/proc/self/fd", X_OK) == 0) {
      fd = OpenNamelessFile(folder.empty() ? "." : folder, false);
    }
    std::string temp;
    if (fd < 0 && NamelessFilesRefused(errno)) {
      // The name is short whatever the target's, so that a target named
      // as long as a directory entry allows still gets one.
      temp = folder + TemporaryFileName(static_cast<uint32_t>(::getpid()), 0);
      temp.replace(temp.size() - kTemporaryLetters, kTemporaryLetters, "XXXXXX");
      CleanupSignalsHeld held;
      fd = ::mkostemp(temp.data(), O_CLOEXEC);
      if (fd >= 0) RegisterCleanupPath(temp.c_str());
    }
    if (fd < 0) {
      // A folder that takes no new file, where the file itself may be
      // written: emptied and rewritten, as before files were replaced.
      if (exists && (errno == EACCES || errno == EPERM)) return RewriteInPlace(path);
      ThrowErrno(errno, path, FileAccess::kWrite);
    }
    // Held for the file's life, and so until it has its final name: a
    // later run's clean-up leaves a locked file alone. A file system
    // without locks leaves only the process id to go by.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    auto file = std::make_unique<ReplacingFile>(fd, temp, target, path);
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
      (void)!::fchown(fd, st.st_uid, st.st_gid);  // kept where allowed, else ours
    }
    if (::fchmod(fd, exists ? st.st_mode & 07777 : NewFileMode()) != 0) {
      ThrowErrno(errno, path, FileAccess::kWrite);
    }
    return file;
  }

  std::unique_ptr<File> MakeTempFile() override {
    const std::string dir = TempDirectory();
    int fd = OpenNamelessFile(dir, true);
    if (fd < 0 && NamelessFilesRefused(errno)) fd = OpenTempFileAndDropName(dir);
    if (fd < 0) ThrowErrno(errno, dir, FileAccess::kTemporary);
    return std::make_unique<PosixFile>(fd, dir, FileAccess::kTemporaryWrite);
  }

  // The existing regular file `path`, emptied for writing.
  std::unique_ptr<File> RewriteInPlace(const std::string& path) {
    int fd = OpenWithoutWaiting(path, O_WRONLY | O_TRUNC);
    if (fd < 0) ThrowErrno(errno, path, FileAccess::kWrite);
    return std::make_unique<RewrittenFile>(fd, path);
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
