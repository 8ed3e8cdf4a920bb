// The programs' only door to files. Every stage works through FileSystem,
// so that a test can hand it a file system that fails on purpose. There is
// one implementation per system: POSIX and Windows (RealFileSystem), and
// the browser's disk in memory (BrowserDisk, made by the page's session).
// Each one's failures come out as InOutError with the same fixed reasons
// ("File not found", "Disk full", ...).
#ifndef QDPEXT_PLATFORM_FILE_SYSTEM_H_
#define QDPEXT_PLATFORM_FILE_SYSTEM_H_

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qdp {

// An open file. Every failing operation throws InOutError. A file that is
// destroyed without Close() is closed quietly (the error path).
class File {
 public:
  virtual ~File() = default;
  // Reads up to `size` bytes at the current position into `data` and
  // returns how many were delivered: fewer than asked, or none, at the end
  // of the file. Bytes of `data` beyond that count are left as they were.
  virtual size_t Read(void* data, size_t size) = 0;
  // Writes all `size` bytes; a write that cannot take them all fails.
  virtual void Write(const void* data, size_t size) = 0;
  // Positions at `offset` from the start; beyond the end is allowed, and
  // reads there deliver nothing.
  virtual void Seek(uint64_t offset) = 0;
  // Closes the file; a failing close is a failure like any other.
  virtual void Close() = 0;
};

// What tells one file on disk from another, whatever name leads to it.
struct FileIdentity {
  uint64_t Volume = 0;
  uint64_t Index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing file for reading; nobody may change it while it is
  // open. Opening never waits, and a name that does not lead to a regular
  // file on disk (a pipe, a fifo, a socket, a device) is refused with
  // "I/O error 29" before anything is read.
  virtual std::unique_ptr<File> OpenForReading(const std::string& path) = 0;
  // Creates the file, or empties an existing one, for writing. Opening
  // never waits: a fifo that nobody reads is refused at once. Devices
  // such as /dev/null are written as files are.
  virtual std::unique_ptr<File> CreateForWriting(const std::string& path) = 0;
  // Writes `target` whole or not at all: the bytes go to a new file beside
  // it, without a name where the system allows, which Close() puts in its
  // place in one step. A file destroyed without Close(), or whose Close()
  // fails, leaves `target` as it was and nothing else behind, however the
  // program ends (a kill may leave a temporary name, with the whole file,
  // only in the instant between naming it and moving it into place). An
  // existing target keeps its permissions; a link to it stays a link, and
  // its file is replaced; a device or fifo is written as CreateForWriting
  // does, and so is a file whose folder takes no new file (it is removed
  // again if writing it fails).
  virtual std::unique_ptr<File> CreateReplacing(const std::string& target) = 0;
  // A new, empty file for the program's own use while it runs, open for
  // reading and writing. Nothing of it outlives the process, however that
  // ends: its name is gone at once, or goes with its last handle.
  virtual std::unique_ptr<File> MakeTempFile() = 0;

  // Removes `path` when, looked at without following a link, it is a
  // regular file; a link, a fifo, a device or a directory is left as it is.
  // Failure is ignored: this is a clean-up on the way out of an error.
  virtual void RemoveRegularFile(const std::string& path) noexcept = 0;
  // Makes the directory `path` and any missing parents, as `mkdir -p`.
  virtual void MakeDirectories(const std::string& path) = 0;

  // True when `path` names an existing entry that is not a directory.
  virtual bool IsExistingFile(const std::string& path) = 0;
  // True when `path` names an existing directory.
  virtual bool IsDirectory(const std::string& path) = 0;
  // The identity of the file `path` leads to, when it exists.
  virtual std::optional<FileIdentity> Identify(const std::string& path) = 0;

  // True when both names exist and lead to the same file.
  bool IsSameFile(const std::string& a, const std::string& b);
};

// The process's real file system, on POSIX and Windows. The browser build
// has none: a page's files are a BrowserDisk that its session owns.
FileSystem& RealFileSystem();

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_FILE_SYSTEM_H_
