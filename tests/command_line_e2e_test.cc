// The command line as a user meets it: the real binary, run in a fresh
// directory, with its exact output bytes and exit statuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

const char kUsage[] =
    "Syntax: qdpext filename.qdp [options]\r\n"
    "-s\tsave *.scr\r\n"
    "-f\tsave *.fnt\r\n"
    "-m\tsave *.mic\r\n"
    "-c\tsave *.col\r\n";

void ExpectUsage(const ProgramResult& r) {
  EXPECT_EQ(r.exit_status, 2);
  ASSERT_EQ(r.out.rfind("QDP Extractor v" QDP_VERSION " ", 0), 0u) << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("\r\n") + 2), kUsage);
  EXPECT_EQ(r.err, "");
}

TEST(CommandLineE2ETest, RefusedCommandLinesPrintUsageAndWriteNothing) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), BuildProject(ProjectContent{}));
  std::filesystem::create_directory(dir.File("folder"));
  const std::vector<std::vector<std::string>> refused = {
      {},
      {""},
      {"pic.qdp"},
      {"-c", "pic.qdp"},
      {"-sx", "pic.qdp"},
      {"-s-f", "pic.qdp"},
      {"-m"},
      {"-m", "missing.qdp"},
      {"-m", "folder"},
      {"-m", "pic.qdp", "missing.qdp"},
      {"-m", dir.File("missing.qdp")},
  };
  for (const auto& args : refused) {
    SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
    ExpectUsage(RunProgram(args, dir.Path()));
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"folder", "pic.qdp"}));
}

TEST(CommandLineE2ETest, AcceptedCommandLinesGetPastTheUsageText) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), BuildProject(ProjectContent{}));
  const std::vector<std::vector<std::string>> accepted = {
      {"-m", "pic.qdp"},
      {"pic.qdp", "/S"},
      {"-", "-smfc", "pic.qdp", "/"},
      {"missing.qdp", "-f", "pic.qdp"},
      {"-m", dir.File("pic.qdp")},
  };
  for (const auto& args : accepted) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    ProgramResult r = RunProgram(args, dir.Path());
    EXPECT_NE(r.exit_status, 2);
    EXPECT_EQ(r.out.find("Syntax:"), std::string::npos);
  }
}

}  // namespace
}  // namespace qdp::testing
