// Many conversions of compressed projects at once, each in its own folder
// but all sharing one temporary folder: the temporary names must never
// collide, every run must produce what it produces alone, and nothing may
// be left in the temporary folder afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <latch>
#include <random>
#include <thread>

#include "tests/support/project_builder.h"
#include "tests/support/run_program.h"

namespace qdp::testing {
namespace {

constexpr int kRuns = 32;

// Project `index`: a full-size container in one of several conversion
// modes and widths; every eighth has a broken checksum and must fail.
Bytes MakeContainer(int index) {
  std::mt19937 rng(static_cast<unsigned>(index) + 1);
  ProjectContent content;
  const uint8_t modes[] = {0x81, 0x41, 0x11, 0x09};
  const uint8_t widths[] = {32, 40, 48};
  content.mode_byte = modes[index % 4];
  content.width_byte = widths[index % 3];
  content.fonts_byte = static_cast<uint8_t>(index % 5);
  const bool blocks = (content.mode_byte & 0x10) != 0;
  // Two glyphs keep the 16 x 16 conversion within its block budget.
  std::uniform_int_distribution<int> code(0, blocks ? 1 : 100);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int font = 0; font < content.FontCount(); ++font) {
    for (int c = 0; c < 128; ++c) {
      std::array<uint8_t, 8> rows;
      for (auto& row : rows) row = static_cast<uint8_t>(byte(rng));
      content.SetGlyph(font, c, rows);
    }
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < content.Width(); ++x)
      content.SetCell(line, x, static_cast<uint8_t>(code(rng)));
    content.line_fonts[static_cast<size_t>(line)] =
        blocks ? static_cast<uint8_t>(line & 1) : static_cast<uint8_t>(line % content.FontCount());
  }
  for (auto& entry : content.colours) entry = static_cast<uint8_t>(byte(rng));
  Bytes container = Compress(BuildProject(content));
  if (index % 8 == 7) container[container.size() - 1] ^= 0x01;
  return container;
}

struct RunRecord {
  ProgramResult result;
  std::vector<std::string> names;
  std::vector<Bytes> contents;
};

RunRecord Collect(const std::string& dir, ProgramResult result) {
  RunRecord record{std::move(result), {}, {}};
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    record.names.push_back(entry.path().filename().string());
  }
  std::sort(record.names.begin(), record.names.end());
  for (const std::string& name : record.names)
    record.contents.push_back(ReadFileBytes(dir + "/" + name));
  return record;
}

TEST(ParallelE2ETest, ConcurrentRunsSharingTheTempFolderMatchSequentialRuns) {
  ScratchDir work;
  const std::string temp = work.File("tmp");
  std::filesystem::create_directory(temp);
  const std::vector<std::pair<std::string, std::string>> env = {{"TMPDIR", temp}};
  auto folder = [&](const char* kind, int index) {
    return work.File(kind + std::to_string(index));
  };
  for (int i = 0; i < kRuns; ++i) {
    Bytes container = MakeContainer(i);
    for (const char* kind : {"seq", "par"}) {
      std::filesystem::create_directory(folder(kind, i));
      WriteFileBytes(folder(kind, i) + "/pic.qdp", container);
    }
  }
  const std::vector<std::string> args = {"-smfc", "pic.qdp"};

  std::vector<RunRecord> sequential;
  for (int i = 0; i < kRuns; ++i) {
    sequential.push_back(Collect(folder("seq", i), RunProgram(args, folder("seq", i), env)));
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp));

  std::vector<ProgramResult> results(kRuns);
  std::latch start(kRuns);
  std::vector<std::thread> threads;
  for (int i = 0; i < kRuns; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      results[static_cast<size_t>(i)] = RunProgram(args, folder("par", i), env);
    });
  }
  for (std::thread& thread : threads) thread.join();

  int succeeded = 0;
  for (int i = 0; i < kRuns; ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    const RunRecord& alone = sequential[static_cast<size_t>(i)];
    RunRecord together = Collect(folder("par", i), results[static_cast<size_t>(i)]);
    EXPECT_EQ(alone.result.exit_status, i % 8 == 7 ? 1 : 0) << alone.result.err;
    EXPECT_EQ(together.result.exit_status, alone.result.exit_status) << together.result.err;
    EXPECT_EQ(together.result.out, alone.result.out);
    EXPECT_EQ(together.result.err, alone.result.err);
    EXPECT_EQ(together.names, alone.names);
    EXPECT_TRUE(together.contents == alone.contents);
    if (alone.result.exit_status == 0) {
      ++succeeded;
      EXPECT_GE(alone.names.size(), 5u);  // the project and at least four side files
    }
  }
  EXPECT_EQ(succeeded, kRuns - kRuns / 8);
  std::string left;
  for (const auto& entry : std::filesystem::directory_iterator(temp)) {
    left += " " + entry.path().filename().string();
  }
  EXPECT_EQ(left, "") << "left in the temporary folder";
}

}  // namespace
}  // namespace qdp::testing
