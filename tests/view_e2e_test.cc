// qdpview run as a process: many files in one run, a bad one among them,
// the exit statuses, and the JSON lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>

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

// A hi-res project whose set pixels are light grey (PF1's luminance 14
// in PF2's hue 0) on black (PF2 0), with a box glyph at cell (3, 4).
testing::ProjectContent Boxed() {
  testing::ProjectContent boxed;
  boxed.SetGlyph(0, 1, {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF});
  boxed.SetCell(3, 4, 1);
  std::fill_n(boxed.colours.begin() + 2 * 256, 240, 0x0E);  // PF1
  return boxed;
}
constexpr view::Rgb kLight{238, 238, 238};  // grey 14 of 15

// Two good projects around a rejected one and a missing one.
void PutFiles(const ScratchDir& dir) {
  testing::ProjectContent good = Boxed();
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
  view::RgbImage one = view::ReadPng(dir.File("one.png"));
  ASSERT_TRUE(one.Ok);
  EXPECT_EQ(one, view::ReadPng(dir.File("two.png")));
  // Cell (3, 4) is the box glyph: its top row is light.
  EXPECT_EQ(one.At(32, 24), kLight);
  EXPECT_EQ(one.At(33, 25), view::kBlack);

  auto fine = RunView({"one.qdp", "two.qdp"}, dir.Path());
  EXPECT_EQ(fine.exit_status, 0);
  EXPECT_EQ(fine.err, "");
}

// A fifo among the inputs is refused at once, whether or not anyone
// writes to it, and the files after it are still done.
TEST(ViewEndToEndTest, AFifoAmongTheInputsIsRefusedWithoutWaiting) {
  ScratchDir dir;
  PutFiles(dir);
  ASSERT_EQ(mkfifo(dir.File("fifo.qdp").c_str(), 0600), 0);
  auto r = testing::RunBinary(QDPVIEW_BINARY, {"--json", "one.qdp", "fifo.qdp", "two.qdp"},
                              dir.Path(), {}, testing::ChildSetup{0, 20});
  EXPECT_EQ(r.signal, 0) << "the run waited for the fifo";
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "qdpview: fifo.qdp: is not a regular file (a pipe, fifo or device)\n");
  std::vector<nlohmann::json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2]["file"], "two.qdp");
  EXPECT_TRUE(lines[2]["error"].is_null());
  EXPECT_TRUE(testing::FileExists(dir.File("two.png")));
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
  EXPECT_EQ(view::ReadPng(dir.File("one.png")).Width, 640);
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
  EXPECT_EQ(r.err, "qdpview: pic.qdp: cannot write pic.png: Disk full\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"pic.qdp"});
}

// A project whose rebuild fails: every cell of a line needs a character of
// its own, and the project allows 20 per font.
testing::Bytes Unconvertible() {
  testing::ProjectContent p;
  p.mode_byte = 0x80 | 1;
  p.chars_per_font = 20;
  for (int ch = 0; ch < 128; ++ch) {
    p.SetGlyph(0, ch,
               {static_cast<uint8_t>(ch), 0x81, static_cast<uint8_t>(ch * 37), 0, 0, 0, 0, 1});
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) p.SetCell(line, x, static_cast<uint8_t>(x));
  }
  return testing::BuildProject(p);
}

// Each picture belongs to one input of the run: a later input whose
// picture or font sheet would land on one that an earlier input wrote is
// refused, and the earlier picture stays. Names are compared normalised.
TEST(ViewEndToEndTest, APictureOfTheRunIsNeverReplacedByAnother) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-o", "out", "d1/x.qdp", "d2/x.qdp"},
       "qdpview: d2/x.qdp: out/x.png is already the preview of d1/x.qdp\n"},
      {{"-o", "out/", "d1/x.qdp", "d2/./x.qdp", "--", "d2//x"},
       "qdpview: d2/./x.qdp: out/x.png is already the preview of d1/x.qdp\n"
       "qdpview: d2//x: out/x.png is already the preview of d1/x.qdp\n"},
      {{"d1/x.qdp", "d1/x"}, "qdpview: d1/x: d1/x.png is already the preview of d1/x.qdp\n"},
      {{"d1/x.qdp", "d2/../d1/x"},
       "qdpview: d2/../d1/x: d2/../d1/x.png is already the preview of d1/x.qdp\n"},
      {{"d1/x.qdp", "./d1/x.qdp"},
       "qdpview: ./d1/x.qdp: ./d1/x.png is already the preview of d1/x.qdp\n"},
      {{"d1/x.qdp", "d1/x-fonts.qdp"},
       "qdpview: d1/x-fonts.qdp: d1/x-fonts.png is already the font sheet of d1/x.qdp\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ScratchDir dir;
    std::filesystem::create_directories(dir.File("d1"));
    std::filesystem::create_directories(dir.File("d2"));
    // d1's pictures show the box at cell (3, 4); d2's are blank.
    const testing::Bytes first = testing::BuildProject(Boxed());
    const testing::Bytes other = testing::BuildProject(testing::ProjectContent{});
    for (const char* name : {"d1/x.qdp", "d1/x", "d1/x-fonts.qdp"}) {
      testing::WriteFileBytes(dir.File(name), name == std::string("d1/x.qdp") ? first : other);
    }
    testing::WriteFileBytes(dir.File("d2/x.qdp"), other);
    testing::WriteFileBytes(dir.File("d2/x"), other);
    auto r = RunView(c.args, dir.Path());
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.err);
    const std::string picture = dir.File(c.args[0] == "-o" ? "out/x.png" : "d1/x.png");
    view::RgbImage image = view::ReadPng(picture);
    ASSERT_TRUE(image.Ok) << picture;
    EXPECT_EQ(image.At(32, 24), kLight);  // still the first input's
  }
}

