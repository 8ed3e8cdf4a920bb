#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "tests/support/project_builder.h"
#include "tests/support/scoped_tmpdir.h"

namespace qdp {
namespace {

using testing::Bytes;
using testing::ScratchDir;

std::string ReasonOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const InOutError& error) {
    return error.Reason();
  }
  return "no error";
}

TEST(PosixFileSystemTest, ShortReadDeliversWhatIsThereAndLeavesTheRest) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("f"), Bytes{1, 2, 3});
  auto file = RealFileSystem().OpenForReading(dir.File("f"));
  uint8_t buffer[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(file->Read(buffer, 6), 3u);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), (Bytes{1, 2, 3, 9, 9, 9}));
  EXPECT_EQ(file->Read(buffer, 6), 0u);
  file->Seek(1000);  // beyond the end is allowed and delivers nothing
  EXPECT_EQ(file->Read(buffer, 6), 0u);
  file->Seek(1);
  EXPECT_EQ(file->Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 2);
  file->Close();
}

TEST(PosixFileSystemTest, CreateTruncatesAndWritesEverything) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("out"), Bytes(100, 7));
  auto file = RealFileSystem().CreateForWriting(dir.File("out"));
  file->Write("abc", 3);
  file->Close();
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), (Bytes{'a', 'b', 'c'}));
}

TEST(PosixFileSystemTest, FailuresCarryTheReasonsUsersKnow) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  FileSystem& fs = RealFileSystem();
  EXPECT_EQ(ReasonOf([&] { fs.OpenForReading(dir.File("missing")); }), "File not found");
  EXPECT_EQ(ReasonOf([&] { fs.OpenForReading(""); }), "File not found");
  EXPECT_EQ(ReasonOf([&] { fs.CreateForWriting(dir.File("no/such/dir")); }), "File not found");
  EXPECT_EQ(ReasonOf([&] { fs.CreateForWriting(dir.File("sub")); }), "File access denied");
  EXPECT_EQ(ReasonOf([&] { fs.CreateForWriting(dir.File(std::string(300, 'n'))); }),
            "Invalid filename");
  EXPECT_EQ(ReasonOf([&] {
              auto file = fs.CreateForWriting("/dev/full");
              file->Write("x", 1);
            }),
            "Disk full");
}

TEST(PosixFileSystemTest, ExistenceTestAcceptsOnlyFilesThatAreNotDirectories) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("f"), Bytes{});
  FileSystem& fs = RealFileSystem();
  EXPECT_TRUE(fs.IsExistingFile(dir.File("f")));
  EXPECT_FALSE(fs.IsExistingFile(dir.Path()));
  EXPECT_FALSE(fs.IsExistingFile(dir.File("missing")));
  EXPECT_FALSE(fs.IsExistingFile(""));
}

TEST(PosixFileSystemTest, SameFileFollowsLinks) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("a"), Bytes{1});
  std::filesystem::create_symlink(dir.File("a"), dir.File("b"));
  testing::WriteFileBytes(dir.File("c"), Bytes{1});
  FileSystem& fs = RealFileSystem();
  EXPECT_TRUE(fs.IsSameFile(dir.File("a"), dir.File("b")));
  EXPECT_FALSE(fs.IsSameFile(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(fs.IsSameFile(dir.File("a"), dir.File("missing")));
}

// A temporary file is used through its descriptor alone: no name of it is
// left for anyone to swap or to find after the run.
TEST(PosixFileSystemTest, TempFilesHaveNoNameAndReadBackWhatWasWritten) {
  ScratchDir dir;
  FileSystem& fs = RealFileSystem();
  testing::ScopedTmpdir tmpdir(dir.Path() + "/");
  std::unique_ptr<File> first = fs.MakeTempFile();
  std::unique_ptr<File> second = fs.MakeTempFile();
  EXPECT_TRUE(dir.List().empty());
  first->Write("abc", 3);
  first->Seek(0);
  char back[4] = {};
  EXPECT_EQ(first->Read(back, 4), 3u);
  EXPECT_STREQ(back, "abc");
  EXPECT_EQ(second->Read(back, 4), 0u);  // each file is new and empty
}

TEST(PosixFileSystemTest, AMissingTempDirectoryIsNamedInTheError) {
  testing::ScopedTmpdir tmpdir("/nonexistent-qdp-dir");
  try {
    RealFileSystem().MakeTempFile();
    ADD_FAILURE() << "made a temporary file in a missing directory";
  } catch (const InOutError& e) {
    EXPECT_EQ(e.Reason(), "File not found");
    EXPECT_EQ(e.Path(), "/nonexistent-qdp-dir");
    EXPECT_EQ(e.Access(), FileAccess::kTemporary);
  }
}

// Nothing that is not a regular file is read as a project, and nothing
// waits for the other end of a fifo.
TEST(PosixFileSystemTest, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  testing::WriteFileBytes(dir.File("real"), Bytes{1});
  std::filesystem::create_symlink(dir.File("real"), dir.File("link"));
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {dir.File("fifo"), "I/O error 29"},
      {"/dev/null", "I/O error 29"},
      {dir.Path(), "I/O error 29"},
      {dir.File("link"), "no error"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReasonOf([&] { RealFileSystem().OpenForReading(c.path); }), c.reason) << c.path;
  }
}

