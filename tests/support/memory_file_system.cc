#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cstring>

#include "platform/error.h"

namespace qdp::testing {
namespace {

class MemoryFile : public File {
 public:
  // The bytes live in a node of `fs.files`, which keeps its place when
  // other files come and go, and when the file is removed (see Remove).
  MemoryFile(MemoryFileSystem& fs, std::string name, bool writing)
      : fs_(fs),
        name_(std::move(name)),
        bytes_(fs.files[name_]),
        writing_(writing) {}

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
      throw InOutError(failure->second);
    }
    if (bytes.size() < position_ + size) bytes.resize(position_ + size);
    if (size != 0) std::memcpy(bytes.data() + position_, data, size);  // data() may be null
    position_ += size;
  }

  void Seek(uint64_t offset) override { position_ = offset; }
  uint64_t Size() override { return bytes_.size(); }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    auto failure = fs_.fail_close.find(name_);
    if (writing_ && failure != fs_.fail_close.end()) throw InOutError(failure->second);
  }

 private:
  MemoryFileSystem& fs_;
  std::string name_;
  Bytes& bytes_;
  bool writing_;
  uint64_t position_ = 0;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<File> MemoryFileSystem::OpenForReading(const std::string& path) {
  if (auto failure = fail_open.find(path); failure != fail_open.end()) {
    throw InOutError(failure->second);
  }
  if (files.count(path) == 0) throw InOutError("File not found");
  return std::make_unique<MemoryFile>(*this, path, false);
}

std::unique_ptr<File> MemoryFileSystem::CreateForWriting(const std::string& path) {
  if (auto failure = fail_create.find(path); failure != fail_create.end()) {
    throw InOutError(failure->second);
  }
  if (directories.count(path) != 0) throw InOutError("File access denied");
  files[path].clear();
  created.push_back(path);
  return std::make_unique<MemoryFile>(*this, path, true);
}

bool MemoryFileSystem::IsExistingFile(const std::string& path) { return files.count(path) != 0; }

bool MemoryFileSystem::IsSameFile(const std::string& a, const std::string& b) {
  return a == b && files.count(a) != 0;
}

TempFile MemoryFileSystem::MakeTempFile() {
  std::string name = temp_directory + "/~" + std::to_string(++temp_counter);
  files[name].clear();
  uint64_t inode = 1000 + static_cast<uint64_t>(temp_counter);
  inodes[name] = inode;
  return TempFile{name, 1, inode};
}

std::unique_ptr<File> MemoryFileSystem::ReopenTempFile(const TempFile& temp, bool for_writing) {
  if (files.count(temp.path) == 0) throw InOutError("File not found");
  auto inode = inodes.find(temp.path);
  if (temp.device != 1 || inode == inodes.end() || inode->second != temp.inode) {
    throw InOutError("File access denied");
  }
  return for_writing ? CreateForWriting(temp.path) : OpenForReading(temp.path);
}

void MemoryFileSystem::Remove(const std::string& path) noexcept {
  if (files.count(path) == 0) return;
  removed.push_back(files.extract(path));
  inodes.erase(path);
}

const Bytes& MemoryFileSystem::RemovedFile(const std::string& path) const {
  for (auto node = removed.rbegin(); node != removed.rend(); ++node) {
    if (node->key() == path) return node->mapped();
  }
  static const Bytes kNone;
  return kNone;
}

}  // namespace qdp::testing
