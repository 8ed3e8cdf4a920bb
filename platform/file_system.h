// Disk access behind a small interface, so that every stage can be run
// against a file system that fails on purpose in tests. The real one is
// POSIX; its failures come out as InOutError with the reasons users know.
#ifndef QDPEXT_PLATFORM_FILE_SYSTEM_H_
#define QDPEXT_PLATFORM_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
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
  // The file's length in bytes.
  virtual uint64_t Size() = 0;
  // Closes the file; a failing close is a failure like any other.
  virtual void Close() = 0;
};

// A temporary file as made by FileSystem::MakeTempFile: its name, and the
// identity (device and inode) of the file made under it, so that a later
// open by name can tell whether the name still leads to that very file.
struct TempFile {
  std::string path;
  uint64_t device = 0;
  uint64_t inode = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<File> OpenForReading(const std::string& path) = 0;
  // Creates the file, or empties an existing one, for writing.
  virtual std::unique_ptr<File> CreateForWriting(const std::string& path) = 0;
  // True when `path` names an existing entry that is not a directory.
  virtual bool IsExistingFile(const std::string& path) = 0;
  // True when both names exist and are the same file on disk.
  virtual bool IsSameFile(const std::string& a, const std::string& b) = 0;
  // The system's directory for temporary files: $TMPDIR, else /tmp.
  virtual std::string TempDirectory() = 0;
  // Creates a new, empty file with a unique name beginning with "~" in the
  // temporary directory. Until Remove() gives up its name, the file is also
  // removed when a signal stops the program.
  virtual TempFile MakeTempFile() = 0;
  // Opens a file made by MakeTempFile() again by its name, for reading, or
  // emptied for writing. A symbolic link is not followed, and a name that
  // no longer leads to the file that was made is refused with InOutError:
  // in a shared temporary directory someone may have swapped it.
  virtual std::unique_ptr<File> ReopenTempFile(const TempFile& temp, bool for_writing) = 0;
  // Removes a temporary file's name, ignoring failure; an open file stays
  // readable until it is closed.
  virtual void Remove(const std::string& path) noexcept = 0;
};

// The process's real file system.
FileSystem& PosixFileSystem();
// The operating system's file system, POSIX or Windows.
FileSystem& RealFileSystem();

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_FILE_SYSTEM_H_
