// Every input in tests/regressions/ is a fault that was found once; each is
// run through qdpext and must end as it does now. A file there without a
// row here fails the test, so none is forgotten.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

struct Expected {
  int exit_status;
  const char* message;  // the report's reason, or what standard output says
  std::vector<std::string> side_files;
};

const std::map<std::string, Expected>& Regressions() {
  static const std::map<std::string, Expected> kRegressions = {
      {"container-in-container.qdp", {1, "Unsupported line width 81.", {}}},
      {"empty-stream-read-as-header.qdp", {1, "Incomplete project header.", {}}},
      {"magic-then-zeros.qdp", {1, "data error.", {}}},
      {"magic-with-wrong-last-byte.qdp", {1, "Unsupported line width 81.", {}}},
      {"plain-two-bytes.qdp", {1, "Incomplete project header.", {}}},
      {"sixty-four-blocks.qdp", {3, "Conversion of bitmap into DUZ failed.", {}}},
      {"stream-cut-in-skip-table.qdp", {0, "", {".col", ".fnt", ".mic", ".scr", ".tab"}}},
      {"stream-of-two-bytes.qdp", {1, "Incomplete project header.", {}}},
      {"trailing-bytes-after-stream.qdp", {0, "", {".col", ".fnt", ".mic", ".scr", ".tab"}}},
  };
  return kRegressions;
}

TEST(RegressionsE2ETest, EveryRecordedInputEndsAsItShould) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(QDP_REGRESSIONS_DIR)) {
    files.push_back(entry.path().filename().string());
  }
  ASSERT_FALSE(files.empty());
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    auto row = Regressions().find(name);
    ASSERT_NE(row, Regressions().end()) << "a regression file with no expected outcome";
    const Expected& expected = row->second;
    ScratchDir dir;
    std::filesystem::copy_file(std::string(QDP_REGRESSIONS_DIR) + "/" + name, dir.File(name));
    ScratchDir temp;
    ProgramResult r =
        RunProgram({name, "-smfc"}, dir.Path(), {{"TMPDIR", temp.Path()}}, ChildSetup{0, 20});
    EXPECT_EQ(r.exit_status, expected.exit_status) << r.err;
    if (expected.exit_status == 1) {
      EXPECT_TRUE(r.err.ends_with("\r\n" + std::string(expected.message) + "\r\n\r\n")) << r.err;
    } else if (*expected.message != '\0') {
      EXPECT_EQ(r.out, std::string(expected.message) + "\r\n");
    }
    std::vector<std::string> listed = dir.List();
    std::vector<std::string> wanted = {name};
    const std::string stem = name.substr(0, name.size() - 4);
    for (const std::string& extension : expected.side_files) wanted.push_back(stem + extension);
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(listed, wanted);
    EXPECT_TRUE(temp.List().empty());
  }
}

}  // namespace
}  // namespace qdp::testing
