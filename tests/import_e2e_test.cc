// qdpimport run as a process: pictures made by code in every form, the
// projects it writes read by qdpext and drawn by qdpview, the round trip
// of qdpview's own pictures, the output names, the refusals and their
// exit statuses, and nothing left behind by a failure.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "import/picture_error.h"
#include "importer/fit.h"
#include "platform/file_system.h"
#include "tests/support/picture_files.h"
#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"
#include "view/png_reader.h"

namespace qdp {
namespace {

using testing::Bytes;
using testing::Drawn;
using testing::ScratchDir;

// qdpimport under test: this build's, or the command QDP_IMPORT_PROGRAM names
// (such as qdpimport.exe under wine). qdpext and qdpview stay this build's
// unless QDP_PROGRAM says otherwise.
testing::ProgramResult Import(const std::vector<std::string>& args, const std::string& cwd,
                              const testing::ChildSetup& setup = {}) {
  static const std::vector<std::string> command =
      testing::CommandFromEnvironment("QDP_IMPORT_PROGRAM", QDPIMPORT_BINARY);
  return testing::RunCommand(command, args, cwd, {}, setup);
}
testing::ProgramResult View(const std::vector<std::string>& args, const std::string& cwd) {
  return testing::RunBinary(QDPVIEW_BINARY, args, cwd);
}

Bytes Png(Drawn what, int width, int height, uint32_t seed = 1) {
  return testing::EncodePng(testing::MakePicture(what, width, height, seed),
                            {PNG_COLOR_TYPE_RGB, 8});
}

// qdpview's picture of a PNG it wrote, as the metric takes it.
view::IndexedImage AsIndexed(const view::RgbImage& picture) {
  view::IndexedImage image;
  image.Width = picture.Width;
  image.Height = picture.Height;
  auto index = std::make_shared<std::map<std::tuple<int, int, int>, uint8_t>>();
  for (const view::Rgb& p : picture.Pixels) {
    if (index->emplace(std::tuple(p.R, p.G, p.B), image.Palette.size()).second) {
      image.Palette.push_back(p);
    }
  }
  image.FillRow = [picture, index](int y, uint8_t* row) {
    for (int x = 0; x < picture.Width; ++x) {
      const view::Rgb p = picture.At(x, y);
      row[x] = index->at(std::tuple(p.R, p.G, p.B));
    }
  };
  return image;
}

import::SourcePicture Decoded(const std::string& path, bool fit){
    return importer::ReadSourcePicture(*RealFileSystem().OpenForReading(path), fit);
}  // namespace

struct PictureCase {
  const char* name;
  Bytes bytes;
  bool fit;
  int width;  // cells of the project
};

TEST(ImportEndToEndTest, ProjectsConvertWithoutFailureAndQdpviewDrawsWhatWasMeasured) {
  const PictureCase cases[] = {
      {"gradient.png", Png(Drawn::kGradient, 320, 240), false, 40},
      {"shapes.jpg", testing::EncodeJpeg(testing::MakePicture(Drawn::kShapes, 256, 240), 90), false,
       32},
      {"text.PNG",
       testing::EncodePng(testing::MakePicture(Drawn::kText, 192, 240),
                          {PNG_COLOR_TYPE_PALETTE, 8, true}),
       false, 48},
      {"noise.png", Png(Drawn::kNoise, 384, 240), false, 48},
      {"wide.jpeg", testing::EncodeJpeg(testing::MakePicture(Drawn::kGradient, 1000, 300), 85),
       true, 40},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    testing::WriteFileBytes(dir.File(c.name), c.bytes);
    std::vector<std::string> args = {"--json", c.name};
    if (c.fit) args.push_back("--fit");
    auto imported = Import(args, dir.Path());
    ASSERT_EQ(imported.exit_status, 0) << imported.err;
    const nlohmann::json report = nlohmann::json::parse(imported.out);
    const std::string stem = std::string(c.name).substr(0, std::string(c.name).find('.'));
    EXPECT_EQ(report["project"], stem + ".qdp");
    EXPECT_EQ(report["width"], c.width);
    EXPECT_EQ(report["fitted"], c.fit);

    auto extracted = testing::RunProgram({stem + ".qdp", "-s", "-f", "-m", "-c"}, dir.Path());
    EXPECT_EQ(extracted.exit_status, 0) << extracted.out << extracted.err;
    auto viewed = View({"--json", "-o", "drawn", stem + ".qdp"}, dir.Path());
    ASSERT_EQ(viewed.exit_status, 0) << viewed.err;
    const nlohmann::json view = nlohmann::json::parse(viewed.out);
    EXPECT_EQ(view["conversion"], "none");
    EXPECT_EQ(view["round_trip_exact"], true);
    // The error qdpimport reported is the error of what qdpview draws.
    const view::RgbImage drawn = view::ReadPng(dir.File("drawn/" + stem + ".png"));
    ASSERT_TRUE(drawn.Ok);
    EXPECT_NEAR(import::PictureError(Decoded(dir.File(c.name), c.fit), AsIndexed(drawn)),
                report["picture_error"].get<double>(), 1e-9);
  }
}

// A project of random characters, colours and line modes, as made by hand.
testing::ProjectContent RandomProject(uint32_t seed) {
  std::mt19937 random(seed);
  testing::ProjectContent p;
  p.width_byte = std::array<uint8_t, 3>{32, 40, 48}[random() % 3];
  p.mode_byte = 0x0A;
  p.fonts_byte = 1;
  p.fonts.resize(2 * 1024);
  for (uint8_t& b : p.fonts) b = static_cast<uint8_t>(random());
  p.screen.resize(30 * p.Width());
  for (uint8_t& b : p.screen) b = static_cast<uint8_t>(random());
  for (int line = 0; line < 30; ++line) {
    p.line_fonts[line] = static_cast<uint8_t>(random() % 2);
    p.line_mode_table[line] = std::array<uint8_t, 4>{1, 2, 4, 255}[random() % 4];
  }
  for (uint8_t& c : p.colours) c = static_cast<uint8_t>(random() & 0xFE);
  return p;
}

TEST(ImportEndToEndTest, WhatQdpviewDrewComesBackExactly) {
  std::vector<std::pair<std::string, Bytes>> projects = {
      {"demo.qdp", testing::ReadFileBytes(QDP_EXAMPLES_DIR "/demo.qdp")}};
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    projects.emplace_back("random" + std::to_string(seed) + ".qdp",
                          testing::BuildProject(RandomProject(seed)));
  }
  for (const auto& [name, bytes] : projects) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    testing::WriteFileBytes(dir.File(name), bytes);
    ASSERT_EQ(View({"-o", "first", name}, dir.Path()).exit_status, 0);
    const std::string stem = name.substr(0, name.size() - 4);
    auto imported = Import({"-q", "-o", "again.qdp", "first/" + stem + ".png"}, dir.Path());
    ASSERT_EQ(imported.exit_status, 0) << imported.err;
    EXPECT_EQ(imported.out, "");
    ASSERT_EQ(View({"-o", "second", "again.qdp"}, dir.Path()).exit_status, 0);
    const view::RgbImage first = view::ReadPng(dir.File("first/" + stem + ".png"));
    const view::RgbImage second = view::ReadPng(dir.File("second/again.png"));
    ASSERT_TRUE(first.Ok && second.Ok);
    EXPECT_TRUE(first == second);
  }
}

