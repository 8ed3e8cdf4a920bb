// The file system of Windows, through the wide Win32 calls: names are UTF-8
// inside the program and UTF-16 at every call, so that any name works.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/windows_support.h"

namespace qdp {
namespace {

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr size_t kMaxChunk = size_t{1} << 30;

// An input that is not a disk file gets the reason a pipe gets on POSIX
// (ESPIPE there), so that scripts see one text on both systems.
constexpr const char* kNotADiskFile = "I/O error 29";

// The UTF-16 form of `path`. A name that is not UTF-8 names no file.
std::wstring WideName(const std::string& path, FileAccess access,
                      ThrowSite site = ThrowSite::Here()) {
  std::optional<std::wstring> wide = Widen(path);
  if (!wide) ThrowWindowsError(ERROR_INVALID_NAME, path, access, site);
  if (wide->empty()) ThrowWindowsError(ERROR_FILE_NOT_FOUND, path, access, site);
  return *wide;
}

class WindowsFile : public File {
 public:
  WindowsFile(ScopedHandle handle, std::string path, FileAccess access)
      : handle_(std::move(handle)),
        path_(std::move(path)),
        access_(access) {}

  size_t Read(void* data, size_t size) override {
    auto* out = static_cast<unsigned char*>(data);
    size_t done = 0;
    while (done < size) {
      DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxChunk));
      DWORD n = 0;
      if (!::ReadFile(handle_.Get(), out + done, chunk, &n, nullptr)) Fail(::GetLastError());
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
      if (!DiskSpace().write_file(handle_.Get(), in + done, chunk, &n, nullptr)) {
        Fail(::GetLastError());
      }
      // A write that takes nothing would never finish: the disk is full.
      if (n == 0) Fail(ERROR_DISK_FULL);
      done += n;
    }
  }

  void Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) Fail(ERROR_NEGATIVE_SEEK);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN)) Fail(::GetLastError());
  }

  void Close() override {
    if (!handle_.IsValid()) return;
    // The handle is gone whatever CloseHandle says, so it is never retried.
    if (!::CloseHandle(handle_.Release())) Fail(::GetLastError());
  }

 protected:
  HANDLE Handle() const { return handle_.Get(); }
  [[noreturn]] void Fail(DWORD error, ThrowSite site = ThrowSite::Here()) const {
    ThrowWindowsError(error, path_, access_, site);
  }

 private:
  ScopedHandle handle_;
  std::string path_;
  FileAccess access_;
};