TEST(PosixFileSystemTest, AFifoNobodyReadsIsNoTargetButDevicesAre) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  FileSystem& fs = RealFileSystem();
  EXPECT_EQ(ReasonOf([&] { fs.CreateForWriting(dir.File("fifo")); }), "I/O error 6");
  EXPECT_EQ(ReasonOf([&] {
              auto file = fs.CreateForWriting("/dev/null");
              file->Write("x", 1);
              file->Close();
            }),
            "no error");
}

// Only a regular file is removed; whatever else stands at the name, and
// whatever a link leads to, stays.
TEST(PosixFileSystemTest, RemoveRegularFileLeavesEverythingElse) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("plain"), Bytes{1});
  testing::WriteFileBytes(dir.File("target"), Bytes{2});
  std::filesystem::create_symlink(dir.File("target"), dir.File("link"));
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("sub"));
  FileSystem& fs = RealFileSystem();
  for (const char* name : {"plain", "link", "fifo", "sub", "missing"}) {
    fs.RemoveRegularFile(dir.File(name));
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"fifo", "link", "sub", "target"}));
}

TEST(PosixFileSystemTest, AReplacingFileTakesTheTargetsPlaceOnlyWhenClosed) {
  ScratchDir dir;
  FileSystem& fs = RealFileSystem();
  testing::WriteFileBytes(dir.File("out"), Bytes{1, 2, 3});
  {
    std::unique_ptr<File> abandoned = fs.CreateReplacing(dir.File("out"));
    abandoned->Write("xyz", 3);
  }
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), (Bytes{1, 2, 3}));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out"});

  // An existing file keeps its permissions; a new one gets the umask's.
  // A link stays a link, and what it leads to is replaced.
  ASSERT_EQ(chmod(dir.File("out").c_str(), 0604), 0);
  ASSERT_EQ(symlink("out", dir.File("link").c_str()), 0);
  const mode_t mask = umask(027);
  for (const char* name : {"out", "link", "new"}) {
    std::unique_ptr<File> file = fs.CreateReplacing(dir.File(name));
    file->Write("ab", 2);
    file->Close();
  }
  umask(mask);
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), (Bytes{'a', 'b'}));
  EXPECT_EQ(testing::ReadFileBytes(dir.File("new")), (Bytes{'a', 'b'}));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"link", "new", "out"}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
  EXPECT_EQ(std::filesystem::status(dir.File("out")).permissions(), std::filesystem::perms(0604));
  EXPECT_EQ(std::filesystem::status(dir.File("new")).permissions(), std::filesystem::perms(0640));

  // A hard link to the old file keeps the old bytes: the name gets a new
  // file, the old one is not rewritten.
  ASSERT_EQ(link(dir.File("out").c_str(), dir.File("old").c_str()), 0);
  std::unique_ptr<File> file = fs.CreateReplacing(dir.File("out"));
  file->Write("cd", 2);
  file->Close();
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), (Bytes{'c', 'd'}));
  EXPECT_EQ(testing::ReadFileBytes(dir.File("old")), (Bytes{'a', 'b'}));
}

// The first file written into a folder takes away what killed runs left
// there under a temporary name, and nothing else: not a live process's,
// not one whose writer still holds its lock, not a name merely like ours.
TEST(PosixFileSystemTest, WritingIntoAFolderRemovesOnlyTemporariesOfRunsThatAreGone) {
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const auto gone_id = static_cast<uint32_t>(gone);
  ScratchDir dir;
  const std::string left = TemporaryFileName(gone_id, 1);
  const std::string locked = TemporaryFileName(gone_id, 2);
  const std::string alive = TemporaryFileName(static_cast<uint32_t>(::getppid()), 3);
  const std::string alike = left + "x";
  for (const std::string& name : {left, locked, alive, alike}) {
    testing::WriteFileBytes(dir.File(name), Bytes{1});
  }
  // A writer on another machine holds its lock while its id means nothing here.
  int holder = ::open(dir.File(locked).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  auto file = RealFileSystem().CreateReplacing(dir.File("out.png"));
  file->Write("a", 1);
  file->Close();
  ::close(holder);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"out.png", locked, alive, alike}));
}

TEST(PosixFileSystemTest, MakeDirectoriesMakesParentsAndRefusesAFile) {
  ScratchDir dir;
  FileSystem& fs = RealFileSystem();
  fs.MakeDirectories(dir.File("a/b/c"));
  fs.MakeDirectories(dir.File("a/b/c"));  // already there: fine
  EXPECT_TRUE(fs.IsDirectory(dir.File("a/b/c")));
  testing::WriteFileBytes(dir.File("f"), Bytes{});
  EXPECT_NE(ReasonOf([&] { fs.MakeDirectories(dir.File("f")); }), "no error");
  EXPECT_NE(ReasonOf([&] { fs.MakeDirectories(dir.File("f/g")); }), "no error");
}

}  // namespace
}  // namespace qdp
