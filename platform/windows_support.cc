#include "platform/windows_support.h"

#include <climits>

namespace qdp {

std::optional<std::wstring> Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  int length = static_cast<int>(text.size());
  int wide_length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                        wide_length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  int length = static_cast<int>(text.size());
  int narrow_length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (narrow_length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(narrow_length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), narrow_length, nullptr,
                        nullptr);
  return narrow;
}

std::string ReasonForWindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return "File not found";
    // A name the file system cannot resolve as written: a folder on the way
    // that is missing or is a file (ERROR_DIRECTORY, as where %TMP% names
    // a file), a drive that does not exist, characters it does not accept,
    // too long, a loop of links.
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_RESOLVE_FILENAME:
      return "Invalid filename";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "Too many open files";
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:  // a read-only medium
      return "File access denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(error);
  }
}

DiskSpaceCalls& DiskSpace() {
  static DiskSpaceCalls calls;
  return calls;
}

void ThrowWindowsError(DWORD error, const std::string& path, FileAccess access, ThrowSite site) {
  throw InOutError(ReasonForWindowsError(error), path, access, site);
}

}  // namespace qdp
