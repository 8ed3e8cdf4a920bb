// The files of the browser build. A page has no disk: the programs' files
// live in memory, in a BrowserDisk that its owner (the page's session)
// makes, puts an input on by name before a run and takes out by name what
// the run wrote. It fails as the other systems' file systems do, with the
// same errors and reasons.
#ifndef QDPEXT_PLATFORM_BROWSER_FILES_H_
#define QDPEXT_PLATFORM_BROWSER_FILES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qdp {

class BrowserDisk : public FileSystem {
 public:
  BrowserDisk();
  ~BrowserDisk() override;
  BrowserDisk(const BrowserDisk&) = delete;
  BrowserDisk& operator=(const BrowserDisk&) = delete;

  // Makes `path` a file holding `bytes`, replacing any file of that name.
  void PutFile(const std::string& path, std::vector<uint8_t> bytes);
  // The files there are, in the order they were first made.
  std::vector<std::string> FileNames() const;
  // The bytes of file `path`, or null when there is none. Valid until the
  // next change to the files.
  const std::vector<uint8_t>* FileBytes(const std::string& path) const;
  // Removes every file and directory.
  void Clear();

  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> CreateForWriting(const std::string& path) override;
  std::unique_ptr<File> CreateReplacing(const std::string& target) override;
  std::unique_ptr<File> MakeTempFile() override;
  void RemoveRegularFile(const std::string& path) noexcept override;
  void MakeDirectories(const std::string& path) override;
  bool IsExistingFile(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  std::optional<FileIdentity> Identify(const std::string& path) override;

 private:
  class Disk;
  // The name `path` normalised when a file may be written there: not a
  // folder, and in a folder that exists.
  std::string WritableName(const std::string& path) const;
  std::unique_ptr<Disk> disk_;
};

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_BROWSER_FILES_H_