// A failure names what failed: the input, the picture being written, or
// the temporary directory. The JSON keeps what was found before it.
TEST(ViewEndToEndTest, EveryFailureSaysWhatFailed) {
  const std::string stem(250, 's');  // its font sheet's name is too long
  struct Case {
    const char* name;
    std::vector<std::string> args;
    testing::Environment env;
    std::string error;   // after "qdpview: FILE: "
    bool summary_found;  // the rebuild and round trip were done
    bool preview_written;
  };
  const Case cases[] = {
      {"not a project", {"bad.qdp"}, {}, "Unsupported line width 36", false, false},
      {"missing", {"missing.qdp"}, {}, "File not found", false, false},
      {"a directory where the picture goes",
       {"one.qdp"},
       {},
       "cannot write one.png: File access denied",
       true,
       false},
      {"no temporary directory",
       {"two.qdp"},
       {{"TMPDIR", "/nonexistent"}},
       "cannot make a temporary file in /nonexistent: File not found",
       false,
       false},
      {"a font sheet name over the limit",
       {stem + ".qdp"},
       {},
       "cannot write " + stem + "-fonts.png: Invalid filename",
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    PutFiles(dir);
    std::filesystem::create_directory(dir.File("one.png"));
    std::filesystem::copy_file(dir.File("one.qdp"), dir.File(stem + ".qdp"));
    for (bool json : {false, true}) {
      std::vector<std::string> args = c.args;
      if (json) args.insert(args.begin(), "--json");
      auto r = testing::RunBinary(QDPVIEW_BINARY, args, dir.Path(), c.env);
      EXPECT_EQ(r.exit_status, 1);
      EXPECT_EQ(r.err, "qdpview: " + c.args[0] + ": " + c.error + "\n");
      if (!json) continue;
      std::vector<nlohmann::json> lines = JsonLines(r.out);
      ASSERT_EQ(lines.size(), 1u);
      const nlohmann::json& j = lines[0];
      EXPECT_EQ(j["error"], c.error);
      EXPECT_EQ(j["round_trip_exact"], c.summary_found ? nlohmann::json(true) : nlohmann::json());
      EXPECT_EQ(j["fonts_used"],
                c.summary_found ? nlohmann::json::parse("[0]") : nlohmann::json::array());
      EXPECT_EQ(j["preview"].is_string(), c.preview_written);
      EXPECT_TRUE(j["font_sheet"].is_null());
    }
  }
}

// -o makes the folder and its parents when they are missing.
TEST(ViewEndToEndTest, TheOutputFolderIsMadeWhenMissing) {
  ScratchDir dir;
  PutFiles(dir);
  auto r = RunView({"-o", "a/b/c", "one.qdp", "two.qdp"}, dir.Path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* name : {"one.png", "one-fonts.png", "two.png", "two-fonts.png"}) {
    EXPECT_TRUE(view::ReadPng(dir.File(std::string("a/b/c/") + name)).Ok) << name;
  }
}

// When the rebuild fails, a font sheet left at that name by an earlier
// run goes (it would be taken for this one), but only a regular file: a
// link there is left alone, and so is what it leads to.
TEST(ViewEndToEndTest, AFailedRebuildRemovesAStaleFontSheet) {
  for (bool link : {false, true}) {
    SCOPED_TRACE(link ? "a link" : "a file");
    ScratchDir dir;
    // A font sheet of qdpview's own: no other file would be replaced.
    PutFiles(dir);
    ASSERT_EQ(RunView({"one.qdp"}, dir.Path()).exit_status, 0);
    const testing::Bytes sheet = testing::ReadFileBytes(dir.File("one-fonts.png"));
    testing::WriteFileBytes(dir.File("tight.qdp"), Unconvertible());
    testing::WriteFileBytes(dir.File("kept.png"), sheet);
    if (link) {
      std::filesystem::create_symlink("kept.png", dir.File("tight-fonts.png"));
    } else {
      testing::WriteFileBytes(dir.File("tight-fonts.png"), sheet);
    }
    auto r = RunView({"tight.qdp"}, dir.Path());
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err.rfind("qdpview: tight.qdp: conversion failed: line 0 needs", 0), 0u) << r.err;
    EXPECT_NE(r.out.find("  font sheet:    none (the rebuild failed)\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(std::filesystem::is_symlink(dir.File("tight-fonts.png")), link);
    EXPECT_EQ(testing::FileExists(dir.File("tight-fonts.png")), link);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("kept.png")), sheet);
    EXPECT_TRUE(view::ReadPng(dir.File("tight.png")).Ok);
  }
}

