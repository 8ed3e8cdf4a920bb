#include "app/command_line.h"

#include <gtest/gtest.h>

#include "tests/support/memory_file_system.h"

namespace qdp {
namespace {

// Expected outcome of one command line: nullopt for the usage text, else the
// flags as "SFMC" letters (a dash where a flag is clear) and the file name.
struct Case {
  std::vector<std::string> args;
  bool accepted;
  const char* flags = "";
  const char* file = "";
};

std::string Flags(const Options& o) {
  std::string s;
  for (char letter : {'S', 'F', 'M', 'C'}) s += o.Selects(letter) ? letter : '-';
  return s;
}

TEST(CommandLineTest, Grammar) {
  testing::MemoryFileSystem fs;
  fs.files["pic.qdp"];
  fs.files["other.qdp"];
  fs.files["/abs/dir/pic.qdp"];
  fs.files["/x"];
  fs.directories.insert("dir");
  const Case cases[] = {
      {{}, false},
      {{""}, false},
      {{"pic.qdp"}, false},        // no option
      {{"-c", "pic.qdp"}, false},  // colours alone is no job
      {{"-c", "-m", "pic.qdp"}, true, "--MC", "pic.qdp"},
      {{"-S", "pic.qdp"}, true, "S---", "pic.qdp"},
      {{"-s", "pic.qdp"}, true, "S---", "pic.qdp"},
      {{"/s", "pic.qdp"}, true, "S---", "pic.qdp"},
      {{"/S", "pic.qdp"}, true, "S---", "pic.qdp"},
      {{"-smfc", "pic.qdp"}, true, "SFMC", "pic.qdp"},
      {{"/sf", "pic.qdp"}, true, "SF--", "pic.qdp"},
      {{"-s", "-f", "pic.qdp"}, true, "SF--", "pic.qdp"},
      {{"pic.qdp", "-m"}, true, "--M-", "pic.qdp"},  // order is free
      {{"-m", "pic.qdp", "-f"}, true, "-FM-", "pic.qdp"},
      {{"-sx", "pic.qdp"}, false},   // refused at the X
      {{"-s-f", "pic.qdp"}, false},  // a second dash is no letter
      {{"-s1", "pic.qdp"}, false},
      {{"-s\xE9", "pic.qdp"}, false},  // non-ASCII is not folded
      {{"--", "pic.qdp"}, false},
      {{"-", "-m", "pic.qdp"}, true, "--M-", "pic.qdp"},            // a lone dash is skipped
      {{"-m", "pic.qdp", "/"}, true, "--M-", "pic.qdp"},            // and so is a lone slash
      {{"-m", "pic.qdp", ""}, true, "--M-", "pic.qdp"},             // an empty argument is none
      {{"-m", "missing.qdp", "pic.qdp"}, true, "--M-", "pic.qdp"},  // the last file wins
      {{"-m", "pic.qdp", "missing.qdp"}, false},
      {{"-m", "pic.qdp", "other.qdp"}, true, "--M-", "other.qdp"},
      {{"-m"}, false},                                                 // no file
      {{"-m", "dir"}, false},                                          // a directory is no file
      {{"-m", "/abs/dir/pic.qdp"}, true, "--M-", "/abs/dir/pic.qdp"},  // absolute path
      {{"-m", "/x"}, false},                                           // "/x" is option letters
      {{"-m", "/abs/dir/missing.qdp"}, false},
  };
  for (const Case& c : cases) {
    std::string label;
    for (const auto& a : c.args) label += "[" + a + "]";
    std::optional<Options> got = ParseCommandLine(c.args, fs);
    ASSERT_EQ(got.has_value(), c.accepted) << label;
    if (!got) continue;
    EXPECT_EQ(Flags(*got), c.flags) << label;
    EXPECT_EQ(got->InputFileName, c.file) << label;
  }
}

TEST(CommandLineTest, UsageTextIsSixCrLfLines) {
  std::string text = UsageText();
  EXPECT_EQ(text.rfind("QDP Extractor v" QDP_VERSION " ", 0), 0u);
  size_t first_end = text.find("\r\n");
  EXPECT_EQ(text.substr(first_end),
            "\r\n"
            "Syntax: qdpext filename.qdp [options]\r\n"
            "-s\tsave *.scr\r\n"
            "-f\tsave *.fnt\r\n"
            "-m\tsave *.mic\r\n"
            "-c\tsave *.col\r\n");
  size_t lines = 0;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, 6u);
  EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qdp
