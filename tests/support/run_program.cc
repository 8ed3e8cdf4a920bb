#include "tests/support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace qdp::testing {

std::vector<std::string> ProgramCommand() {
  return CommandFromEnvironment("QDP_PROGRAM", QDPEXT_BINARY);
}

std::vector<std::string> CommandFromEnvironment(const char* variable, const std::string& binary) {
  const char* command = std::getenv(variable);
  if (command == nullptr || *command == '\0') return {binary};
  std::vector<std::string> words;
  std::istringstream in(command);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string ProgramModuleName() {
  std::string program = ProgramCommand().back();
  return program.substr(program.find_last_of('/') + 1);
}

namespace {

void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
}

// In the forked child: standard streams, directory, environment, signals
// and limits, then the program. Never returns.
[[noreturn]] void ExecChild(const std::vector<std::string>& command,
                            const std::vector<std::string>& args, const std::string& cwd,
                            const Environment& env, const ChildSetup& setup, int out_fd,
                            int err_fd) {
  std::vector<std::string> copies(command);
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  dup2(out_fd, 1);
  dup2(err_fd, 2);
  if (out_fd > 2) close(out_fd);
  if (err_fd > 2 && err_fd != out_fd) close(err_fd);
  int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd >= 0) dup2(null_fd, 0);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
  for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) {
    signal(signal_number, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  if (setup.file_size_limit != 0) {
    rlimit size{setup.file_size_limit, setup.file_size_limit};
    setrlimit(RLIMIT_FSIZE, &size);
  }
  // A pending alarm survives exec.
  if (setup.time_limit != 0) alarm(setup.time_limit);
  execvp(argv[0], argv.data());
  _exit(127);
}

void Describe(int status, ProgramResult& result) {
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& cwd,
                         const Environment& env, const ChildSetup& setup) {
  return RunCommand(ProgramCommand(), args, cwd, env, setup);
}

ProgramResult RunBinary(const std::string& binary, const std::vector<std::string>& args,
                        const std::string& cwd, const Environment& env, const ChildSetup& setup) {
  return RunCommand({binary}, args, cwd, env, setup);
}

ProgramResult RunCommand(const std::vector<std::string>& command,
                         const std::vector<std::string>& args, const std::string& cwd,
                         const Environment& env, const ChildSetup& setup) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    ExecChild(command, args, cwd, env, setup, out_pipe[1], err_pipe[1]);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  ProgramResult result;
  Drain(out_pipe[0], err_pipe[0], result.out, result.err);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  Describe(status, result);
  return result;
}

pid_t StartProgram(const std::vector<std::string>& args, const std::string& cwd,
                   const Environment& env) {
  return StartCommand(ProgramCommand(), args, cwd, env);
}

pid_t StartCommand(const std::vector<std::string>& command, const std::vector<std::string>& args,
                   const std::string& cwd, const Environment& env) {
  int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd < 0) throw std::runtime_error("cannot open /dev/null");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) ExecChild(command, args, cwd, env, ChildSetup{}, null_fd, null_fd);
  close(null_fd);
  return pid;
}

ProgramResult WaitForProgram(pid_t pid, int seconds) {
  ProgramResult result;
  int status = 0;
  for (int waited_ms = 0;; waited_ms += 10) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    if (waited_ms >= seconds * 1000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    timespec pause{0, 10'000'000};
    nanosleep(&pause, nullptr);
  }
  Describe(status, result);
  return result;
}

}  // namespace qdp::testing
