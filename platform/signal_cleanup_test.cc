#include "platform/signal_cleanup.h"

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

}  // namespace
}  // namespace qdp
