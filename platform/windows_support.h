// Pieces the Windows layer shares: text conversion between the program's
// UTF-8 and the UTF-16 of the Win32 calls, the reasons for Win32 error
// numbers, and a handle that closes itself. Only platform/ includes it.
#ifndef QDPEXT_PLATFORM_WINDOWS_SUPPORT_H_
#define QDPEXT_PLATFORM_WINDOWS_SUPPORT_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>
#include <string>

#include "platform/error.h"

namespace qdp {

// UTF-8 to UTF-16; nothing when `text` is not valid UTF-8.
std::optional<std::wstring> Widen(const std::string& text);
// UTF-16 to UTF-8.
std::string Narrow(const std::wstring& text);

// The reason text for a GetLastError() number: the same texts as on POSIX
// for the same kinds of failure, else "I/O error N" with the Windows
// number (32 for a file someone else holds open).
std::string ReasonForWindowsError(DWORD error);

// Throws the InOutError for `error`, or for the calling thread's last
// error, about `path`.
[[noreturn]] void ThrowWindowsError(DWORD error, const std::string& path, FileAccess access,
                                    ThrowSite site = ThrowSite::Here());
[[noreturn]] inline void ThrowLastError(const std::string& path, FileAccess access,
                                        ThrowSite site = ThrowSite::Here()) {
  ThrowWindowsError(::GetLastError(), path, access, site);
}

// The two calls through which the layer takes disk space, so that a test
// can stand a full disk in for them; they are WriteFile and SetEndOfFile
// otherwise.
struct DiskSpaceCalls {
  BOOL(WINAPI* write_file)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::WriteFile;
  BOOL(WINAPI* set_end_of_file)(HANDLE) = ::SetEndOfFile;
};
DiskSpaceCalls& DiskSpace();

// Owns a HANDLE and closes it when it goes away.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  void Reset() {
    if (IsValid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_WINDOWS_SUPPORT_H_
