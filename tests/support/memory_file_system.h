// Test support: an in-memory file system whose operations can be made to
// fail on purpose, to test that every failure is reported and nothing
// after it is written.
#ifndef QDPEXT_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
#define QDPEXT_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/project_builder.h"

namespace qdp::testing {

class MemoryFileSystem : public FileSystem {
 public:
  // The files, by name. Tests put inputs here and read outputs back.
  std::map<std::string, Bytes> files;
  std::set<std::string> directories;
  // Names in the order they were created for writing.
  std::vector<std::string> created;
  // The size of every write, by file name.
  std::map<std::string, std::vector<size_t>> write_sizes;
  // Removed files, latest last: a file stays readable while it is open,
  // and tests can still look at what it held.
  std::vector<std::map<std::string, Bytes>::node_type> removed;
  // Identity of every file made by MakeTempFile; a test may change one to
  // act as someone who swapped the file.
  std::map<std::string, uint64_t> inodes;

  // Failures to inject: the named file's create, write or close fails with
  // the given reason. A write fails once `write_limit` bytes are in the file.
  std::map<std::string, std::string> fail_open;
  std::map<std::string, std::string> fail_create;
  std::map<std::string, std::string> fail_write;
  std::map<std::string, std::string> fail_close;
  size_t write_limit = 0;

  std::string temp_directory = "/mem/tmp";
  int temp_counter = 0;

  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> CreateForWriting(const std::string& path) override;
  bool IsExistingFile(const std::string& path) override;
  bool IsSameFile(const std::string& a, const std::string& b) override;
  std::string TempDirectory() override { return temp_directory; }
  TempFile MakeTempFile() override;
  std::unique_ptr<File> ReopenTempFile(const TempFile& temp, bool for_writing) override;
  void Remove(const std::string& path) noexcept override;
  // What a removed file held when it was removed (the last one of that name).
  const Bytes& RemovedFile(const std::string& path) const;
};

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
