// qdpview run as a process: many files in one run, a bad one among them,
// the exit statuses, and the JSON lines.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"
#include "view/png_reader.h"

namespace qdp {
namespace {

using testing::ScratchDir;

testing::ProgramResult RunView(const std::vector<std::string>& args, const std::string& cwd) {
  return testing::RunBinary(QDPVIEW_BINARY, args, cwd);
}

// The JSON objects of a run, one a line.
std::vector<nlohmann::json> JsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(nlohmann::json::parse(out.substr(start, end - start)));
  }
  EXPECT_EQ(start, out.size());
  return lines;
}

// Two good projects around a rejected one and a missing one.
void PutFiles(const ScratchDir& dir) {
  testing::ProjectContent good;
  good.SetGlyph(0, 1, {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF});
  good.SetCell(3, 4, 1);
  testing::Bytes plain = testing::BuildProject(good);
  testing::WriteFileBytes(dir.File("one.qdp"), plain);
  testing::WriteFileBytes(dir.File("two.qdp"), testing::Compress(plain));
  testing::ProjectContent bad;
  bad.width_byte = 36;
  testing::WriteFileBytes(dir.File("bad.qdp"), testing::BuildProject(bad));
}

TEST(ViewEndToEndTest, ABadFileAmongGoodOnesIsNamedAndTheOthersAreDone) {
  ScratchDir dir;
  PutFiles(dir);
  auto r = RunView({"one.qdp", "bad.qdp", "missing.qdp", "two.qdp"}, dir.Path());
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err,
            "qdpview: bad.qdp: Unsupported line width 36\n"
            "qdpview: missing.qdp: File not found\n");
  EXPECT_NE(r.out.find("one.qdp\n"), std::string::npos);
  EXPECT_NE(r.out.find("two.qdp\n"), std::string::npos);
  EXPECT_EQ(r.out.find("bad.qdp"), std::string::npos);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"bad.qdp", "one-fonts.png", "one.png", "one.qdp",
                                                  "two-fonts.png", "two.png", "two.qdp"}));
  view::GrayImage one = view::ReadPng(dir.File("one.png"));
  ASSERT_TRUE(one.ok);
  EXPECT_EQ(one, view::ReadPng(dir.File("two.png")));
  // Cell (3, 4) is the box glyph: its top row is light.
  EXPECT_EQ(one.At(32, 24), 255);
  EXPECT_EQ(one.At(33, 25), 0);

  auto fine = RunView({"one.qdp", "two.qdp"}, dir.Path());
  EXPECT_EQ(fine.exit_status, 0);
  EXPECT_EQ(fine.err, "");
}

TEST(ViewEndToEndTest, NoPictureReplacesAnotherInputOfTheRun) {
  ScratchDir dir;
  PutFiles(dir);
  // A project that happens to be called one.png would be replaced by the
  // preview of one.qdp before it is read.
  testing::Bytes project = testing::ReadFileBytes(dir.File("one.qdp"));
  testing::WriteFileBytes(dir.File("one.png"), project);
  auto r = RunView({"one.qdp", "one.png", "two.qdp"}, dir.Path());
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err,
            "qdpview: one.qdp: would write one.png over another input of this run\n"
            "qdpview: one.png: would write one.png over the input\n");
  EXPECT_EQ(testing::ReadFileBytes(dir.File("one.png")), project);
  EXPECT_TRUE(testing::FileExists(dir.File("two.png")));
}

TEST(ViewEndToEndTest, JsonIsOneObjectPerFileInInputOrder) {
  ScratchDir dir;
  PutFiles(dir);
  auto r = RunView({"--json", "--scale", "2", "two.qdp", "bad.qdp", "one.qdp"}, dir.Path());
  EXPECT_EQ(r.exit_status, 1);
  std::vector<nlohmann::json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["file"], "two.qdp");
  EXPECT_EQ(lines[1]["file"], "bad.qdp");
  EXPECT_EQ(lines[2]["file"], "one.qdp");
  for (int i : {0, 2}) {
    const nlohmann::json& j = lines[i];
    EXPECT_TRUE(j["width"].is_number_integer());
    EXPECT_TRUE(j["character_mode"].is_number_integer());
    EXPECT_EQ(j["conversion"], "shared");
    EXPECT_EQ(j["conversion_source"], "layout");
    EXPECT_EQ(j["fonts_stored"], 1);
    EXPECT_EQ(j["fonts_used"], nlohmann::json::parse("[0]"));
    EXPECT_EQ(j["fonts"][0]["characters"], 2);  // the blank glyph and the box
    EXPECT_EQ(j["lines_in_use"].size(), 30u);
    EXPECT_EQ(j["round_trip_exact"], true);
    EXPECT_TRUE(j["warnings"].is_array());
    EXPECT_TRUE(j["error"].is_null());
    EXPECT_TRUE(j["preview"].is_string());
    EXPECT_TRUE(j["font_sheet"].is_string());
  }
  EXPECT_EQ(lines[1]["error"], "Unsupported line width 36");
  EXPECT_TRUE(lines[1]["preview"].is_null());
  EXPECT_EQ(view::ReadPng(dir.File("one.png")).width, 640);
}