struct NamingCase {
  std::vector<std::string> pictures;  // written in the scratch folder
  std::vector<std::string> args;
  std::vector<std::string> projects;  // expected
};

TEST(ImportEndToEndTest, ProjectsAreNamedByTheOutputRules) {
  const NamingCase cases[] = {
      {{"pic.png"}, {"pic.png"}, {"pic.qdp"}},
      {{"sub/pic.jpg"}, {"sub/pic.jpg"}, {"sub/pic.qdp"}},
      {{"pic.png"}, {"pic.png", "-o", "Title.QDP"}, {"Title.QDP"}},
      {{"pic.png"}, {"-o", "made/deeper", "pic.png"}, {"made/deeper/pic.qdp"}},
      {{"a.png", "b.jpg"},
       {"-o", "both.qdp", "a.png", "b.jpg"},
       {"both.qdp/a.qdp", "both.qdp/b.qdp"}},
      {{"sub/a.png", "b.png"}, {"-z", "--", "sub/a.png", "b.png"}, {"sub/a.qdp", "b.qdp"}},
      // Names beyond ASCII, with spaces, in and out.
      {{"sub/ça va.jpg"}, {"-o", "sortie été", "sub/ça va.jpg"}, {"sortie été/ça va.qdp"}},
      {{"Ünïcode ß.png"}, {"Ünïcode ß.png"}, {"Ünïcode ß.qdp"}},
  };
  const Bytes png = Png(Drawn::kShapes, 160, 240);
  const Bytes jpeg = testing::EncodeJpeg(testing::MakePicture(Drawn::kShapes, 160, 240), 90);
  for (const NamingCase& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    for (const std::string& p : c.pictures) {
      testing::WriteFileBytes(dir.File(p), p.ends_with(".jpg") ? jpeg : png);
    }
    auto r = Import(c.args, dir.Path());
    EXPECT_EQ(r.exit_status, 0) << r.err;
    for (const std::string& project : c.projects) {
      const Bytes bytes = testing::ReadFileBytes(dir.File(project));
      EXPECT_FALSE(bytes.empty()) << project;
      const bool compressed = std::find(c.args.begin(), c.args.end(), "-z") != c.args.end();
      EXPECT_EQ(bytes.size() > 7 && std::equal(bytes.begin(), bytes.begin() + 7, "QDPZLIB"),
                compressed);
      EXPECT_EQ(testing::RunProgram({project, "-s"}, dir.Path()).exit_status, 0) << project;
    }
  }
}

