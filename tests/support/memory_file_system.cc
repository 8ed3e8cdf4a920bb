#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/error.h"

namespace qdp::testing {
namespace {

class MemoryFile : public File {
 public:
  // `bytes` is a node of one of the file system's maps, which keeps its
  // place when other files come and go.
  MemoryFile(MemoryFileSystem& fs, std::string name, Bytes& bytes, bool writing, FileAccess access)
      : fs_(fs),
        name_(std::move(name)),
        bytes_(bytes),
        writing_(writing),
        access_(access) {}

  size_t Read(void* data, size_t size) override {
    const Bytes& bytes = bytes_;
    if (position_ >= bytes.size()) return 0;
    size_t n = std::min<size_t>(size, bytes.size() - position_);
    std::memcpy(data, bytes.data() + position_, n);
    position_ += n;
    return n;
  }

  void Write(const void* data, size_t size) override {
    Bytes& bytes = bytes_;
    fs_.write_sizes[name_].push_back(size);
    auto failure = fs_.fail_write.find(name_);
    if (failure != fs_.fail_write.end() && bytes.size() + size > fs_.write_limit) {
      size_t room = fs_.write_limit > bytes.size() ? fs_.write_limit - bytes.size() : 0;
      const auto* in = static_cast<const uint8_t*>(data);
      bytes.insert(bytes.end(), in, in + room);
      throw InOutError(failure->second, name_, access_);
    }
    if (bytes.size() < position_ + size) bytes.resize(position_ + size);
    if (size != 0) std::memcpy(bytes.data() + position_, data, size);  // data() may be null
    position_ += size;
  }

  void Seek(uint64_t offset) override { position_ = offset; }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    auto failure = fs_.fail_close.find(name_);
    if (writing_ && failure != fs_.fail_close.end()) {
      throw InOutError(failure->second, name_, access_);
    }
  }

 protected:
  MemoryFileSystem& fs_;
  std::string name_;
  Bytes& bytes_;

 private:
  bool writing_;
  FileAccess access_;
  uint64_t position_ = 0;
  bool closed_ = false;
};

// Holds its bytes apart and puts them under the target's name only when
// closed without failure.
class ReplacingMemoryFile : public MemoryFile {
 public:
  ReplacingMemoryFile(MemoryFileSystem& fs, const std::string& target)
      : MemoryFile(fs, target, staged_, true, FileAccess::kWrite) {}
  void Close() override {
    MemoryFile::Close();
    fs_.files[name_] = staged_;
    fs_.created.push_back(name_);
  }

 private:
  Bytes staged_;
};

}  // namespace

std::unique_ptr<File> MemoryFileSystem::OpenForReading(const std::string& path) {
  if (auto failure = fail_open.find(path); failure != fail_open.end()) {
    throw InOutError(failure->second, path, FileAccess::kRead);
  }
  auto file = files.find(path);
  if (file == files.end()) throw InOutError("File not found", path, FileAccess::kRead);
  return std::make_unique<MemoryFile>(*this, path, file->second, false, FileAccess::kRead);
}

std::unique_ptr<File> MemoryFileSystem::CreateForWriting(const std::string& path) {
  if (auto failure = fail_create.find(path); failure != fail_create.end()) {
    throw InOutError(failure->second, path, FileAccess::kWrite);
  }
  if (directories.count(path) != 0) {
    throw InOutError("File access denied", path, FileAccess::kWrite);
  }
  Bytes& bytes = files[path];
  bytes.clear();
  created.push_back(path);
  return std::make_unique<MemoryFile>(*this, path, bytes, true, FileAccess::kWrite);
}

std::unique_ptr<File> MemoryFileSystem::CreateReplacing(const std::string& target) {
  if (auto failure = fail_create.find(target); failure != fail_create.end()) {
    throw InOutError(failure->second, target, FileAccess::kWrite);
  }
  if (directories.count(target) != 0) {
    throw InOutError("File access denied", target, FileAccess::kWrite);
  }
  return std::make_unique<ReplacingMemoryFile>(*this, target);
}

std::unique_ptr<File> MemoryFileSystem::MakeTempFile() {
  if (!fail_temp.empty()) throw InOutError(fail_temp, temp_directory, FileAccess::kTemporary);
  std::string name = temp_directory + "/~" + std::to_string(++temp_counter);
  Bytes& bytes = temp_files[name];
  return std::make_unique<MemoryFile>(*this, name, bytes, true, FileAccess::kTemporaryWrite);
}

void MemoryFileSystem::RemoveRegularFile(const std::string& path) noexcept {
  if (files.erase(path) != 0) removed.push_back(path);
}

void MemoryFileSystem::MakeDirectories(const std::string& path) {
  if (auto failure = fail_create.find(path); failure != fail_create.end()) {
    throw InOutError(failure->second, path, FileAccess::kWrite);
  }
  if (files.count(path) != 0) throw InOutError("Invalid filename", path, FileAccess::kWrite);
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    directories.insert(path.substr(0, slash));
  }
  directories.insert(path);
}

bool MemoryFileSystem::IsExistingFile(const std::string& path) { return files.count(path) != 0; }

bool MemoryFileSystem::IsDirectory(const std::string& path) { return directories.count(path) != 0; }

std::optional<FileIdentity> MemoryFileSystem::Identify(const std::string& path) {
  if (files.count(path) == 0 && directories.count(path) == 0) return std::nullopt;
  return FileIdentity{1, std::hash<std::string>{}(path)};
}

}  // namespace qdp::testing
