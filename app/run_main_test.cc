#include "app/run_main.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"
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

using testing::BuildProject;
using testing::Bytes;
using testing::ProjectContent;

constexpr const char* kInput = "in.qdp";

// Runs the whole program in-process on the memory file system.
int RunInProcess(testing::MemoryFileSystem& fs, std::string& err_text) {
  auto ws = std::make_unique<Workspace>();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  int status = RunMain({"qdpext", "-mfsc", kInput}, *ws, fs, out, err);
  std::rewind(err);
  char text[512] = {};
  size_t n = std::fread(text, 1, sizeof text - 1, err);
  err_text.assign(text, n);
  std::fclose(out);
  std::fclose(err);
  return status;
}

TEST(RunMainTest, RefusedInputsEndTheRunBeforeAnySideFile) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* fail_open;
    const char* report;
  };
  ProjectContent bad_width;
  bad_width.width_byte = 36;
  const Case cases[] = {
      {"rejected width", BuildProject(bad_width), nullptr,
       "Exception EProjectError in module qdpext at "},
      {"empty file", {}, nullptr, "Exception EProjectError in module qdpext at "},
      {"unreadable", BuildProject(ProjectContent{}), "File access denied",
       "Exception EInOutError in module qdpext at "},
  };
  const char* reasons[] = {"\r\nUnsupported line width 36.\r\n\r\n",
                           "\r\nIncomplete project header.\r\n\r\n",
                           "\r\nFile access denied.\r\n\r\n"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    fs.files[kInput] = c.bytes;
    if (c.fail_open != nullptr) fs.fail_open[kInput] = c.fail_open;
    std::string err;
    EXPECT_EQ(RunInProcess(fs, err), 1);
    EXPECT_EQ(err.rfind(c.report, 0), 0u) << err;
    EXPECT_NE(err.find(reasons[i]), std::string::npos) << err;
    EXPECT_TRUE(fs.created.empty());
  }
}

}  // namespace
}  // namespace qdp
