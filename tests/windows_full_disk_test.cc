// qdpext on a full disk, run in-process on the real Windows file system
// with a full disk stood in for the calls that take space: whichever side
// file the disk fills up in, it is not left behind, empty or part-written,
// while the files finished before it stay whole, and a side file that was
// there before keeps what it held when it cannot even be emptied.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/run_main.h"
#include "platform/file_system.h"
#include "platform/windows_support.h"
#include "tests/expected_side_files.h"
#include "tests/support/project_builder.h"
#include "tests/support/slurp.h"
#include "tests/support/windows_process.h"
#include "workspace/workspace.h"

namespace qdp::testing {
namespace {

namespace fs = std::filesystem;

// The bytes the disk still takes; writing beyond them fails as a full disk
// fails, writing nothing.
size_t g_room = 0;

BOOL WINAPI WriteToFullDisk(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                            LPOVERLAPPED overlapped) {
  if (size > g_room) {
    if (written != nullptr) *written = 0;
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  g_room -= size;
  return ::WriteFile(file, data, size, written, overlapped);
}

// Setting a file's end fails on a disk with no room left, as it did under
// wine on a full disk even for a file that was empty.
BOOL WINAPI SetEndOnFullDisk(HANDLE file) {
  if (g_room == 0) {
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return ::SetEndOfFile(file);
}

// The disk holds `room` more bytes for the object's lifetime.
class FullDisk {
 public:
  explicit FullDisk(size_t room) : saved_(DiskSpace()) {
    g_room = room;
    DiskSpace().write_file = WriteToFullDisk;
    DiskSpace().set_end_of_file = SetEndOnFullDisk;
  }
  ~FullDisk() { DiskSpace() = saved_; }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

 private:
  DiskSpaceCalls saved_;
};

Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

struct Outcome {
  int status;
  std::string err;
};

Outcome RunInProcess(const std::vector<std::string>& argv) {
  auto ws = std::make_unique<Workspace>();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  int status = RunMain(argv, *ws, RealFileSystem(), out, err);
  testing::Slurp(out);
  return Outcome{status, testing::Slurp(err)};
}

// Side files in the order a run writes them.
const char* const kWriteOrder[] = {".mic", ".fnt", ".scr", ".tab", ".col"};

TEST(WindowsFullDiskTest, TheSideFileTheDiskFillsUpInIsNotLeftBehind) {
  const ProjectContent content = KeptFontsProject();
  const SideFiles expected = ExpectedSideFiles(content, "smfc");
  ASSERT_EQ(expected.size(), 5u);
  size_t room = 0;  // what the files before the failing one take
  for (const char* failing : kWriteOrder) {
    SCOPED_TRACE(failing);
    ScratchDir dir;
    const fs::path folder = Utf8Path(dir.Path());
    Write(folder / "pic.qdp", BuildProject(content));
    Outcome outcome;
    {
      FullDisk disk(room);
      outcome = RunInProcess({"qdpext.exe", "-smfc", dir.File("pic.qdp")});
    }
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("\r\nDisk full.\r\n"), std::string::npos) << outcome.err;
    bool before_failure = true;
    for (const char* extension : kWriteOrder) {
      if (std::string(extension) == failing) before_failure = false;
      const fs::path side_file = folder / ("pic" + std::string(extension));
      if (before_failure) {
        EXPECT_EQ(Read(side_file), expected.at(extension)) << extension;
      } else {
        EXPECT_FALSE(fs::exists(side_file)) << extension;
      }
    }
    room += expected.at(failing).size();
  }
}

TEST(WindowsFullDiskTest, ASideFileThatWasThereKeepsItsBytesWhenItCannotBeEmptied) {
  ScratchDir dir;
  const fs::path folder = Utf8Path(dir.Path());
  Write(folder / "pic.qdp", BuildProject(KeptFontsProject()));
  Write(folder / "pic.mic", Bytes{1, 2, 3});
  Outcome outcome;
  {
    FullDisk disk(0);
    outcome = RunInProcess({"qdpext.exe", "-m", dir.File("pic.qdp")});
  }
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("\r\nDisk full.\r\n"), std::string::npos) << outcome.err;
  EXPECT_EQ(Read(folder / "pic.mic"), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace qdp::testing
