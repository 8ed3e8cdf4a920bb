// Runs that do not end the ordinary way: stopped by a signal part-way
// through a long decoding, cut off by a file-size limit, or given a stream
// that decodes to too little to be a project. None of them may leave a
// temporary file behind or spoil side files that are already there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <regex>
#include <string>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

// A project with something in every block, at full length for width 48
// and 128 fonts.
Bytes FullProject() {
  ProjectContent content;
  content.width_byte = 48;
  content.fonts_byte = 127;
  content.mode_byte = 0x09;
  content.SetGlyph(1, 3, {1, 2, 3, 4, 5, 6, 7, 8});
  content.SetCell(5, 5, 3);
  content.line_fonts[5] = 1;
  content.colours.fill(9);
  return BuildProject(content);
}

// True when the file system of `dir` makes files that never have a name,
// as qdpext asks for its temporary files; elsewhere it falls back to a
// name that lives for a moment.
bool MakesNamelessFiles(const std::string& dir) {
  int fd = open(dir.c_str(), O_TMPFILE | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

struct TempFileWatch {
  bool held = false;       // the process held a file of the folder with no name
  bool name_seen = false;  // the folder showed a name meanwhile
};

// Waits until process `pid` holds open a file of `dir` whose name is gone,
// reading the program's descriptors in /proc rather than guessing a time,
// and meanwhile looks whether `dir` shows a name. Gives up when the process
// ends or a minute passes.
TempFileWatch WaitForNamelessTempFile(pid_t pid, const ScratchDir& dir) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  TempFileWatch watch;
  for (int polls = 0; polls < 60'000; ++polls) {
    if (!dir.List().empty()) watch.name_seen = true;
    std::error_code error;
    std::filesystem::directory_iterator entries(fds, error);
    if (error) return watch;  // the process is gone
    for (const auto& entry : entries) {
      std::string target = std::filesystem::read_symlink(entry.path(), error).string();
      if (target.rfind(dir.Path() + "/", 0) == 0 && target.ends_with(" (deleted)")) {
        watch.held = true;
        return watch;
      }
    }
    timespec pause{0, 1'000'000};
    nanosleep(&pause, nullptr);
  }
  return watch;
}

void ExpectReport(const ProgramResult& r, const std::string& kind, const std::string& reason) {
  EXPECT_EQ(r.exit_status, 1);
  const std::regex report("Exception " + kind + " in module " + ProgramModuleName() +
                          " at [0-9A-F]{8}\\.\r\n" + reason + "\r\n\r\n");
  EXPECT_TRUE(std::regex_match(r.err, report)) << r.err;
}

// Slow: the container decodes to 1 GiB so that a run is still going when
// its signal comes. The container is made once per process, so that the
// test can be repeated (--gtest_repeat) without making it again.
class InterruptedRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (work_ != nullptr) return;
    work_ = new ScratchDir();
    WriteFileBytes(work_->File("big.qdp"), CompressedZeros(uint64_t{1} << 30, FullProject()));
    std::atexit([] { delete work_; });
  }
  static ScratchDir* work_;
};
ScratchDir* InterruptedRunTest::work_ = nullptr;

// The temporary files have no name from the moment they are made, so no
// way of ending the run, a kill included, can leave one behind. Each
// signal is sent once the program holds its nameless file, whatever the
// load on the machine.
TEST_F(InterruptedRunTest, NoTemporaryNameIsEverSeenAndNoSignalLeavesOne) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGKILL}) {
    SCOPED_TRACE(strsignal(signal_number));
    ScratchDir temp;
    // Where the file system refuses nameless files the program falls back
    // to a name that lives for a moment, which a poll may or may not see.
    const bool nameless_files = MakesNamelessFiles(temp.Path());
    pid_t pid = StartProgram({"big.qdp", "-smfc"}, work_->Path(), {{"TMPDIR", temp.Path()}});
    TempFileWatch watch = WaitForNamelessTempFile(pid, temp);
    kill(pid, signal_number);
    ProgramResult r = WaitForProgram(pid, 60);
    ASSERT_TRUE(watch.held) << "no temporary file was made";
    if (nameless_files) {
      EXPECT_FALSE(watch.name_seen) << "a temporary name was seen";
    }
    EXPECT_EQ(r.signal, signal_number) << "exit status " << r.exit_status;
    EXPECT_TRUE(temp.List().empty());
  }
}

// SIGKILL cannot be caught, so only a temporary file that never has a name
// is safe from it. Runs of a small compressed project are killed at random
// moments in their first 5 ms, which covers start-up, the making of both
// temporary files, the decoding and the writing; none may leave a name in
// the temporary directory.
TEST(KillLoopE2ETest, NoMomentOfASigkillLeavesATemporaryName) {
  constexpr int kRuns = 300;
  ScratchDir work;
  ScratchDir temp;
  WriteFileBytes(work.File("z.qdp"), Compress(FullProject()));
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay_ns(0, 5'000'000);
  int killed = 0;
  int runs_leaving_a_name = 0;
  for (int run = 0; run < kRuns; ++run) {
    pid_t pid = StartProgram({"z.qdp", "-m"}, work.Path(), {{"TMPDIR", temp.Path()}});
    timespec pause{0, delay_ns(random)};
    nanosleep(&pause, nullptr);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) ++killed;
    if (!temp.List().empty()) {
      ++runs_leaving_a_name;
      for (const std::string& name : temp.List()) std::filesystem::remove(temp.File(name));
    }
  }
  EXPECT_EQ(runs_leaving_a_name, 0)
      << "of " << kRuns << " runs, " << killed << " killed before they ended (seed " << seed << ")";
  // The loop means something only when most runs were cut short.
  EXPECT_GT(killed, kRuns / 2) << "seed " << seed;
}

