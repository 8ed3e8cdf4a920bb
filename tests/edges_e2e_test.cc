// Inputs and targets at the edges of what a file can be: fifos, devices,
// and compressed inputs with far more bytes than their stream. None of
// them may make the run wait, read what it need not, or fill $TMPDIR.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

// Long enough for any run here; a run still going then is hanging.
constexpr unsigned kHangSeconds = 20;

void ExpectReport(const ProgramResult& r, const std::string& kind, const std::string& reason) {
  EXPECT_EQ(r.signal, 0) << "the run did not end by itself";
  EXPECT_EQ(r.exit_status, 1);
  const std::regex report("Exception " + kind + " in module qdpext at [0-9A-F]{8}\\.\r\n" + reason +
                          "\r\n\r\n");
  EXPECT_TRUE(std::regex_match(r.err, report)) << r.err;
}

// A fifo or a device is not a project: refused as a pipe is, before
// anything is read, and at once, whether or not anyone writes to it.
TEST(EdgesE2ETest, AnInputThatIsNotARegularFileIsRefusedWithoutWaiting) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo.qdp").c_str(), 0600), 0);
  for (const std::string& input : {dir.File("fifo.qdp"), std::string("/dev/zero")}) {
    SCOPED_TRACE(input);
    ProgramResult r = RunProgram({input, "-m"}, dir.Path(), {}, ChildSetup{0, kHangSeconds});
    ExpectReport(r, "EInOutError", "I/O error 29\\.");
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"fifo.qdp"});
}

// A fifo that nobody reads stands where a side file goes: an error at once.
// Devices are still written, as files are.
TEST(EdgesE2ETest, AFifoWithNoReaderAsASideFileIsAnErrorAtOnce) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), BuildProject(ProjectContent{}));
  ASSERT_EQ(mkfifo(dir.File("pic.mic").c_str(), 0600), 0);
  ProgramResult r = RunProgram({"pic.qdp", "-m"}, dir.Path(), {}, ChildSetup{0, kHangSeconds});
  ExpectReport(r, "EInOutError", "I/O error 6\\.");
  struct stat st;
  ASSERT_EQ(lstat(dir.File("pic.mic").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the fifo was replaced";

  ASSERT_EQ(symlink("/dev/null", dir.File("pic.col").c_str()), 0);
  r = RunProgram({"pic.qdp", "-sc"}, dir.Path(), {}, ChildSetup{0, kHangSeconds});
  EXPECT_EQ(r.exit_status, 0) << r.err;
}

// A compressed input is read only as far as its stream: a rejected stream
// stops the copy at once, and a long tail is neither read nor copied, so a
// tiny $TMPDIR (here: a file-size limit far below the input) suffices.
TEST(EdgesE2ETest, TheCopyOfAStreamStopsWhereTheStreamStops) {
  ProjectContent content;
  content.SetCell(0, 0, 1);
  content.SetGlyph(0, 1, {1, 2, 3, 4, 5, 6, 7, 8});
  const Bytes valid = Compress(BuildProject(content));
  struct Case {
    const char* name;
    Bytes head;          // the file's first bytes
    uint64_t sparse_to;  // the file is then extended with zeros to this length
    const char* error;   // the report's reason, or "" for success
  };
  const Case cases[] = {
      {"magic and 64 MiB of zeros", Bytes(kContainerMagic.begin(), kContainerMagic.end()), 64 << 20,
       "data error\\."},
      {"a valid stream and a 100 MiB tail", valid, 100 << 20, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    ScratchDir temp;
    WriteFileBytes(dir.File("pic.qdp"), c.head);
    ASSERT_EQ(truncate(dir.File("pic.qdp").c_str(), static_cast<off_t>(c.sparse_to)), 0);
    // The decoded project is about 300 KB; the limit leaves no room to copy
    // the tail (or the zeros) into a temporary file.
    ProgramResult r = RunProgram({"pic.qdp", "-m"}, dir.Path(), {{"TMPDIR", temp.Path()}},
                                 ChildSetup{512 << 10, kHangSeconds});
    if (*c.error != '\0') {
      ExpectReport(r, "EZDecompressionError", c.error);
    } else {
      EXPECT_EQ(r.exit_status, 0) << r.err;
      EXPECT_EQ(ReadFileBytes(dir.File("pic.mic")).size(), 240u * 40);
    }
    EXPECT_TRUE(temp.List().empty());
  }
}

}  // namespace
}  // namespace qdp::testing
