// Runs that do not end the ordinary way: stopped by a signal part-way
// through a long decoding, cut off by a file-size limit, or given a stream
// that decodes to too little to be a project. None of them may leave a
// temporary file behind or spoil side files that are already there.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>

#include <cstring>
#include <memory>
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

// Waits until `dir` holds an entry, for up to ten seconds.
bool WaitForEntry(const ScratchDir& dir) {
  for (int waited_ms = 0; waited_ms < 10000; waited_ms += 2) {
    if (!dir.List().empty()) return true;
    timespec pause{0, 2'000'000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

void ExpectReport(const ProgramResult& r, const std::string& kind, const std::string& reason) {
  EXPECT_EQ(r.exit_status, 1);
  const std::regex report("Exception " + kind + " in module " + ProgramModuleName() +
                          " at [0-9A-F]{8}\\.\r\n" + reason + "\r\n\r\n");
  EXPECT_TRUE(std::regex_match(r.err, report)) << r.err;
}

// Slow: the container decodes to 1 GiB so that there is time to signal.
class InterruptedRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new ScratchDir();
    WriteFileBytes(work_->File("big.qdp"), CompressedZeros(uint64_t{1} << 30, FullProject()));
  }
  static void TearDownTestSuite() {
    delete work_;
    work_ = nullptr;
  }
  static ScratchDir* work_;
};
ScratchDir* InterruptedRunTest::work_ = nullptr;

TEST_F(InterruptedRunTest, SignalDuringDecodingRemovesTheTemporaryFiles) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(strsignal(signal_number));
    ScratchDir temp;
    pid_t pid = StartProgram({"big.qdp", "-smfc"}, work_->Path(), {{"TMPDIR", temp.Path()}});
    bool started = WaitForEntry(temp);
    kill(pid, signal_number);
    ProgramResult r = WaitForProgram(pid, 60);
    ASSERT_TRUE(started) << "no temporary file appeared";
    EXPECT_EQ(r.signal, signal_number) << "exit status " << r.exit_status;
    EXPECT_TRUE(temp.List().empty());
  }
}

TEST(FileSizeLimitE2ETest, AWriteOverTheLimitEndsInTheDiskFullReport) {
  ProjectContent narrow;
  narrow.width_byte = 32;
  Bytes short_project = BuildProject(narrow);
  short_project.resize(narrow.GetLayout().ColourTables());  // 2017 bytes, below the limit
  struct Case {
    const char* name;
    Bytes input;
    bool mic_started;  // the limit falls inside the bitmap file
  };
  const Case cases[] = {
      {"plain", FullProject(), true},
      {"compressed, the decoded project is over the limit", Compress(FullProject()), false},
      {"compressed, the bitmap file is over the limit", Compress(short_project), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    ScratchDir temp;
    WriteFileBytes(dir.File("pic.qdp"), c.input);
    ProgramResult r =
        RunProgram({"pic.qdp", "-smfc"}, dir.Path(), {{"TMPDIR", temp.Path()}}, ChildSetup{4096});
    EXPECT_EQ(r.signal, 0);
    ExpectReport(r, "EInOutError", "Disk full\\.");
    EXPECT_TRUE(temp.List().empty());
    std::vector<std::string> expected = {"pic.qdp"};
    if (c.mic_started) expected.insert(expected.begin(), "pic.mic");
    EXPECT_EQ(dir.List(), expected);
    if (c.mic_started) {
      EXPECT_EQ(ReadFileBytes(dir.File("pic.mic")).size(), 4096u);
    }
  }
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
      {"empty stream, 1 KiB window", empty_stream, "Unsupported line width 0\\."},
      {"one byte", Compress({40}), "Unsupported character mode 0\\."},
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
