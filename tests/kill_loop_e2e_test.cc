// Runs of qdpext and qdpview stopped at random moments by SIGKILL, SIGTERM
// or SIGINT, into an empty folder and over complete files of an earlier
// run. After each, every file the run writes must be as it was before the
// run (or absent) or complete, and nothing else may be in the folder but,
// after SIGKILL over older files, a complete file under a temporary name,
// which the next run into the folder must remove.
// QDP_KILL_RUNS sets the runs per signal and case (default 20);
// QDP_PROGRAM and QDP_VIEW_PROGRAM run other builds, so that the same loop
// measures an older one. The counts are printed whatever the outcome.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

// A project with something in every block, at full length for width 48 and
// 128 fonts; `variant` changes its glyphs, cells and colours, so that an
// earlier run's files differ from this one's.
Bytes FullProject(int variant) {
  ProjectContent content;
  content.width_byte = 48;
  content.fonts_byte = 127;
  content.mode_byte = 0x09;
  content.SetGlyph(1, 3, {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(8 + variant)});
  content.SetCell(5, 5 + variant, 3);
  content.line_fonts[5] = static_cast<uint8_t>(1 + variant);
  content.colours.fill(static_cast<uint8_t>(9 + variant));
  return BuildProject(content);
}

int RunsPerCase() {
  const char* runs = std::getenv("QDP_KILL_RUNS");
  return runs != nullptr && std::atoi(runs) > 0 ? std::atoi(runs) : 20;
}

std::vector<std::string> ViewCommand() {
  const char* program = std::getenv("QDP_VIEW_PROGRAM");
  return {program != nullptr && *program != '\0' ? program : QDPVIEW_BINARY};
}

using Files = std::map<std::string, Bytes>;

// Every file under `root`, by its path below it; the input is left out.
Files Collect(const std::string& root) {
  Files files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_directory()) continue;
    std::string name = std::filesystem::relative(entry.path(), root).string();
    if (name != "pic.qdp") files[name] = ReadFileBytes(entry.path().string());
  }
  return files;
}

void Clear(const std::string& root) {
  for (const auto& [name, bytes] : Collect(root)) std::filesystem::remove(root + "/" + name);
}

struct Program {
  const char* name;
  std::vector<std::string> command;
  std::vector<std::string> args;
};

struct Counts {
  int killed = 0;
  int empty = 0;
  int cut_short = 0;  // neither the earlier file nor the complete one
  int stray = 0;      // a name the run does not write, in either folder
  // A complete file under a temporary name: what SIGKILL can leave in the
  // instant between naming a finished file and moving it over an old one.
  int stray_whole = 0;
  // Anything but the run's own files still there after one more run.
  int left_after_next = 0;
};

bool IsOneOf(const Bytes& bytes, const Files& files) {
  return std::any_of(files.begin(), files.end(), [&](const auto& f) { return f.second == bytes; });
}

// What the files left by one run show, against the complete files and the
// earlier ones (`before`, empty for a run into an empty folder).
void Classify(const Files& left, const Files& complete, const Files& before, Counts& counts) {
  for (const auto& [name, bytes] : left) {
    auto done = complete.find(name);
    if (done == complete.end()) {
      ++(IsOneOf(bytes, complete) && name.find("~qdp") != std::string::npos ? counts.stray_whole
                                                                            : counts.stray);
    } else if (bytes == done->second || (before.count(name) != 0 && bytes == before.at(name))) {
      continue;
    } else if (bytes.empty()) {
      ++counts.empty;
    } else {
      ++counts.cut_short;
    }
  }
}

// Runs `program` in `work` once to the end and returns its files and how
// long it took.
Files RunToTheEnd(const Program& program, const ScratchDir& work, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  ProgramResult r = RunCommand(program.command, program.args, work.Path());
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return Collect(work.Path());
}

void KillLoop(const Program& program) {
  const int runs = RunsPerCase();
  ScratchDir work;
  ScratchDir temp;
  const Environment env = {{"TMPDIR", temp.Path()}};
  // The earlier run's files, then this run's, and how long a whole run
  // takes (the middle of five), so that the kills fall across all of it.
  WriteFileBytes(work.File("pic.qdp"), Compress(FullProject(1)));
  double seconds = 0;
  const Files earlier = RunToTheEnd(program, work, seconds);
  Clear(work.Path());
  WriteFileBytes(work.File("pic.qdp"), Compress(FullProject(0)));
  Files complete;
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    complete = RunToTheEnd(program, work, seconds);
    times.push_back(seconds);
    Clear(work.Path());
  }
  std::sort(times.begin(), times.end());
  ASSERT_FALSE(complete.empty());
  ASSERT_EQ(earlier.size(), complete.size());
  for (const auto& [name, bytes] : complete) ASSERT_NE(bytes, earlier.at(name)) << name;

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay_ns(0, static_cast<long>(times[2] * 1e9));
  for (int signal_number : {SIGKILL, SIGTERM, SIGINT}) {
    for (bool over_earlier : {false, true}) {
      const std::string what = std::string(program.name) + ", " + strsignal(signal_number) +
                               (over_earlier ? ", over earlier files" : ", into an empty folder");
      SCOPED_TRACE(what);
      Counts counts;
      for (int run = 0; run < runs; ++run) {
        Clear(work.Path());
        Clear(temp.Path());
        if (over_earlier) {
          for (const auto& [name, bytes] : earlier) {
            std::filesystem::create_directories(
                std::filesystem::path(work.File(name)).parent_path());
            WriteFileBytes(work.File(name), bytes);
          }
        }
        pid_t pid = StartCommand(program.command, program.args, work.Path(), env);
        timespec pause{0, delay_ns(random)};
        nanosleep(&pause, nullptr);
        kill(pid, signal_number);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++counts.killed;
        const Files left = Collect(work.Path());
        Classify(left, complete, over_earlier ? earlier : Files{}, counts);
        counts.stray += static_cast<int>(Collect(temp.Path()).size());
        // What a killed run left under a temporary name, the next run
        // into the folder removes.
        const bool extra = std::any_of(left.begin(), left.end(),
                                       [&](const auto& f) { return complete.count(f.first) == 0; });
        if (extra) {
          for (const auto& [name, bytes] : RunToTheEnd(program, work, seconds)) {
            counts.left_after_next += complete.count(name) == 0 ? 1 : 0;
          }
        }
      }
      std::cout << what << ": " << runs << " runs, " << counts.killed << " killed; " << counts.empty
                << " empty, " << counts.cut_short << " cut short, " << counts.stray << " stray, "
                << counts.stray_whole << " whole under a temporary name, " << counts.left_after_next
                << " left after the next run (seed " << seed << ")\n";
      EXPECT_EQ(counts.empty, 0);
      EXPECT_EQ(counts.cut_short, 0);
      EXPECT_EQ(counts.stray, 0);
      EXPECT_EQ(counts.left_after_next, 0);
      if (signal_number != SIGKILL || !over_earlier) {
        EXPECT_EQ(counts.stray_whole, 0);
      }
      // The loop means something only when runs were cut short.
      EXPECT_GT(counts.killed, 0);
    }
  }
}

TEST(KillLoopE2ETest, SideFilesAreAsBeforeOrCompleteWheneverQdpextIsStopped) {
  KillLoop({"qdpext", ProgramCommand(), {"pic.qdp", "-smfc"}});
}

TEST(KillLoopE2ETest, PicturesAreAsBeforeOrCompleteWheneverQdpviewIsStopped) {
  KillLoop({"qdpview", ViewCommand(), {"-o", "out", "pic.qdp"}});
}

}  // namespace
}  // namespace qdp::testing
