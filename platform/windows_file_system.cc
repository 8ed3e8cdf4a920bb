// The file system on Windows, through the wide Win32 calls: names are
// UTF-8 inside the program and UTF-16 at every call, so any name works.
#include <algorithm>
#include <climits>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/windows_support.h"

namespace qdp {
namespace {

// The reason an input that is not a disk file is refused with: the same
// text as for a pipe on POSIX, so that scripts see one text everywhere.
constexpr const char* kNotADiskFile = "I/O error 29";

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr size_t kMaxChunk = size_t{1} << 30;

class WindowsFile : public File {
 public:
  explicit WindowsFile(ScopedHandle handle) : handle_(std::move(handle)) {}

  size_t Read(void* data, size_t size) override {
    auto* out = static_cast<unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
      DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxChunk));
      DWORD n = 0;
      if (!::ReadFile(handle_.Get(), out + done, chunk, &n, nullptr)) ThrowLastError();
      if (n == 0) break;  // end of file
      done += n;
    }
    return done;
  }

  void Write(const void* data, size_t size) override {
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
      DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxChunk));
      DWORD n = 0;
      if (!::WriteFile(handle_.Get(), in + done, chunk, &n, nullptr)) ThrowLastError();
      // A write that takes nothing would never finish: the disk is full.
      if (n == 0) ThrowWindowsError(ERROR_DISK_FULL);
      done += n;
    }
  }

  void Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) ThrowWindowsError(ERROR_NEGATIVE_SEEK);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN)) ThrowLastError();
  }

  uint64_t Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_.Get(), &size)) ThrowLastError();
    return static_cast<uint64_t>(size.QuadPart);
  }

  void Close() override {
    if (!handle_.IsValid()) return;
    // The handle is gone whatever CloseHandle says, so it is never retried.
    if (!::CloseHandle(handle_.Release())) ThrowLastError();
  }

 private:
  ScopedHandle handle_;
};

// The UTF-16 form of `path`; a name that is not valid UTF-8 cannot name a
// file.
std::wstring WideName(const std::string& path, ThrowSite site = ThrowSite::Here()) {
  std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) {
    ThrowWindowsError(wide ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME, site);
  }
  return *wide;
}

// The volume and file index of an open file.
bool Identity(HANDLE handle, uint64_t& volume, uint64_t& index) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  volume = info.dwVolumeSerialNumber;
  index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Opens `path` to look at it only (no read or write access), sharing it
// with everyone, so that a file another program holds can still be named.
ScopedHandle OpenForQuery(const std::string& path) {
  std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) return ScopedHandle();
  return ScopedHandle(::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

class Windows : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    // Others may read the input meanwhile, but nobody may change it while
    // it is read.
    ScopedHandle handle(::CreateFileW(WideName(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) ThrowLastError();
    // The input is read with seeks: a pipe, a console or NUL cannot be.
    if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) throw InOutError(kNotADiskFile);
    return std::make_unique<WindowsFile>(std::move(handle));
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path) override {
    // An existing file is emptied rather than replaced, so that it keeps
    // its identity, attributes and permissions. Nobody else may open it
    // while it is written.
    ScopedHandle handle(::CreateFileW(WideName(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) ThrowLastError();
    if (!::SetEndOfFile(handle.Get())) ThrowLastError();
    return std::make_unique<WindowsFile>(std::move(handle));
  }

  bool IsExistingFile(const std::string& path) override {
    std::optional<std::wstring> wide = Widen(path);
    if (!wide || wide->empty()) return false;
    DWORD attributes = ::GetFileAttributesW(wide->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool IsSameFile(const std::string& a, const std::string& b) override {
    ScopedHandle first = OpenForQuery(a);
    ScopedHandle second = OpenForQuery(b);
    uint64_t volume_a, index_a, volume_b, index_b;
    if (!first.IsValid() || !second.IsValid() || !Identity(first.Get(), volume_a, index_a) ||
        !Identity(second.Get(), volume_b, index_b)) {
      return false;
    }
    return volume_a == volume_b && index_a == index_b;
  }

  std::string TempDirectory() override {
    std::wstring dir = TempPath();
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    return Narrow(dir);
  }

  TempFile MakeTempFile() override {
    // The system picks a name nobody holds ("~XXXX.tmp") and creates the
    // file in one step.
    std::wstring dir = TempPath();
    std::vector<wchar_t> name(MAX_PATH + 1, L'\0');
    if (::GetTempFileNameW(dir.c_str(), L"~", 0, name.data()) == 0) ThrowLastError();
    std::string path = Narrow(name.data());
    ScopedHandle handle = OpenForQuery(path);
    uint64_t volume = 0, index = 0;
    if (!handle.IsValid() || !Identity(handle.Get(), volume, index)) {
      DWORD error = ::GetLastError();
      ::DeleteFileW(name.data());
      ThrowWindowsError(error);
    }
    return TempFile{path, volume, index};
  }

  std::unique_ptr<File> ReopenTempFile(const TempFile& temp, bool for_writing) override {
    // A link put in the file's place is opened as itself, not followed,
    // and then refused below as another file. Others may only delete it:
    // its name is given up while it is still open, as on POSIX.
    ScopedHandle handle(::CreateFileW(
        WideName(temp.path).c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.IsValid()) ThrowLastError();
    uint64_t volume = 0, index = 0;
    if (!Identity(handle.Get(), volume, index)) ThrowLastError();
    if (volume != temp.device || index != temp.inode ||
        ::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
      ThrowWindowsError(ERROR_ACCESS_DENIED);
    }
    if (for_writing && !::SetEndOfFile(handle.Get())) ThrowLastError();
    return std::make_unique<WindowsFile>(std::move(handle));
  }

  void Remove(const std::string& path) noexcept override {
    std::optional<std::wstring> wide = Widen(path);
    if (wide && !wide->empty()) ::DeleteFileW(wide->c_str());
  }

 private:
  // GetTempPathW: %TMP%, else %TEMP%, else the user's folder, else the
  // Windows folder; it ends in a backslash.
  static std::wstring TempPath() {
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
      buffer.assign(length + 1, L'\0');
      length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) ThrowLastError();
    return std::wstring(buffer.data(), length);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static Windows windows;
  return windows;
}

}  // namespace qdp
