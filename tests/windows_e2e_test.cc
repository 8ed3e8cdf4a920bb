// qdpext.exe as a Windows user meets it: started as a Windows process with
// a command line of their quoting, names in any script, output bytes on
// the console, files other programs hold open, and the temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <thread>

#include "app/command_line.h"
#include "tests/expected_side_files.h"
#include "tests/support/project_builder.h"
#include "tests/support/windows_process.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace qdp::testing {
namespace {

namespace fs = std::filesystem;

fs::path Program() { return ThisProgramFolder() / QDPEXT_FROM_TESTS; }

// 128 distinct glyphs across the screen, in the 16 x 16 block conversion:
// far more than 63 distinct blocks, so the conversion fails.
ProjectContent UnconvertibleProject() {
  ProjectContent content;
  content.mode_byte = 0x10 | 1;
  for (int c = 0; c < 128; ++c) {
    content.SetGlyph(0, c, {static_cast<uint8_t>(c), 1, 2, 3, 4, 5, 6, static_cast<uint8_t>(c)});
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x)
      content.SetCell(line, x, static_cast<uint8_t>((line * 40 + x) % 128));
  }
  return content;
}

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path.string();
}

Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The entries of `folder` as UTF-8 names, sorted.
std::vector<std::string> List(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Report(const std::string& kind, const std::string& reason) {
  return "Exception " + kind + " in module qdpext\\.exe at [0-9A-F]{8}\\.\r\n" + reason +
         "\\.\r\n\r\n";
}

TEST(WindowsConsoleTest, OutputLinesEndInExactlyCrLf) {
  ScratchDir dir;
  const fs::path folder = Utf8Path(dir.Path());
  Write(folder / "pic.qdp", BuildProject(KeptFontsProject()));
  Write(folder / "bad.qdp", BuildProject(UnconvertibleProject()));
  Write(folder / "pic.COL", BuildProject(KeptFontsProject()));
  struct Case {
    const char* arguments;
    uint32_t exit_code;
    std::string out;  // exact
    std::string err;  // a regular expression
  };
  const Case cases[] = {
      {"", 2, UsageText(), ""},
      {"-x pic.qdp", 2, UsageText(), ""},
      {"-smfc bad.qdp", 3, "Conversion of bitmap into DUZ failed.\r\n", ""},
      {"-m pic.mic", 2, UsageText(), ""},
      {"-sm pic.qdp", 0, "", ""},
      {"-m pic.mic", 1, "", Report("EInOutError", "Side file pic\\.mic is the input file")},
      // Windows compares names without case: pic.col is the input.
      {"-mc pic.COL", 1, "", Report("EInOutError", "Side file pic\\.col is the input file")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    WindowsRun run = RunWindowsProgram(Program(), c.arguments, folder);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_TRUE(std::regex_match(run.err, std::regex(c.err))) << run.err;
  }
}

TEST(WindowsNamesTest, ProjectsNamedInAnyScriptOrWithSpacesConvert) {
  const char* names[] = {
      "pic.qdp",
      "my picture.qdp",
      "Bild \xC3\x84\xC3\x96\xC3\x9C \xC3\x9F.qdp",      // German letters
      "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0.qdp",    // Cyrillic
      "\xE5\x9B\xBE \xE2\x98\x83 \xF0\x9F\x8E\xA8.qdp",  // CJK, a snowman, an emoji
  };
  const ProjectContent content = KeptFontsProject();
  const SideFiles expected = ExpectedSideFiles(content, "smfc");
  for (const std::string name : names) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    const fs::path folder = Utf8Path(dir.Path());
    Write(folder / Utf8Path(name), BuildProject(content));
    WindowsRun run = RunWindowsProgram(Program(), "-smfc \"" + name + "\"", folder);
    EXPECT_EQ(run.exit_code, 0u) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    const std::string stem = name.substr(0, name.size() - 4);
    std::vector<std::string> listing = {name};
    for (const auto& [extension, bytes] : expected) {
      listing.push_back(stem + extension);
      EXPECT_EQ(Read(folder / Utf8Path(stem + extension)), bytes) << extension;
    }
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(List(folder), listing);
  }
}

TEST(WindowsNamesTest, AnEmptyQuotedArgumentIsNoArgument) {
  ScratchDir dir;
  const fs::path folder = Utf8Path(dir.Path());
  Write(folder / "pic.qdp", BuildProject(KeptFontsProject()));
  EXPECT_EQ(RunWindowsProgram(Program(), "\"\"", folder).out, UsageText());
  WindowsRun run = RunWindowsProgram(Program(), "\"\" -m \"\" pic.qdp \"\"", folder);
  EXPECT_EQ(run.exit_code, 0u) << run.out << run.err;
  EXPECT_EQ(List(folder), (std::vector<std::string>{"pic.mic", "pic.qdp"}));
}

// Holds `path` open as another program would, for the holder's lifetime.
class Holder {
 public:
  Holder(const fs::path& path, DWORD access, DWORD share)
      : handle_(::CreateFileW(path.wstring().c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Holder() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(WindowsSharingTest, FilesOthersHoldOpen) {
  struct Case {
    const char* name;
    const char* held;  // the file another program holds open
    DWORD access;
    DWORD share;
    uint32_t exit_code;
    std::string err;  // a regular expression
    std::vector<std::string> listing;
  };
  const DWORD read_write = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const Case cases[] = {
      {"input read by another program",
       "pic.qdp",
       GENERIC_READ,
       FILE_SHARE_READ,
       0,
       "",
       {"pic.mic", "pic.qdp"}},
      {"input being written by another program",
       "pic.qdp",
       GENERIC_WRITE,
       read_write,
       1,
       Report("EInOutError", "I/O error 32"),
       {"pic.qdp"}},
      {"side file read by another program",
       "pic.mic",
       GENERIC_READ,
       read_write,
       1,
       Report("EInOutError", "I/O error 32"),
       {"pic.mic", "pic.qdp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const fs::path folder = Utf8Path(dir.Path());
    const Bytes project = BuildProject(KeptFontsProject());
    Write(folder / "pic.qdp", project);
    if (!fs::exists(folder / c.held)) Write(folder / c.held, Bytes{1, 2, 3});
    Holder holder(folder / c.held, c.access, c.share);
    ASSERT_TRUE(holder.Holds());
    WindowsRun run = RunWindowsProgram(Program(), "-m pic.qdp", folder);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(c.err))) << run.err;
    EXPECT_EQ(List(folder), c.listing);
    EXPECT_EQ(Read(folder / "pic.qdp"), project);
  }
}

TEST(WindowsTempFilesTest, NoTemporaryFileIsLeftWhateverTheOutcome) {
  // A zlib header that does not check out: "incorrect header check".
  const Bytes corrupt =
      WithChangedByte(Compress(BuildProject(KeptFontsProject())), kMagicLength + 1);
  struct Case {
    const char* name;
    Bytes container;
    uint32_t exit_code;
  };
  const Case cases[] = {
      {"converted", Compress(BuildProject(KeptFontsProject())), 0},
      {"data error", corrupt, 1},
      {"conversion failed", Compress(BuildProject(UnconvertibleProject())), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    ScratchDir temp;
    const fs::path folder = Utf8Path(dir.Path());
    Write(folder / "pic.qdp", c.container);
    // GetTempPathW takes %TMP% first.
    WindowsRun run = RunWindowsProgram(Program(), "-smfc pic.qdp", folder,
                                       {{"TMP", temp.Path()}, {"TEMP", temp.Path()}});
    EXPECT_EQ(run.exit_code, c.exit_code) << run.out << run.err;
    EXPECT_EQ(List(Utf8Path(temp.Path())), std::vector<std::string>{});
    if (c.exit_code == 1) {
      EXPECT_NE(run.err.find("EZDecompressionError"), std::string::npos) << run.err;
    }
  }
}

// A named pipe is no disk file, whether anyone serves it or not: the run
// says so, as it does for a pipe on POSIX, instead of taking the name for
// a missing file and printing the usage text.
TEST(WindowsInputsTest, ANamedPipeIsRefusedWithTheReasonOfAPipe) {
  ScratchDir dir;
  const fs::path folder = Utf8Path(dir.Path());
  const std::wstring served =
      L"\\\\.\\pipe\\qdpext-e2e-" + std::to_wstring(::GetCurrentProcessId());
  HANDLE pipe = ::CreateNamedPipeW(served.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                   4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  const std::string served_name(served.begin(), served.end());
  for (const std::string& name : {served_name, std::string("//./pipe/qdpext-nobody-serves-this")}) {
    SCOPED_TRACE(name);
    WindowsRun run = RunWindowsProgram(Program(), "-m \"" + name + "\"", folder);
    EXPECT_EQ(run.exit_code, 1u) << run.out;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(Report("EInOutError", "I/O error 29"))))
        << run.err;
    EXPECT_EQ(List(folder), std::vector<std::string>{});
  }
  ::CloseHandle(pipe);
}

TEST(WindowsTempFilesTest, AProgramEndedInTheMiddleLeavesNoTemporaryFile) {
  // A container that decodes to 512 MiB: long enough to catch the run
  // while it copies the decoded project into a temporary file.
  ScratchDir dir;
  ScratchDir temp;
  const fs::path folder = Utf8Path(dir.Path());
  const fs::path temp_folder = Utf8Path(temp.Path());
  Write(folder / "big.qdp", CompressedZeros(uint64_t{512} << 20, BuildProject(KeptFontsProject())));
  StartedProgram run(Program(), "-smfc big.qdp", folder,
                     {{"TMP", temp.Path()}, {"TEMP", temp.Path()}});
  bool started = false;
  for (int waited_ms = 0; waited_ms < 20000 && !started; waited_ms += 2) {
    started = !fs::is_empty(temp_folder);
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // What Windows' default Ctrl+C handling ends a console program with.
  const uint32_t kControlCExit = 0xC000013A;
  run.Kill(kControlCExit);
  ASSERT_TRUE(started) << "no temporary file appeared";
  EXPECT_EQ(run.Wait(), kControlCExit);
  EXPECT_EQ(List(temp_folder), std::vector<std::string>{});
}

// A forced end from Task Manager cannot be caught, so only a temporary file
// that deletes itself from the moment it exists is safe from it. Runs of a
// small compressed project are ended at random moments from their start
// to past their end; none may leave a file in the temporary folder.
TEST(WindowsTempFilesTest, NoMomentOfAForcedEndLeavesATemporaryFile) {
  constexpr int kRuns = 60;
  ScratchDir dir;
  ScratchDir temp;
  const fs::path folder = Utf8Path(dir.Path());
  const fs::path temp_folder = Utf8Path(temp.Path());
  Write(folder / "z.qdp", Compress(BuildProject(KeptFontsProject())));
  // How long a whole run takes here, to spread the ends over it.
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(RunWindowsProgram(Program(), "-m z.qdp", folder,
                              {{"TMP", temp.Path()}, {"TEMP", temp.Path()}})
                .exit_code,
            0u);
  const auto whole_run = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int64_t> delay_us(0, whole_run.count() * 5 / 4);
  int runs_leaving_a_file = 0;
  int ended_early = 0;
  for (int run = 0; run < kRuns; ++run) {
    StartedProgram program(Program(), "-m z.qdp", folder,
                           {{"TMP", temp.Path()}, {"TEMP", temp.Path()}});
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    const uint32_t kForcedEnd = 0xE0D;
    program.Kill(kForcedEnd);
    if (program.Wait() == kForcedEnd) ++ended_early;
    if (!fs::is_empty(temp_folder)) {
      ++runs_leaving_a_file;
      for (const auto& entry : fs::directory_iterator(temp_folder)) fs::remove(entry.path());
    }
  }
  EXPECT_EQ(runs_leaving_a_file, 0) << "of " << kRuns << " runs, " << ended_early
                                    << " ended before they finished; a whole run takes "
                                    << whole_run.count() / 1000 << " ms (seed " << seed << ")";
}

// Side files are replaced whole: a run ended by force at any moment, into
// an empty folder or over complete side files of an earlier run, leaves
// each side file as it was (or absent) or complete. Nothing else stays but
// a temporary file ended in one of two instants, counted and printed: just
// made and not yet marked for deletion (empty), or whole, its mark lifted
// and not yet moved; and the next run into the folder removes it.
TEST(WindowsSideFilesTest, NoMomentOfAForcedEndLeavesPartOfASideFile) {
  // QDP_KILL_RUNS runs per case, as the native loop takes.
  const char* runs = std::getenv("QDP_KILL_RUNS");
  const int kRuns = runs != nullptr && std::atoi(runs) > 0 ? std::atoi(runs) : 40;
  const ProjectContent earlier_content = KeptFontsProject();
  ProjectContent content = earlier_content;
  content.colours.fill(5);
  content.SetGlyph(0, 1, {9, 8, 7, 6, 5, 4, 3, 2});
  const SideFiles earlier = ExpectedSideFiles(earlier_content, "smfc");
  const SideFiles complete = ExpectedSideFiles(content, "smfc");
  ScratchDir dir;
  const fs::path folder = Utf8Path(dir.Path());
  Write(folder / "z.qdp", Compress(BuildProject(content)));
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(RunWindowsProgram(Program(), "-smfc z.qdp", folder).exit_code, 0u);
  const auto whole_run = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int64_t> delay_us(0, whole_run.count());
  for (bool over_earlier : {false, true}) {
    SCOPED_TRACE(over_earlier ? "over earlier side files" : "into an empty folder");
    int parts = 0;
    int strays = 0;
    int whole = 0;            // a complete side file left under its temporary name
    int empty = 0;            // a temporary file ended before its mark
    int left_after_next = 0;  // anything but side files after one more run
    for (int run = 0; run < kRuns; ++run) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != "z.qdp") fs::remove(entry.path());
      }
      if (over_earlier) {
        for (const auto& [extension, bytes] : earlier) Write(folder / ("z" + extension), bytes);
      }
      StartedProgram program(Program(), "-smfc z.qdp", folder);
      std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
      program.Kill(0xE0D);
      program.Wait();
      for (const std::string& name : List(folder)) {
        if (name == "z.qdp") continue;
        const std::string extension = name.substr(1);
        const Bytes bytes = Read(folder / name);
        if (complete.count(extension) == 0) {
          const bool is_whole = std::any_of(complete.begin(), complete.end(),
                                            [&](const auto& file) { return file.second == bytes; });
          const bool temporary = name.starts_with("~qdp-");
          if (temporary && is_whole) {
            ++whole;
          } else if (temporary && bytes.empty()) {
            ++empty;
          } else {
            ++strays;
            std::printf("stray: %s, %zu bytes\n", name.c_str(), bytes.size());
          }
          continue;
        }
        if (bytes != complete.at(extension) && !(over_earlier && bytes == earlier.at(extension))) {
          ++parts;
        }
      }
      // Names that are neither the project nor a side file.
      const auto others = [&] {
        const std::vector<std::string> names = List(folder);
        return std::count_if(names.begin(), names.end(), [&](const std::string& name) {
          return name != "z.qdp" && complete.count(name.substr(1)) == 0;
        });
      };
      if (others() > 0) {
        EXPECT_EQ(RunWindowsProgram(Program(), "-smfc z.qdp", folder).exit_code, 0u);
        left_after_next += static_cast<int>(others());
      }
    }
    std::printf(
        "%s: %d runs, %d parts, %d strays; temporary files left: %d empty, %d whole, %d after "
        "the next run\n",
        over_earlier ? "over earlier side files" : "into an empty folder", kRuns, parts, strays,
        empty, whole, left_after_next);
    EXPECT_EQ(parts, 0) << "seed " << seed;
    EXPECT_EQ(strays, 0) << "seed " << seed;
    EXPECT_EQ(left_after_next, 0) << "seed " << seed;
  }
}

}  // namespace
}  // namespace qdp::testing
