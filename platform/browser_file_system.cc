// The file system of the browser build: every file in memory (see
// browser_files.h). Its failures are those a disk gives, with the same
// reasons as on the other systems.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/browser_files.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace qdp {
namespace {

// The reasons the other systems give for the same failures.
constexpr const char* kNotFound = "File not found";
constexpr const char* kInvalidName = "Invalid filename";
constexpr const char* kAccessDenied = "File access denied";
// An input that is not a regular file gets the reason a pipe gets on POSIX.
constexpr const char* kNotAFile = "I/O error 29";

struct Entry {
  std::vector<uint8_t> bytes;
  uint64_t id = 0;
};

// The folder that holds `normal` (a normalised path): "." or "/" at the top.
std::string Parent(const std::string& normal) {
  const size_t slash = normal.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : normal.substr(0, slash);
}

class Disk {
 public:
  std::shared_ptr<Entry> Find(const std::string& normal) const {
    auto file = files_.find(normal);
    return file == files_.end() ? nullptr : file->second;
  }
  bool IsDirectory(const std::string& normal) const {
    return normal == "." || normal == "/" || directories_.count(normal) != 0;
  }
  std::shared_ptr<Entry> MakeEntry() {
    auto entry = std::make_shared<Entry>();
    entry->id = ++last_id_;
    return entry;
  }
  // Puts `entry` at `normal`, replacing any file there.
  void Place(const std::string& normal, std::shared_ptr<Entry> entry) {
    if (files_.count(normal) == 0) order_.push_back(normal);
    files_[normal] = std::move(entry);
  }
  void Remove(const std::string& normal) {
    if (files_.erase(normal) != 0) order_.erase(std::find(order_.begin(), order_.end(), normal));
  }
  void AddDirectory(const std::string& normal) { directories_.emplace(normal, ++last_id_); }
  std::optional<FileIdentity> Identify(const std::string& normal) const {
    if (std::shared_ptr<Entry> entry = Find(normal)) return FileIdentity{0, entry->id};
    if (auto dir = directories_.find(normal); dir != directories_.end()) {
      return FileIdentity{0, dir->second};
    }
    if (normal == "." || normal == "/") return FileIdentity{1, normal == "/" ? 1u : 0u};
    return std::nullopt;
  }
  const std::vector<std::string>& Order() const { return order_; }
  void Clear() {
    files_.clear();
    directories_.clear();
    order_.clear();
  }

 private:
  std::map<std::string, std::shared_ptr<Entry>> files_;
  std::map<std::string, uint64_t> directories_;
  std::vector<std::string> order_;
  uint64_t last_id_ = 0;
};

Disk& TheDisk() {
  static Disk disk;
  return disk;
}

class MemoryFile : public File {
 public:
  // Nothing a file in memory does can fail short of memory itself.
  explicit MemoryFile(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}

  size_t Read(void* data, size_t size) override {
    const std::vector<uint8_t>& bytes = entry_->bytes;
    if (position_ >= bytes.size()) return 0;
    const size_t count = std::min<uint64_t>(size, bytes.size() - position_);
    std::memcpy(data, bytes.data() + position_, count);
    position_ += count;
    return count;
  }

  void Write(const void* data, size_t size) override {
    std::vector<uint8_t>& bytes = entry_->bytes;
    if (bytes.size() < position_ + size) bytes.resize(position_ + size);
    if (size != 0) std::memcpy(bytes.data() + position_, data, size);
    position_ += size;
  }

  void Seek(uint64_t offset) override { position_ = offset; }
  void Close() override {}

 protected:
  const std::shared_ptr<Entry>& TheEntry() const { return entry_; }

 private:
  std::shared_ptr<Entry> entry_;
  uint64_t position_ = 0;
};

// A file that takes the place of its target only when closed.
class ReplacingFile : public MemoryFile {
 public:
  ReplacingFile(std::shared_ptr<Entry> entry, std::string target)
      : MemoryFile(std::move(entry)),
        target_(std::move(target)) {}

  void Close() override {
    if (placed_) return;
    placed_ = true;
    TheDisk().Place(Normalised(target_), TheEntry());
  }

 private:
  std::string target_;
  bool placed_ = false;
};

class BrowserFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    const std::string normal = Normalised(path);
    if (std::shared_ptr<Entry> entry = TheDisk().Find(normal)) {
      return std::make_unique<MemoryFile>(entry);
    }
    if (TheDisk().IsDirectory(normal)) throw InOutError(kNotAFile, path, FileAccess::kRead);
    throw InOutError(kNotFound, path, FileAccess::kRead);
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path) override {
    const std::string normal = WritableName(path);
    std::shared_ptr<Entry> entry = TheDisk().Find(normal);
    if (entry) {
      entry->bytes.clear();
    } else {
      entry = TheDisk().MakeEntry();
      TheDisk().Place(normal, entry);
    }
    return std::make_unique<MemoryFile>(entry);
  }

  std::unique_ptr<File> CreateReplacing(const std::string& target) override {
    WritableName(target);
    return std::make_unique<ReplacingFile>(TheDisk().MakeEntry(), target);
  }

  std::unique_ptr<File> MakeTempFile() override {
    return std::make_unique<MemoryFile>(TheDisk().MakeEntry());
  }

  void RemoveRegularFile(const std::string& path) noexcept override {
    TheDisk().Remove(Normalised(path));
  }

  void MakeDirectories(const std::string& path) override {
    const std::string normal = Normalised(path);
    std::vector<std::string> missing;
    for (std::string level = normal; !TheDisk().IsDirectory(level); level = Parent(level)) {
      if (TheDisk().Find(level)) throw InOutError(kInvalidName, path, FileAccess::kWrite);
      missing.push_back(level);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
      TheDisk().AddDirectory(*level);
    }
  }

  bool IsExistingFile(const std::string& path) override {
    return !path.empty() && TheDisk().Find(Normalised(path)) != nullptr;
  }

  bool IsDirectory(const std::string& path) override {
    return !path.empty() && TheDisk().IsDirectory(Normalised(path));
  }

  std::optional<FileIdentity> Identify(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    return TheDisk().Identify(Normalised(path));
  }

 private:
  // The normalised name of `path` when a file may be written there: not a
  // folder, and in a folder that exists.
  static std::string WritableName(const std::string& path) {
    const std::string normal = Normalised(path);
    if (path.empty()) throw InOutError(kNotFound, path, FileAccess::kWrite);
    if (TheDisk().IsDirectory(normal)) throw InOutError(kAccessDenied, path, FileAccess::kWrite);
    const std::string parent = Parent(normal);
    if (!TheDisk().IsDirectory(parent)) {
      throw InOutError(TheDisk().Find(parent) ? kInvalidName : kNotFound, path, FileAccess::kWrite);
    }
    return normal;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static BrowserFileSystem browser;
  return browser;
}

namespace browser {

void PutFile(const std::string& path, std::vector<uint8_t> bytes) {
  std::shared_ptr<Entry> entry = TheDisk().MakeEntry();
  entry->bytes = std::move(bytes);
  TheDisk().Place(Normalised(path), std::move(entry));
}

std::vector<std::string> FileNames() { return TheDisk().Order(); }

const std::vector<uint8_t>* FileBytes(const std::string& path) {
  std::shared_ptr<Entry> entry = TheDisk().Find(Normalised(path));
  return entry ? &entry->bytes : nullptr;
}

void ClearFiles() { TheDisk().Clear(); }

}  // namespace browser
}  // namespace qdp