// qdpview names its picture of pic.qdp pic.png, the name of the picture
// pic.qdp was imported from: it writes over no file it did not make, and
// writes none of that project's pictures then, but replaces its own.
TEST(ImportEndToEndTest, QdpviewWritesOverNoPictureItDidNotMake) {
  const Bytes picture = Png(Drawn::kGradient, 320, 240);
  struct Case {
    const char* name;
    std::string file;  // put there after the import
    Bytes bytes;
  };
  const Case cases[] = {
      {"the imported picture", "pic.png", picture},
      {"a text file at the font sheet's name", "pic-fonts.png", Bytes{'h', 'i', '\n'}},
      {"an empty file", "pic.png", Bytes{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    testing::WriteFileBytes(dir.File("pic.png"), picture);
    ASSERT_EQ(Import({"pic.png"}, dir.Path()).exit_status, 0);
    std::filesystem::remove(dir.File("pic.png"));
    testing::WriteFileBytes(dir.File(c.file), c.bytes);
    auto viewed = View({"pic.qdp"}, dir.Path());
    EXPECT_EQ(viewed.exit_status, 1);
    EXPECT_EQ(viewed.err,
              "qdpview: pic.qdp: " + c.file + " was not made by qdpview, so it is not replaced\n");
    EXPECT_EQ(testing::ReadFileBytes(dir.File(c.file)), c.bytes);
    // Nor is any other picture of the project written.
    for (const char* other : {"pic.png", "pic-fonts.png"}) {
      if (c.file != other) {
        EXPECT_FALSE(std::filesystem::exists(dir.File(other))) << other;
      }
    }
  }
  // Its own pictures it replaces, run after run.
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("a.png"), picture);
  testing::WriteFileBytes(dir.File("b.png"), Png(Drawn::kNoise, 320, 240));
  ASSERT_EQ(Import({"a.png", "-o", "pic.qdp"}, dir.Path()).exit_status, 0);
  ASSERT_EQ(View({"pic.qdp"}, dir.Path()).exit_status, 0);
  const Bytes first = testing::ReadFileBytes(dir.File("pic.png"));
  ASSERT_EQ(Import({"b.png", "-o", "pic.qdp"}, dir.Path()).exit_status, 0);
  auto again = View({"pic.qdp"}, dir.Path());
  EXPECT_EQ(again.exit_status, 0) << again.err;
  EXPECT_NE(testing::ReadFileBytes(dir.File("pic.png")), first);
  EXPECT_TRUE(view::ReadPng(dir.File("pic-fonts.png")).Ok);
}

struct RefusalCase {
  const char* name;
  std::vector<std::pair<std::string, Bytes>> files;
  std::vector<std::string> args;
  int exit_status;
  std::string err_starts;          // the first line of standard error
  std::vector<std::string> after;  // the folder's entries after the run
};

TEST(ImportEndToEndTest, RefusalsNameTheFileAndTheReasonAndLeaveNothing) {
  const Bytes good = Png(Drawn::kGradient, 320, 240);
  const Bytes odd = Png(Drawn::kGradient, 300, 240);
  const Bytes jpeg = testing::EncodeJpeg(testing::MakePicture(Drawn::kShapes, 320, 240), 90);
  const Bytes old_project = {1, 2, 3};
  const RefusalCase cases[] = {
      {"wrong size",
       {{"odd.png", odd}},
       {"odd.png"},
       2,
       "qdpimport: odd.png: the picture is 300 x 240 pixels; taken as they stand are 256, 320 "
       "or 384 x 240 (or half as wide: 128, 160 or 192 x 240), and --fit scales any other",
       {"odd.png"}},
      {"wrong size among good ones",
       {{"odd.png", odd}, {"good.png", good}},
       {"odd.png", "good.png"},
       2,
       "qdpimport: odd.png: the picture is 300 x 240",
       {"good.png", "good.qdp", "odd.png"}},
      {"cut short",
       {{"cut.png", testing::Truncated(good, 300)}, {"cut.qdp", old_project}},
       {"cut.png"},
       1,
       "qdpimport: cut.png: corrupt PNG: ",
       {"cut.png", "cut.qdp"}},
      {"cut short JPEG",
       {{"cut.jpg", testing::Truncated(jpeg, 600)}},
       {"cut.jpg"},
       1,
       "qdpimport: cut.jpg: corrupt JPEG: the file ends early",
       {"cut.jpg"}},
      {"not a picture",
       {{"notes.png", {'t', 'e', 'x', 't'}}},
       {"notes.png"},
       1,
       "qdpimport: notes.png: not a PNG or JPEG picture",
       {"notes.png"}},
      {"oversized header",
       {{"huge.png", testing::PngHeaderOnly(20000, 20000)}},
       {"--fit", "huge.png"},
       1,
       "qdpimport: huge.png: the picture is 20000 x 20000 pixels, larger than",
       {"huge.png"}},
      {"missing", {}, {"missing.png"}, 1, "qdpimport: missing.png: File not found", {}},
      {"over the input",
       {{"pic.qdp", good}},
       {"pic.qdp"},
       1,
       "qdpimport: pic.qdp: would write pic.qdp over a picture of this run",
       {"pic.qdp"}},
      {"over the input by -o",
       {{"pic.png", good}},
       {"-o", "./pic.png", "pic.png"},
       2,
       "qdpimport: ./pic.png is not a folder",
       {"pic.png"}},
      {"two pictures, one project",
       {{"a.png", good}, {"a.jpg", jpeg}},
       {"a.png", "a.jpg"},
       1,
       "qdpimport: a.jpg: would write a.qdp again",
       {"a.jpg", "a.png", "a.qdp"}},
      {"unknown mode",
       {{"a.png", good}},
       {"--mode", "colour", "a.png"},
       2,
       "qdpimport: --mode needs auto, hires, four or gtia",
       {"a.png"}},
      {"unknown dithering",
       {{"a.png", good}},
       {"--dither=error", "a.png"},
       2,
       "qdpimport: --dither needs none, ordered or diffusion",
       {"a.png"}},
      {"too many fonts",
       {{"a.png", good}},
       {"--fonts", "31", "a.png"},
       2,
       "qdpimport: --fonts: ",
       {"a.png"}},
      {"no fonts",
       {{"a.png", good}},
       {"--fonts", "0", "a.png"},
       2,
       "qdpimport: --fonts: ",
       {"a.png"}},
      {"too many changes",
       {{"a.png", good}},
       {"--max-changes", "6", "a.png"},
       2,
       "qdpimport: --max-changes: ",
       {"a.png"}},
      {"unknown option", {{"a.png", good}}, {"--colours", "a.png"}, 2, "qdpimport: ", {"a.png"}},
      {"no picture", {}, {"-z"}, 2, "qdpimport: no picture given", {}},
      {"missing palette",
       {{"a.png", good}},
       {"--palette", "no-such-palette", "a.png"},
       2,
       "qdpimport: ",
       {"a.png"}},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    for (const auto& [name, bytes] : c.files) testing::WriteFileBytes(dir.File(name), bytes);
    auto r = Import(c.args, dir.Path());
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')).rfind(c.err_starts, 0), 0u) << r.err;
    EXPECT_EQ(dir.List(), c.after);
    for (const auto& [name, bytes] : c.files) {
      EXPECT_EQ(testing::ReadFileBytes(dir.File(name)), bytes) << name << " was changed";
    }
  }
}

TEST(ImportEndToEndTest, AWriteThatFailsLeavesNoProjectAndTheOldOneAsItWas) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("pic.png"), Png(Drawn::kNoise, 320, 240));
  testing::WriteFileBytes(dir.File("kept.qdp"), {9, 9, 9});
  testing::ChildSetup small_disk;
  small_disk.file_size_limit = 4096;
  auto fresh = Import({"pic.png"}, dir.Path(), small_disk);
  EXPECT_EQ(fresh.exit_status, 1);
  EXPECT_EQ(fresh.err.rfind("qdpimport: pic.png: cannot write pic.qdp: ", 0), 0u) << fresh.err;
  auto over = Import({"-o", "kept.qdp", "pic.png"}, dir.Path(), small_disk);
  EXPECT_EQ(over.exit_status, 1);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"kept.qdp", "pic.png"}));
  EXPECT_EQ(testing::ReadFileBytes(dir.File("kept.qdp")), (Bytes{9, 9, 9}));
}

