#include "app/run_main.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/slurp.h"

namespace qdp {
namespace {

TEST(ErrorReportTest, AppendsAFullStopOnlyWhenMissing) {
  EXPECT_EQ(FormatErrorReport("EInOutError", "qdpext", 0x12AB0042u, "Disk full"),
            "Exception EInOutError in module qdpext at 12AB0042.\r\nDisk full.\r\n\r\n");
  EXPECT_EQ(FormatErrorReport("EZDecompressionError", "qdpext", 0xF, "data error."),
            "Exception EZDecompressionError in module qdpext at 0000000F.\r\ndata error.\r\n\r\n");
  EXPECT_EQ(FormatErrorReport("E", "m", 0, ""),
            "Exception E in module m at 00000000.\r\n.\r\n\r\n");
}

TEST(ErrorReportTest, AddressEndsWithTheLineAndDependsOnTheFile) {
  uint32_t a = ErrorAddress(ThrowSite{"/src/export/writer.cc", 0x42});
  uint32_t b = ErrorAddress(ThrowSite{"other/reader.cc", 0x42});
  EXPECT_EQ(a & 0xFFFFu, 0x42u);
  EXPECT_NE(a, b);
  // Only the file's own name counts, not the directory it was built from.
  EXPECT_EQ(a, ErrorAddress(ThrowSite{"writer.cc", 0x42}));
}

// Runs the program in-process and returns exit status, stdout and stderr.
struct Outcome {
  int status;
  std::string out, err;
};

Outcome RunInProcess(const std::vector<std::string>& argv, FileSystem& fs) {
  auto ws = std::make_unique<Workspace>();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  int status = RunMain(argv, *ws, fs, out, err);
  return Outcome{status, testing::Slurp(out), testing::Slurp(err)};
}

TEST(RunMainTest, UsageGoesToStandardOutputWithStatus2) {
  testing::MemoryFileSystem fs;
  Outcome o = RunInProcess({"/usr/bin/qdpext"}, fs);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, UsageText());
  EXPECT_EQ(o.err, "");
}

TEST(RunMainTest, AnUnreadableInputEndsWithTheReportAndStatus1) {
  testing::MemoryFileSystem fs;
  fs.files["pic.qdp"];
  fs.fail_open["pic.qdp"] = "File access denied";
  Outcome o = RunInProcess({"/usr/local/bin/qdpext", "-m", "pic.qdp"}, fs);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  ASSERT_EQ(o.err.rfind("Exception EInOutError in module qdpext at ", 0), 0u) << o.err;
  EXPECT_EQ(o.err.substr(o.err.size() - 26), ".\r\nFile access denied.\r\n\r\n");
  EXPECT_TRUE(fs.created.empty());
}

TEST(RunMainTest, ASideFileThatIsTheInputIsRefusedBeforeAnythingIsWritten) {
  testing::MemoryFileSystem fs;
  fs.files["pic.mic"] = testing::Bytes(10, 1);
  Outcome o = RunInProcess({"qdpext", "-m", "pic.mic"}, fs);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("EInOutError"), std::string::npos);
  EXPECT_NE(o.err.find("pic.mic"), std::string::npos);
  EXPECT_TRUE(fs.created.empty());
  EXPECT_EQ(fs.files["pic.mic"], testing::Bytes(10, 1));
}

}  // namespace
}  // namespace qdp
