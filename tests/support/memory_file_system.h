// Test support: an in-memory file system whose operations can be made to
// fail on purpose, to test that every failure is reported, nothing after it
// is written, and nothing half-written is left.
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
  // Names in the order they were created for writing (or, for a file
  // written whole by CreateReplacing, put in place).
  std::vector<std::string> created;
  // Names removed by RemoveRegularFile, in order.
  std::vector<std::string> removed;
  // The size of every write, by file name.
  std::map<std::string, std::vector<size_t>> write_sizes;
  // Temporary files have no name on disk; here they are known as
  // temp_directory + "/~N" (N counting from 1) so that tests can look at
  // them and make them fail. They never appear in `files`.
  std::map<std::string, Bytes> temp_files;
  int temp_counter = 0;
  std::string temp_directory = "/mem/tmp";

  // Failures to inject: the named file's open, create, write or close
  // fails with the given reason. A write fails once `write_limit` bytes
  // are in the file. `fail_temp`, when set, is the reason every temporary
  // file cannot be made.
  std::map<std::string, std::string> fail_open;
  std::map<std::string, std::string> fail_create;
  std::map<std::string, std::string> fail_write;
  std::map<std::string, std::string> fail_close;
  std::string fail_temp;
  size_t write_limit = 0;

  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> CreateForWriting(const std::string& path) override;
  std::unique_ptr<File> CreateReplacing(const std::string& target) override;
  std::unique_ptr<File> MakeTempFile() override;
  void RemoveRegularFile(const std::string& path) noexcept override;
  void MakeDirectories(const std::string& path) override;
  bool IsExistingFile(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  std::optional<FileIdentity> Identify(const std::string& path) override;
};

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_MEMORY_FILE_SYSTEM_H_