// --no-images is the summary alone: the same JSON as a run that draws,
// but for the pictures, and not one file written, whatever -o and --scale
// say (the folder named by -o need not exist).
TEST(ViewEndToEndTest, NoImagesGivesTheSameSummaryAndWritesNothing) {
  ScratchDir dir;
  PutFiles(dir);
  const std::vector<std::string> files = {"one.qdp", "bad.qdp", "missing.qdp", "two.qdp"};
  const std::vector<std::string> before = dir.List();
  std::vector<std::string> args = {"--json", "--no-images", "-o", "nowhere", "--scale", "3"};
  args.insert(args.end(), files.begin(), files.end());
  auto quick = RunView(args, dir.Path());
  EXPECT_EQ(dir.List(), before);
  auto text = RunView({"--no-images", "one.qdp"}, dir.Path());
  EXPECT_EQ(text.exit_status, 0);
  EXPECT_NE(text.out.find("round trip:    exact"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("preview:"), std::string::npos) << text.out;
  EXPECT_EQ(dir.List(), before);

  std::vector<std::string> drawn_args = {"--json"};
  drawn_args.insert(drawn_args.end(), files.begin(), files.end());
  auto drawn = RunView(drawn_args, dir.Path());
  EXPECT_EQ(quick.exit_status, drawn.exit_status);
  EXPECT_EQ(quick.err, drawn.err);
  std::vector<nlohmann::json> a = JsonLines(quick.out), b = JsonLines(drawn.out);
  ASSERT_EQ(a.size(), files.size());
  ASSERT_EQ(b.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    EXPECT_TRUE(a[i]["preview"].is_null());
    EXPECT_TRUE(a[i]["font_sheet"].is_null());
    ASSERT_EQ(a[i].size(), b[i].size());
    for (auto it = b[i].begin(); it != b[i].end(); ++it) {
      if (it.key() == "preview" || it.key() == "font_sheet") continue;
      EXPECT_EQ(a[i][it.key()], it.value()) << it.key();
    }
  }
  EXPECT_EQ(b[0]["round_trip_exact"], true);
}

// A preview that the file-size limit cuts short: the failure is the one
// line that names the file, and neither the preview nor its temporary
// name is left.
TEST(ViewEndToEndTest, AWriteFailureIsOneLineAndLeavesNoPreview) {
  ScratchDir dir;
  testing::ProjectContent noise;
  uint32_t state = 12345;
  for (int ch = 0; ch < 128; ++ch) {
    std::array<uint8_t, 8> rows;
    for (uint8_t& row : rows) {
      state = state * 1103515245u + 12345u;
      row = static_cast<uint8_t>(state >> 24);
    }
    noise.SetGlyph(0, ch, rows);
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) noise.SetCell(line, x, static_cast<uint8_t>((line * 7 + x) % 128));
  }
  testing::WriteFileBytes(dir.File("pic.qdp"), testing::BuildProject(noise));
  auto r = testing::RunBinary(QDPVIEW_BINARY, {"--scale", "16", "pic.qdp"}, dir.Path(), {},
                              testing::ChildSetup{1024});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "qdpview: pic.qdp: Disk full\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"pic.qdp"});
}

TEST(ViewEndToEndTest, UsageErrorsExitWithTwo) {
  ScratchDir dir;
  PutFiles(dir);
  for (std::vector<std::string> args : {std::vector<std::string>{},
                                        {"--scale", "0", "one.qdp"},
                                        {"--scale", "17", "one.qdp"},
                                        {"--bogus", "one.qdp"},
                                        {"-o", "nowhere", "one.qdp"},
                                        {"-o"}}) {
    auto r = RunView(args, dir.Path());
    EXPECT_EQ(r.exit_status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("qdpview: "), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(testing::FileExists(dir.File("one.png")));
  auto help = RunView({"--help"}, dir.Path());
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.out.rfind("usage: qdpview", 0), 0u);
  auto version = RunView({"--version"}, dir.Path());
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out.rfind("qdpview ", 0), 0u);
}

}  // namespace
}  // namespace qdp
