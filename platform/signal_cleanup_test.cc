#include "platform/signal_cleanup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "tests/support/project_builder.h"

namespace qdp {
namespace {

using testing::ScratchDir;

// Runs `body` in a forked child with default signal actions and returns
// its wait status.
int StatusOfChild(const std::function<void()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) signal(s, SIG_DFL);
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

void Touch(const std::string& path) { testing::WriteFileBytes(path, {1}); }

TEST(SignalCleanupTest, CaughtSignalRemovesRegisteredPathsAndStillKills) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(signal_number);
    ScratchDir dir;
    int status = StatusOfChild([&] {
      InstallSignalCleanup();
      for (const char* name : {"a", "b", "given-up"}) {
        Touch(dir.File(name));
        RegisterCleanupPath(dir.File(name).c_str());
      }
      UnregisterCleanupPath(dir.File("given-up").c_str());
      raise(signal_number);
      _exit(7);  // not reached
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(dir.List(), std::vector<std::string>{"given-up"});
  }
}

// A run under nohup (or in the background of a script) keeps the signals
// that were ignored for it ignored.
TEST(SignalCleanupTest, SignalIgnoredAtStartStaysIgnored) {
  ScratchDir dir;
  int status = StatusOfChild([&] {
    signal(SIGHUP, SIG_IGN);
    InstallSignalCleanup();
    Touch(dir.File("kept"));
    RegisterCleanupPath(dir.File("kept").c_str());
    raise(SIGHUP);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(dir.List(), std::vector<std::string>{"kept"});
}

// Over the file-size limit a write fails with EFBIG instead of the signal
// killing the process.
TEST(SignalCleanupTest, FileSizeLimitGivesAnErrorNotASignal) {
  ScratchDir dir;
  int status = StatusOfChild([&] {
    InstallSignalCleanup();
    rlimit limit{10, 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    int fd = open(dir.File("f").c_str(), O_WRONLY | O_CREAT, 0600);
    char bytes[20] = {};
    bool partial = write(fd, bytes, 20) == 10;
    bool refused = write(fd, bytes, 20) < 0 && errno == EFBIG;
    _exit(partial && refused ? 0 : 1);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SignalCleanupTest, RegistryRefusesWhatItCannotHold) {
  EXPECT_FALSE(RegisterCleanupPath(std::string(kCleanupPathBytes, 'x').c_str()));
  std::vector<std::string> names;
  for (size_t i = 0; i < kCleanupSlots; ++i) {
    names.push_back("/nonexistent/slot" + std::to_string(i));
    EXPECT_TRUE(RegisterCleanupPath(names.back().c_str()));
  }
  EXPECT_FALSE(RegisterCleanupPath("/nonexistent/one-too-many"));
  UnregisterCleanupPath(names[3].c_str());
  EXPECT_TRUE(RegisterCleanupPath("/nonexistent/one-too-many"));
  UnregisterCleanupPath("/nonexistent/one-too-many");
  for (const std::string& name : names) UnregisterCleanupPath(name.c_str());
}

}  // namespace
}  // namespace qdp
