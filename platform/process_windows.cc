#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/process.h"
#include "platform/windows_support.h"
// After windows.h, which it needs.
#include <shellapi.h>

namespace qdp {
namespace {

// The program file's name without its folder, whatever the command line
// called it.
std::string ModuleName() {
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "qdpext.exe";
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      size_t separator = path.find_last_of(L"\\/");
      return Narrow(separator == std::wstring::npos ? path : path.substr(separator + 1));
    }
    buffer.resize(buffer.size() * 2);  // the name was cut short
  }
}

}  // namespace

std::vector<std::string> StartProgram(int, char**) {
  // In text mode the C runtime writes "\n" as "\r\n", so the CR LF lines
  // of the usage text and the report would end in CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);

  // main()'s argv is in the ANSI code page, which cannot hold every name:
  // the wide command line can.
  std::vector<std::string> args{ModuleName()};
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  return args;
}

}  // namespace qdp