// An input or palette file that cannot be read is named for what it is,
// and before anything else is said of it: a missing file is not found,
// even where its picture's name would clash with another input's.
// Palette names are case-blind; a file named like one is given as ./pal.
TEST(ViewEndToEndTest, EachFileThatCannotBeReadIsNamedForWhatItIs) {
  const std::string not_regular = "is not a regular file (a pipe, fifo or device)";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
    const char* palette;  // the JSON's "palette" of the one line, if any
  };
  const Case cases[] = {
      {{"adir.qdp"}, 1, "qdpview: adir.qdp: is a directory\n", nullptr},
      {{"/dev/null"}, 1, "qdpview: /dev/null: " + not_regular + "\n", nullptr},
      {{"one.qdp", "one"}, 1, "qdpview: one: File not found\n", nullptr},
      {{"-o", "out", "one.qdp", "d/one.qdp"}, 1, "qdpview: d/one.qdp: File not found\n", nullptr},
      {{"--palette", "PAL", "--json", "one.qdp"}, 0, "", "pal"},
      {{"--palette=Ntsc", "--json", "one.qdp"}, 0, "", "ntsc"},
      {{"--palette", "./pal", "--json", "one.qdp"}, 0, "", "./pal"},
      {{"--palette", "./ntsc", "one.qdp"},
       2,
       "qdpview: palette file ./ntsc: File not found\n",
       nullptr},
      {{"--palette", "adir.qdp", "one.qdp"},
       2,
       "qdpview: palette file adir.qdp: is a directory\n",
       nullptr},
      {{"--palette", "/dev/null", "one.qdp"},
       2,
       "qdpview: palette file /dev/null: " + not_regular + "\n",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ScratchDir dir;
    PutFiles(dir);
    std::filesystem::create_directory(dir.File("adir.qdp"));
    testing::WriteFileBytes(dir.File("pal"), testing::Bytes(768, 0x55));
    auto r = RunView(c.args, dir.Path());
    EXPECT_EQ(r.exit_status, c.status);
    EXPECT_EQ(r.err, c.err);
    if (c.palette != nullptr) {
      std::vector<nlohmann::json> lines = JsonLines(r.out);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0]["palette"], c.palette);
    }
  }
}

TEST(ViewEndToEndTest, UsageErrorsExitWithTwo) {
  ScratchDir dir;
  PutFiles(dir);
  for (std::vector<std::string> args : {std::vector<std::string>{},
                                        {"--scale", "0", "one.qdp"},
                                        {"--scale", "17", "one.qdp"},
                                        {"--bogus", "one.qdp"},
                                        {"-o", "one.qdp", "two.qdp"},
                                        {"-o"}}) {
    auto r = RunView(args, dir.Path());
    EXPECT_EQ(r.exit_status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err.rfind("qdpview: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nusage: qdpview"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(testing::FileExists(dir.File("one.png")));
  EXPECT_FALSE(testing::FileExists(dir.File("two.png")));
  auto help = RunView({"--help"}, dir.Path());
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_EQ(help.out.rfind("usage: qdpview", 0), 0u);
  auto version = RunView({"--version"}, dir.Path());
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out.rfind("qdpview ", 0), 0u);
}

}  // namespace
}  // namespace qdp