// Marks the file of `handle` for deletion, or lifts the mark: a marked
// file goes when its last handle closes, however the process ends, a
// forced end included. False when the system refuses.
bool MarkForDeletion(HANDLE handle, bool marked) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(marked ? TRUE : FALSE)};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// ERROR_SHARING_VIOLATION when another program holds `target` open so that
// it cannot be replaced (opened without sharing its deletion), else 0.
DWORD HeldByAnother(const std::wstring& target) {
  ScopedHandle handle(::CreateFileW(
      target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (handle.IsValid()) return 0;
  const DWORD error = ::GetLastError();
  return error == ERROR_SHARING_VIOLATION ? error : 0;
}

// A file written under a temporary name beside its target and moved into
// its place by Close(). It is marked for deletion from its first moment
// until Close() lifts the mark, so that a run ended even by force leaves
// no temporary file, short of an end in the instant between lifting the
// mark and the move; destroyed unclosed, it takes its name with it.
class ReplacingFile : public WindowsFile {
 public:
  ReplacingFile(ScopedHandle handle, std::wstring temp, std::wstring target, std::string path)
      : WindowsFile(std::move(handle), std::move(path), FileAccess::kWrite),
        temp_(std::move(temp)),
        target_(std::move(target)) {
    marked_ = MarkForDeletion(Handle(), true);
  }
  ~ReplacingFile() override {
    if (!temp_.empty()) GiveUp();
  }

  void Close() override {
    if (temp_.empty()) return;
    if (marked_ && !MarkForDeletion(Handle(), false)) {
      DWORD error = ::GetLastError();
      GiveUp();
      Fail(error);
    }
    marked_ = false;
    try {
      WindowsFile::Close();
    } catch (...) {
      GiveUp();
      throw;
    }
    if (!::MoveFileExW(temp_.c_str(), target_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      // A target another program holds is refused for what it is, a
      // sharing violation, not the "access denied" the move gives.
      DWORD error = ::GetLastError();
      if (DWORD held = HeldByAnother(target_)) error = held;
      GiveUp();
      Fail(error);
    }
    temp_.clear();
  }

 private:
  void GiveUp() noexcept {
    try {
      WindowsFile::Close();
    } catch (...) {
    }
    ::DeleteFileW(temp_.c_str());
    temp_.clear();
  }

  std::wstring temp_;
  std::wstring target_;
  bool marked_ = false;
};

// Opens `path` to look at it only (no read or write access), sharing it
// with everyone, so that a file another program holds can still be named.
// A link is followed unless `the_link_itself`.
ScopedHandle OpenForQuery(const std::string& path, DWORD access, bool the_link_itself) {
  std::optional<std::wstring> wide = Widen(path);
  if (!wide || wide->empty()) return ScopedHandle();
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (the_link_itself ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  return ScopedHandle(::CreateFileW(wide->c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr));
}

// GetTempPathW: %TMP%, else %TEMP%, else the user's folder, else the
// Windows folder. It ends in a backslash.
std::wstring TempPath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > buffer.size()) {
    buffer.assign(length + 1, L'\0');
    length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length == 0 || length > buffer.size()) return std::wstring();
  return std::wstring(buffer.data(), length);
}

// True for a name in Windows' folder of named pipes: "\\.\pipe\x",
// "\\?\pipe\x", "\\server\pipe\x" or "\\?\UNC\server\pipe\x". Such a
// name is never a disk file, whatever looking at it says: asking for its
// attributes fails, and opening it would connect to the pipe and take one
// of its instances from whoever waits there.
bool IsPipeName(const std::string& path) {
  std::string name;
  for (unsigned char c : path) name.push_back(c == '/' ? '\\' : static_cast<char>(std::tolower(c)));
  // Where the server's name starts ("." and "?" are this machine).
  size_t server = name.rfind("\\\\?\\unc\\", 0) == 0 ? 8 : name.rfind("\\\\", 0) == 0 ? 2 : 0;
  if (server == 0) return false;
  size_t end = name.find('\\', server);
  return end != std::string::npos && end > server && name.compare(end, 6, "\\pipe\\") == 0;
}

// Creates a new file in folder `dir` under a name "~XXXX.tmp" that nobody
// holds, in one call, so that the file has the `flags` it is to have (such
// as deleting itself) from its first moment. GetTempFileNameW is given the
// number, which makes it only build the name and create nothing; another
// number is tried while the name is taken. The file is opened for reading,
// writing and deleting, shared with nobody; its name is put in `name`.
ScopedHandle CreateUniqueFile(const std::wstring& dir, DWORD flags, std::wstring& name) {
  std::vector<wchar_t> buffer(dir.size() + MAX_PATH + 16, L'\0');
  // A start that differs between processes and between calls, so that
  // runs side by side rarely try the same names.
  static std::atomic<UINT> calls = 0;
  const UINT start = ::GetCurrentProcessId() * 7919u + ::GetTickCount() + calls++ * 257u;
  for (UINT tries = 0; tries < 0xFFFF; ++tries) {
    const UINT unique = (start + tries) % 0xFFFF + 1;  // never 0, which would create the file
    if (::GetTempFileNameW(dir.c_str(), L"~", unique, buffer.data()) == 0) return ScopedHandle();
    ScopedHandle handle(::CreateFileW(buffer.data(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                      nullptr, CREATE_NEW, flags, nullptr));
    if (handle.IsValid()) {
      name = buffer.data();
      return handle;
    }
    const DWORD error = ::GetLastError();
    // A folder may hold the name, which gives "access denied".
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       (error == ERROR_ACCESS_DENIED &&
                        ::GetFileAttributesW(buffer.data()) != INVALID_FILE_ATTRIBUTES);
    if (!taken) {
      ::SetLastError(error);
      return ScopedHandle();
    }
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return ScopedHandle();
}

// Creates a new file in folder `dir` (ending in a separator) under a
// temporary name of this process ("~qdp-PID-XXXXXX", see path.h) that
// nobody holds, opened for reading, writing and deleting and shared with
// nobody; its name is put in `name`. Another name is tried while one is
// taken.
ScopedHandle CreateProcessTemporary(const std::wstring& dir, std::wstring& name) {
  static std::atomic<uint64_t> calls = 0;
  const uint32_t pid = ::GetCurrentProcessId();
  uint64_t state = uint64_t{pid} * 1442695040888963407ull + ::GetTickCount64() +
                   calls++ * 6364136223846793005ull;
  for (int tries = 0; tries < 100; ++tries) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    std::optional<std::wstring> leaf = Widen(TemporaryFileName(pid, state >> 16));
    const std::wstring candidate = dir + *leaf;
    ScopedHandle handle(::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.IsValid()) {
      name = candidate;
      return handle;
    }
    const DWORD error = ::GetLastError();
    const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       (error == ERROR_ACCESS_DENIED &&
                        ::GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!taken) {
      ::SetLastError(error);
      return ScopedHandle();
    }
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return ScopedHandle();
}

// True when no running process has the id `pid`: none was found, or the
// one found has ended (someone still holds its handle).
bool ProcessIsGone(uint32_t pid) {
  if (pid == ::GetCurrentProcessId()) return false;
  ScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process.IsValid()) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  return ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

class WindowsFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    if (IsPipeName(path)) throw InOutError(kNotADiskFile, path, FileAccess::kRead);
    // Others may read the input meanwhile, but nobody may change it while
    // it is read.
    ScopedHandle handle(::CreateFileW(WideName(path, FileAccess::kRead).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) ThrowLastError(path, FileAccess::kRead);
    // The reader positions and measures the file, which a pipe, a console
    // or NUL cannot do. (A busy named pipe fails the open at once.)
    if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
      throw InOutError(kNotADiskFile, path, FileAccess::kRead);
    }
    return std::make_unique<WindowsFile>(std::move(handle), path, FileAccess::kRead);
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path) override {
    // An existing file is emptied rather than replaced, so that it keeps
    // its identity, attributes and permissions. Nobody else may open it
    // while it is written.
    ScopedHandle handle(::CreateFileW(WideName(path, FileAccess::kWrite).c_str(), GENERIC_WRITE, 0,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) ThrowLastError(path, FileAccess::kWrite);
    // A file this call made is empty already, and nothing more is done to
    // it here: a step that could fail after the file was made (emptying it
    // on a full disk does) would leave an empty side file, newer than its
    // project, that a build tool takes for up to date. An existing file
    // whose emptying fails keeps what it held.
    if (::GetLastError() == ERROR_ALREADY_EXISTS && !DiskSpace().set_end_of_file(handle.Get())) {
      ThrowLastError(path, FileAccess::kWrite);
    }
    return std::make_unique<WindowsFile>(std::move(handle), path, FileAccess::kWrite);
  }

  std::unique_ptr<File> CreateReplacing(const std::string& target) override {
    // Beside the target, so that the move stays on one volume.
    std::wstring wide_target = WideName(target, FileAccess::kWrite);
    // A side file another program holds open ends the run before anything
    // is written, as it did when side files were written in place.
    if (DWORD held = HeldByAnother(wide_target))
      ThrowWindowsError(held, target, FileAccess::kWrite);
    size_t separator = wide_target.find_last_of(L"\\/:");
    std::wstring dir =
        separator == std::wstring::npos ? L".\\" : wide_target.substr(0, separator + 1);
    RemoveOrphans(dir);
    std::wstring temp_name;
    ScopedHandle handle = CreateProcessTemporary(dir, temp_name);
    if (!handle.IsValid()) ThrowLastError(target, FileAccess::kWrite);
    return std::make_unique<ReplacingFile>(std::move(handle), temp_name, wide_target, target);
  }

  std::unique_ptr<File> MakeTempFile() override {
    const std::wstring dir = TempPath();
    const std::string dir_name = Narrow(dir);
    if (dir.empty()) ThrowLastError(dir_name, FileAccess::kTemporary);
    // Deleted when its last handle closes, whatever ends the process, a
    // kill included, and so from the call that creates it: no moment
    // exists when it is on disk without that. A link found under the name
    // is never followed (the name counts as taken).
    std::wstring name;
    ScopedHandle handle = CreateUniqueFile(
        dir, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
        name);
    if (!handle.IsValid()) ThrowLastError(dir_name, FileAccess::kTemporary);
    return std::make_unique<WindowsFile>(std::move(handle), dir_name, FileAccess::kTemporaryWrite);
  }

  void RemoveRegularFile(const std::string& path) noexcept override {
    // Looked at and deleted through one handle, so that what is deleted is
    // what was looked at: a file on disk, not a link (the link itself is
    // what would be opened), a folder or a device.
    ScopedHandle handle = OpenForQuery(path, DELETE | FILE_READ_ATTRIBUTES, true);
    if (!handle.IsValid() || ::GetFileType(handle.Get()) != FILE_TYPE_DISK) return;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle.Get(), &info)) return;
    const DWORD not_regular =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((info.dwFileAttributes & not_regular) != 0) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    ::SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &disposition,
                                 sizeof disposition);
  }

  void MakeDirectories(const std::string& path) override {
    const std::wstring wide = WideName(path, FileAccess::kWrite);
    // Each folder on the way, from the top: those that exist (a drive,
    // "C:\" or "\\server\share" among them) fail to be made and are passed.
    DWORD error = ERROR_SUCCESS;  // why the last folder could not be made
    for (size_t end = wide.find_first_of(L"\\/", 1);; end = wide.find_first_of(L"\\/", end + 1)) {
      std::wstring part = wide.substr(0, end);
      if (!part.empty() && part.back() != L':') {
        error = ::CreateDirectoryW(part.c_str(), nullptr) ? ERROR_SUCCESS : ::GetLastError();
      }
      if (end == std::wstring::npos) break;
    }
    if (!IsDirectory(path)) {
      // ERROR_ALREADY_EXISTS: a file has the name.
      if (error == ERROR_SUCCESS || error == ERROR_ALREADY_EXISTS) error = ERROR_ACCESS_DENIED;
      ThrowWindowsError(error, path, FileAccess::kWrite);
    }
  }

  bool IsExistingFile(const std::string& path) override {
    // A pipe is there to be refused by OpenForReading, which says why.
    if (IsPipeName(path)) return true;
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool IsDirectory(const std::string& path) override {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  std::optional<FileIdentity> Identify(const std::string& path) override {
    ScopedHandle handle = OpenForQuery(path, FILE_READ_ATTRIBUTES, false);
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle.IsValid() || !::GetFileInformationByHandle(handle.Get(), &info)) {
      return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }

 private:
  // Removes from folder `dir` the temporary files that runs ended by force
  // left there (only an end in the instant between lifting a finished
  // file's deletion mark and moving it into place, or between making a
  // file and marking it, leaves one). Each folder is looked through once
  // per process, before the first file is written into it. A file is taken
  // only when no running process has the id in its name and nobody holds
  // it open: a writer holds its file, unshared, until it closes it just
  // before the move, and in that instant its process is still there.
  void RemoveOrphans(const std::wstring& dir) {
    static std::mutex mutex;
    static std::set<std::wstring> done;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!done.insert(dir).second) return;
    }
    WIN32_FIND_DATAW found;
    const std::wstring pattern = dir + *Widen(kTemporaryPrefix) + L"*";
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::optional<uint32_t> pid = TemporaryFileProcess(Narrow(found.cFileName));
      if (pid && ProcessIsGone(*pid)) RemoveRegularFile(Narrow(dir + found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }

  static DWORD Attributes(const std::string& path) {
    std::optional<std::wstring> wide = Widen(path);
    if (!wide || wide->empty()) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(wide->c_str());
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static WindowsFileSystem windows;
  return windows;
}

}  // namespace qdp
