#include "tests/support/windows_process.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <map>
#include <stdexcept>
#include <thread>

namespace qdp::testing {
namespace {

std::wstring Wide(const std::string& text) { return Utf8Path(text).wstring(); }

// Everything the pipe delivers until every writer has closed it.
std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  return text;
}

// This process's environment with `env` applied, as CreateProcessW takes
// it: NAME=VALUE strings, each ended by a zero, and a zero after the last.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& env) {
  std::map<std::wstring, std::wstring> variables;  // by upper-case name
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  wchar_t* block = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    std::wstring text(entry);
    size_t equals = text.find(L'=', 1);  // names such as "=C:" start with "="
    if (equals == std::wstring::npos) continue;
    std::wstring name = text.substr(0, equals);
    std::wstring key = name;
    for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
    variables[key] = text;
  }
  ::FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : env) {
    std::wstring key = Wide(name);
    for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
    variables[key] = Wide(name) + L"=" + Wide(value);
  }
  std::wstring result;
  for (const auto& [key, text] : variables) {
    result += text;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};

}  // namespace

std::filesystem::path ThisProgramFolder() {
  std::vector<wchar_t> buffer(32768, L'\0');
  DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
}

std::filesystem::path Utf8Path(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

WindowsRun RunWindowsProgram(const std::filesystem::path& program, const std::string& arguments,
                             const std::filesystem::path& folder,
                             const std::vector<std::pair<std::string, std::string>>& env) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle out_read, out_write, err_read, err_write, null_in;
  if (!::CreatePipe(&out_read.h, &out_write.h, &inherit, 0) ||
      !::CreatePipe(&err_read.h, &err_write.h, &inherit, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  ::SetHandleInformation(out_read.h, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read.h, HANDLE_FLAG_INHERIT, 0);
  null_in.h = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in.h;
  startup.hStdOutput = out_write.h;
  startup.hStdError = err_write.h;
  std::wstring command_line = L"\"" + program.wstring() + L"\" " + Wide(arguments);
  std::wstring environment = EnvironmentBlock(env);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.wstring().c_str(),
                        &startup, &process)) {
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(::GetLastError()));
  }
  Handle thread{process.hThread}, child{process.hProcess};
  // Only the child may hold the writing ends, or the pipes never end.
  ::CloseHandle(out_write.h);
  out_write.h = nullptr;
  ::CloseHandle(err_write.h);
  err_write.h = nullptr;

  WindowsRun run;
  std::thread err_reader([&] { run.err = ReadAll(err_read.h); });
  run.out = ReadAll(out_read.h);
  err_reader.join();
  ::WaitForSingleObject(child.h, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(child.h, &code);
  run.exit_code = code;
  return run;
}

StartedProgram::StartedProgram(const std::filesystem::path& program, const std::string& arguments,
                               const std::filesystem::path& folder,
                               const std::vector<std::pair<std::string, std::string>>& env) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring command_line = L"\"" + program.wstring() + L"\" " + Wide(arguments);
  std::wstring environment = EnvironmentBlock(env);
  PROCESS_INFORMATION process{};
  // Without a console: under wine, the console host of a program ended
  // from outside outlives it, and many of them stall later starts.
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment.data(),
                        folder.wstring().c_str(), &startup, &process)) {
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(::GetLastError()));
  }
  ::CloseHandle(process.hThread);
  process_ = process.hProcess;
}

StartedProgram::~StartedProgram() {
  // Only a program still running is ended: the handle of one that has
  // ended is left alone.
  Kill(1);
  ::CloseHandle(process_);
}

void StartedProgram::Kill(uint32_t code) {
  // Only a program that still runs: under wine, ending one that has ended
  // may end another process.
  if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_, code);
  ::WaitForSingleObject(process_, INFINITE);
}

uint32_t StartedProgram::Wait() {
  ::WaitForSingleObject(process_, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace qdp::testing
