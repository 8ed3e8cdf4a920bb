// The file system of the browser build: every file in memory, on a disk
// its owner makes (see browser_files.h). Its failures are those a disk gives, with the same
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
  std::vector<uint8_t> Bytes;
  uint64_t Id = 0;
};

// The folder that holds `normal` (a normalised path): "." or "/" at the top.
std::string Parent(const std::string& normal) {
  const size_t slash = normal.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : normal.substr(0, slash);
}

}  // namespace

class BrowserDisk::Disk {
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
    entry->Id = ++last_id_;
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
    if (std::shared_ptr<Entry> entry = Find(normal)) return FileIdentity{0, entry->Id};
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

namespace {

class MemoryFile : public File {
 public:
  // Nothing a file in memory does can fail short of memory itself.
  explicit MemoryFile(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}

  size_t Read(void* data, size_t size) override {
    const std::vector<uint8_t>& bytes = entry_->Bytes;
    if (position_ >= bytes.size()) return 0;
    const size_t count = std::min<uint64_t>(size, bytes.size() - position_);
    std::memcpy(data, bytes.data() + position_, count);
    position_ += count;
    return count;
  }

  void Write(const void* data, size_t size) override {
    std::vector<uint8_t>& bytes = entry_->Bytes;
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

// A file that takes the place of its target on `disk` only when closed.
template <typename Disk>
class ReplacingFile : public MemoryFile {
 public:
  ReplacingFile(Disk& disk, std::shared_ptr<Entry> entry, std::string target)
      : MemoryFile(std::move(entry)),
        disk_(disk),
        target_(std::move(target)) {}

  void Close() override {
    if (placed_) return;
    placed_ = true;
    disk_.Place(Normalised(target_), TheEntry());
  }

 private:
  Disk& disk_;
  std::string target_;
  bool placed_ = false;
};

}  // namespace

BrowserDisk::BrowserDisk() : disk_(std::make_unique<Disk>()) {}
BrowserDisk::~BrowserDisk() = default;

std::unique_ptr<File> BrowserDisk::OpenForReading(const std::string& path) {
  const std::string normal = Normalised(path);
  if (std::shared_ptr<Entry> entry = disk_->Find(normal)) {
    return std::make_unique<MemoryFile>(entry);
  }
  if (disk_->IsDirectory(normal)) throw InOutError(kNotAFile, path, FileAccess::kRead);
  throw InOutError(kNotFound, path, FileAccess::kRead);
}

std::unique_ptr<File> BrowserDisk::CreateForWriting(const std::string& path) {
  const std::string normal = WritableName(path);
  std::shared_ptr<Entry> entry = disk_->Find(normal);
  if (entry) {
    entry->Bytes.clear();
  } else {
    entry = disk_->MakeEntry();
    disk_->Place(normal, entry);
  }
  return std::make_unique<MemoryFile>(entry);
}

std::unique_ptr<File> BrowserDisk::CreateReplacing(const std::string& target) {
  WritableName(target);
  return std::make_unique<ReplacingFile<Disk>>(*disk_, disk_->MakeEntry(), target);
}

std::unique_ptr<File> BrowserDisk::MakeTempFile() {
  return std::make_unique<MemoryFile>(disk_->MakeEntry());
}

void BrowserDisk::RemoveRegularFile(const std::string& path) noexcept {
  disk_->Remove(Normalised(path));
}

void BrowserDisk::MakeDirectories(const std::string& path) {
  const std::string normal = Normalised(path);
  std::vector<std::string> missing;
  for (std::string level = normal; !disk_->IsDirectory(level); level = Parent(level)) {
    if (disk_->Find(level)) throw InOutError(kInvalidName, path, FileAccess::kWrite);
    missing.push_back(level);
  }
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    disk_->AddDirectory(*level);
  }
}

bool BrowserDisk::IsExistingFile(const std::string& path) {
  return !path.empty() && disk_->Find(Normalised(path)) != nullptr;
}

bool BrowserDisk::IsDirectory(const std::string& path) {
  return !path.empty() && disk_->IsDirectory(Normalised(path));
}

std::optional<FileIdentity> BrowserDisk::Identify(const std::string& path) {
  if (path.empty()) return std::nullopt;
  return disk_->Identify(Normalised(path));
}

std::string BrowserDisk::WritableName(const std::string& path) const {
  const std::string normal = Normalised(path);
  if (path.empty()) throw InOutError(kNotFound, path, FileAccess::kWrite);
  if (disk_->IsDirectory(normal)) throw InOutError(kAccessDenied, path, FileAccess::kWrite);
  const std::string parent = Parent(normal);
  if (!disk_->IsDirectory(parent)) {
    throw InOutError(disk_->Find(parent) ? kInvalidName : kNotFound, path, FileAccess::kWrite);
  }
  return normal;
}

void BrowserDisk::PutFile(const std::string& path, std::vector<uint8_t> bytes) {
  std::shared_ptr<Entry> entry = disk_->MakeEntry();
  entry->Bytes = std::move(bytes);
  disk_->Place(Normalised(path), std::move(entry));
}

std::vector<std::string> BrowserDisk::FileNames() const { return disk_->Order(); }

const std::vector<uint8_t>* BrowserDisk::FileBytes(const std::string& path) const {
  std::shared_ptr<Entry> entry = disk_->Find(Normalised(path));
  return entry ? &entry->Bytes : nullptr;
}

void BrowserDisk::Clear() { disk_->Clear(); }

}  // namespace qdp