// Another build of qdpimport (QDP_IMPORT_PROGRAM, such as qdpimport.exe under
// wine) against this build's: for each picture and option set, the same
// project byte for byte and the same summary, picture error included, but
// for the time taken. Skipped when no other build is named.
TEST(ImportEndToEndTest, AnotherBuildWritesTheSameProjectsAndSummaries) {
  if (std::getenv("QDP_IMPORT_PROGRAM") == nullptr) GTEST_SKIP() << "no other build named";
  const std::pair<const char*, Bytes> pictures[] = {
      {"scene.png", Png(Drawn::kScene, 320, 240, 3)},
      {"noise.png", testing::EncodePng(testing::MakePicture(Drawn::kNoise, 192, 240, 5),
                                       {PNG_COLOR_TYPE_RGBA, 16, true})},
      {"photo.jpg", testing::EncodeJpeg(testing::MakePicture(Drawn::kScene, 640, 480, 7), 85)},
      {"text.jpg",
       testing::EncodeJpeg(testing::MakePicture(Drawn::kText, 256, 240, 2), 70, false, true)},
  };
  const std::vector<std::string> option_sets[] = {
      {},
      {"--fit", "--dither", "ordered", "--palette", "ntsc"},
      {"--fit", "--fonts", "3", "--max-changes", "2"},
      {"--fit", "--mode", "hires", "--dither", "none", "-z"},
      {"--fit", "--mode", "gtia"},
      {"--fit", "--palette", "grey.act"},
  };
  // A palette file of greys, read by each build through its own files.
  Bytes grey_palette;
  for (int i = 0; i < 256; ++i) grey_palette.insert(grey_palette.end(), 3, static_cast<uint8_t>(i));
  // The summary without its time, which no two runs share.
  auto without_time = [](const std::string& out) {
    nlohmann::json j = nlohmann::json::parse(out);
    j.erase("milliseconds");
    return j.dump();
  };
  for (const auto& [name, bytes] : pictures) {
    for (const auto& options : option_sets) {
      SCOPED_TRACE(std::string(name) + " with " + ::testing::PrintToString(options));
      ScratchDir dir;
      testing::WriteFileBytes(dir.File(name), bytes);
      testing::WriteFileBytes(dir.File("grey.act"), grey_palette);
      std::vector<std::string> args = options;
      args.insert(args.end(), {"--json", "-o", "other.qdp", name});
      auto other = Import(args, dir.Path());
      args[args.size() - 2] = "this.qdp";
      auto here = testing::RunBinary(QDPIMPORT_BINARY, args, dir.Path());
      EXPECT_EQ(other.exit_status, here.exit_status) << other.err;
      EXPECT_EQ(other.err, here.err);
      if (other.exit_status != 0 || here.exit_status != 0) continue;
      nlohmann::json other_report = nlohmann::json::parse(other.out);
      other_report["project"] = "this.qdp";
      EXPECT_EQ(without_time(other_report.dump()), without_time(here.out));
      EXPECT_TRUE(testing::ReadFileBytes(dir.File("other.qdp")) ==
                  testing::ReadFileBytes(dir.File("this.qdp")));
    }
  }
}

