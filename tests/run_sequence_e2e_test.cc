// A whole run as a user meets it: where the side files land, how a failure
// ends the run, and what is protected from being overwritten.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "tests/expected_side_files.h"
#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

void ExpectReport(const ProgramResult& r, const std::string& kind, const std::string& reason) {
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "");
  const std::regex report("Exception " + kind + " in module " + ProgramModuleName() +
                          " at [0-9A-F]{8}\\.\r\n" + reason + "\r\n\r\n");
  EXPECT_TRUE(std::regex_match(r.err, report)) << r.err;
}

TEST(RunSequenceE2ETest, SideFilesLandBesideTheInputUnderItsName) {
  struct Case {
    std::string input;
    std::string stem;  // the side files' name without extension
  };
  ScratchDir outside;
  const Case cases[] = {
      {"pic.qdp", "pic"},
      {"pic", "pic"},
      {"a.b.qdp", "a.b"},
      {"old.dir/pic", "old.dir/pic"},
      {"old.dir/pic.qdp", "old.dir/pic"},
      {outside.File("abs.qdp"), outside.File("abs")},
  };
  const Bytes project = BuildProject(KeptFontsProject());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("old.dir"));
    std::string input = c.input[0] == '/' ? c.input : dir.File(c.input);
    WriteFileBytes(input, project);
    ProgramResult r = RunProgram({"-mc", c.input}, dir.Path());
    ASSERT_EQ(r.exit_status, 0) << r.err;
    std::string stem = c.stem[0] == '/' ? c.stem : dir.File(c.stem);
    EXPECT_EQ(ReadFileBytes(stem + ".mic").size(), 9600u);
    EXPECT_EQ(ReadFileBytes(stem + ".col"), ExpectedSideFiles(KeptFontsProject(), "c")[".col"]);
    size_t entries = std::distance(std::filesystem::recursive_directory_iterator(dir.Path()),
                                   std::filesystem::recursive_directory_iterator());
    EXPECT_EQ(entries, c.input[0] == '/' ? 1u : 4u);  // old.dir, the input, .mic, .col
    std::filesystem::remove(input);
    std::filesystem::remove(stem + ".mic");
    std::filesystem::remove(stem + ".col");
  }
}

TEST(RunSequenceE2ETest, AFileThatCannotBeCreatedEndsTheRunThere) {
  struct Case {
    const char* blocked;  // a directory stands where this file would go
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {"pic.mic", {}},
      {"pic.fnt", {"pic.mic"}},
      {"pic.scr", {"pic.fnt", "pic.mic"}},
      {"pic.tab", {"pic.fnt", "pic.mic", "pic.scr"}},
      {"pic.col", {"pic.fnt", "pic.mic", "pic.scr", "pic.tab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blocked);
    ScratchDir dir;
    WriteFileBytes(dir.File("pic.qdp"), BuildProject(KeptFontsProject()));
    std::filesystem::create_directory(dir.File(c.blocked));
    ExpectReport(RunProgram({"-smfc", "pic.qdp"}, dir.Path()), "EInOutError",
                 "File access denied\\.");
    std::vector<std::string> expected = c.written;
    expected.push_back("pic.qdp");
    expected.push_back(c.blocked);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.List(), expected);
  }
}

TEST(RunSequenceE2ETest, AFullDiskEndsTheRunWithItsReason) {
  ScratchDir dir;
  WriteFileBytes(dir.File("pic.qdp"), BuildProject(KeptFontsProject()));
  ASSERT_EQ(symlink("/dev/full", dir.File("pic.scr").c_str()), 0);
  ExpectReport(RunProgram({"-smfc", "pic.qdp"}, dir.Path()), "EInOutError", "Disk full\\.");
  // Files before the failing one are complete; none after it exists.
  SideFiles expected = ExpectedSideFiles(KeptFontsProject(), "mf");
  EXPECT_EQ(ReadFileBytes(dir.File("pic.mic")), expected[".mic"]);
  EXPECT_EQ(ReadFileBytes(dir.File("pic.fnt")), expected[".fnt"]);
  EXPECT_FALSE(FileExists(dir.File("pic.tab")));
  EXPECT_FALSE(FileExists(dir.File("pic.col")));
}

TEST(RunSequenceE2ETest, ARunNeverWritesASideFileOverItsInput) {
  struct Case {
    const char* input;
    const char* options;
    const char* link;  // another name for the input, or nullptr
    const char* clash;
  };
  const Case cases[] = {
      {"pic.mic", "-m", nullptr, "pic.mic"},    {"pic.scr", "-sc", nullptr, "pic.scr"},
      {"pic.COL", "-mc", nullptr, nullptr},  // names differ in case: no clash
      {"pic.qdp", "-mc", "pic.col", "pic.col"}, {"pic.tab", "-f", nullptr, "pic.tab"},
  };
  const Bytes project = BuildProject(KeptFontsProject());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ScratchDir dir;
    WriteFileBytes(dir.File(c.input), project);
    if (c.link != nullptr) {
      ASSERT_EQ(symlink(c.input, dir.File(c.link).c_str()), 0);
    }
    std::vector<std::string> before = dir.List();
    ProgramResult r = RunProgram({c.options, c.input}, dir.Path());
    if (c.clash == nullptr) {
      EXPECT_EQ(r.exit_status, 0) << r.err;
      continue;
    }
    ExpectReport(r, "EInOutError", std::string("Side file ") + c.clash + " is the input file\\.");
    EXPECT_EQ(dir.List(), before);
    EXPECT_EQ(ReadFileBytes(dir.File(c.input)), project);
  }
}

TEST(RunSequenceE2ETest, AnInputNamedLikeAnUnwrittenLineTableIsNoClash) {
  // Every line in font 0: no line table is written, so "pic.tab" as the
  // input is in nobody's way.
  ProjectContent content = KeptFontsProject();
  content.line_fonts.fill(0);
  ScratchDir dir;
  const Bytes project = BuildProject(content);
  WriteFileBytes(dir.File("pic.tab"), project);
  ProgramResult r = RunProgram({"-f", "pic.tab"}, dir.Path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File("pic.tab")), project);
  EXPECT_EQ(ReadFileBytes(dir.File("pic.fnt")).size(), 1024u);
}

TEST(RunSequenceE2ETest, ARejectedProjectLeavesExistingSideFilesUntouched) {
  ProjectContent bad_width = KeptFontsProject();
  bad_width.width_byte = 36;
  ProjectContent bad_mode = KeptFontsProject();
  bad_mode.mode_byte = 3;
  for (const Bytes& project : {BuildProject(bad_width), BuildProject(bad_mode), Bytes{}}) {
    ScratchDir dir;
    WriteFileBytes(dir.File("pic.qdp"), project);
    for (const char* ext : {".mic", ".fnt", ".scr", ".tab", ".col"}) {
      WriteFileBytes(dir.File(std::string("pic") + ext), Bytes{7, 7, 7});
    }
    ProgramResult r = RunProgram({"-smfc", "pic.qdp"}, dir.Path());
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err.rfind("Exception ", 0), 0u) << r.err;
    for (const auto& [ext, bytes] : ReadSideFiles(dir.File("pic"))) {
      EXPECT_EQ(bytes, (Bytes{7, 7, 7})) << ext;
    }
  }
}

}  // namespace
}  // namespace qdp::testing