// A file-size limit that a side file runs into leaves no part of that file
// (a build tool would take it for up to date) and keeps an older one as it
// was, keeps the files finished before it, and writes none after it.
TEST(FileSizeLimitE2ETest, TheFileOverTheLimitIsRemovedAndEarlierOnesStay) {
  ProjectContent narrow;  // width 32: .mic 7680, .scr 960, .col 1280 bytes
  narrow.width_byte = 32;
  narrow.mode_byte = 0x09;  // fonts kept as loaded
  narrow.fonts_byte = 9;
  for (int line = 0; line < 30; ++line) narrow.line_fonts[line] = static_cast<uint8_t>(line % 10);
  narrow.line_mode_table.fill(1);
  narrow.colours.fill(7);
  const Bytes plain = BuildProject(narrow);  // .fnt: 10 fonts, 10240 bytes
  struct Case {
    const char* name;
    Bytes input;
    const char* options;
    uint64_t limit;
    std::vector<std::string> kept;  // side files finished before the failure
  };
  const Case cases[] = {
      {".mic", plain, "-m", 4096, {}},
      {".fnt after .mic", plain, "-mf", 8192, {"pic.mic"}},
      {".scr", plain, "-s", 512, {}},
      {".col after .scr", plain, "-sc", 1024, {"pic.scr"}},
      {"compressed, the decoded project is over the limit",
       Compress(FullProject()),
       "-smfc",
       4096,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    ScratchDir temp;
    WriteFileBytes(dir.File("pic.qdp"), c.input);
    ProgramResult r = RunProgram({"pic.qdp", c.options}, dir.Path(), {{"TMPDIR", temp.Path()}},
                                 ChildSetup{c.limit});
    EXPECT_EQ(r.signal, 0);
    ExpectReport(r, "EInOutError", "Disk full\\.");
    EXPECT_TRUE(temp.List().empty());
    std::vector<std::string> expected = c.kept;
    expected.push_back("pic.qdp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.List(), expected);
  }
  // The files kept are whole.
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), plain);
  RunProgram({"pic.qdp", "-sc"}, dir.Path(), {}, ChildSetup{1024});
  EXPECT_EQ(ReadFileBytes(dir.File("pic.scr")).size(), 960u);
  // A side file that was there before keeps its bytes: the new one is
  // never put in its place.
  WriteFileBytes(dir.File("pic.mic"), Bytes{1, 2, 3});
  ProgramResult r = RunProgram({"pic.qdp", "-m"}, dir.Path(), {}, ChildSetup{4096});
  ExpectReport(r, "EInOutError", "Disk full\\.");
  EXPECT_EQ(ReadFileBytes(dir.File("pic.mic")), (Bytes{1, 2, 3}));
}

// A stream that decodes to less than a header is no project: the side files
// a user already has stay exactly as they are.
TEST(ShortStreamE2ETest, ExistingSideFilesSurviveAStreamTooShortForAHeader) {
  // A complete zlib stream of nothing, made with a 1 KiB window; its own
  // first bytes read as width 40 and mode 1.
  const Bytes empty_stream = {0x51, 0x44, 0x50, 0x5a, 0x4c, 0x49, 0x42, 0x28,
                              0x91, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
  struct Case {
    const char* name;
    Bytes container;
    const char* reason;
  };
  const Case cases[] = {
      {"empty stream, 1 KiB window", empty_stream, "Incomplete project header\\."},
      {"one byte", Compress({40}), "Incomplete project header\\."},
      {"two bytes", Compress({40, 0x09}), "Incomplete project header\\."},
  };
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), FullProject());
  ASSERT_EQ(RunProgram({"pic.qdp", "-smfc"}, dir.Path()).exit_status, 0);
  std::vector<std::string> names = dir.List();
  ASSERT_EQ(names.size(), 6u);
  std::vector<Bytes> before;
  for (const std::string& name : names) before.push_back(ReadFileBytes(dir.File(name)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir temp;
    WriteFileBytes(dir.File("pic.qdp"), c.container);
    ProgramResult r = RunProgram({"pic.qdp", "-smfc"}, dir.Path(), {{"TMPDIR", temp.Path()}});
    ExpectReport(r, "EProjectError", c.reason);
    EXPECT_TRUE(temp.List().empty());
    ASSERT_EQ(dir.List(), names);
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == "pic.qdp") continue;
      EXPECT_EQ(ReadFileBytes(dir.File(names[i])), before[i]) << names[i];
    }
  }
}

}  // namespace
}  // namespace qdp::testing