TEST(ImportEndToEndTest, TheSummaryInTextAndJson) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("a.png"), Png(Drawn::kShapes, 320, 240));
  testing::WriteFileBytes(dir.File("b.jpg"),
                          testing::EncodeJpeg(testing::MakePicture(Drawn::kText, 640, 480), 90));
  auto text = Import({"--fit", "--fonts", "2", "--max-changes", "3", "a.png", "b.jpg"}, dir.Path());
  ASSERT_EQ(text.exit_status, 0) << text.err;
  for (const char* line : {"a.png\n  picture:       320 x 240 pixels, taken as it stands\n",
                           "\n\nb.jpg\n  picture:       640 x 480 pixels, fitted to the screen\n",
                           "  geometry:      40 x 30 cells, 320 x 240 pixels\n",
                           "  line modes:    ", "  fonts:         ", " (budget 2", "(limit 3)\n",
                           "  picture error: ", "  project:       b.qdp\n", " ms\n"}) {
    EXPECT_NE(text.out.find(line), std::string::npos) << line << " not in\n" << text.out;
  }
  auto json = Import({"--json", "--max-changes", "2", "a.png", "missing.png"}, dir.Path());
  EXPECT_EQ(json.exit_status, 1);
  const size_t end = json.out.find('\n');
  const nlohmann::json a = nlohmann::json::parse(json.out.substr(0, end));
  const nlohmann::json missing = nlohmann::json::parse(json.out.substr(end + 1));
  EXPECT_EQ(a["line_modes"].size(), 30u);
  EXPECT_LE(a["max_changes_on_a_scanline"].get<int>(), 2);
  EXPECT_EQ(a["error"], nullptr);
  EXPECT_EQ(missing["error"], "File not found");
  EXPECT_EQ(missing["project"], nullptr);
  auto version = Import({"--version"}, dir.Path());
  EXPECT_EQ(version.out, std::string("qdpimport ") + QDP_VERSION + "\n");
  auto help = Import({"--help"}, dir.Path());
  EXPECT_EQ(help.out.rfind("usage: qdpimport ", 0), 0u);
}

}  // namespace qdp
}  // namespace qdp
