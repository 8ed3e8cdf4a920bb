#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "tests/support/project_builder.h"

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
  auto file = PosixFileSystem().OpenForReading(dir.File("f"));
  uint8_t buffer[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(file->Read(buffer, 6), 3u);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), (Bytes{1, 2, 3, 9, 9, 9}));
  EXPECT_EQ(file->Read(buffer, 6), 0u);
  file->Seek(1000);  // beyond the end is allowed and delivers nothing
  EXPECT_EQ(file->Read(buffer, 6), 0u);
  file->Seek(1);
  EXPECT_EQ(file->Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(file->Size(), 3u);
  file->Close();
}

TEST(PosixFileSystemTest, CreateTruncatesAndWritesEverything) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("out"), Bytes(100, 7));
  auto file = PosixFileSystem().CreateForWriting(dir.File("out"));
  file->Write("abc", 3);
  file->Close();
  EXPECT_EQ(testing::ReadFileBytes(dir.File("out")), (Bytes{'a', 'b', 'c'}));
}

TEST(PosixFileSystemTest, FailuresCarryTheReasonsUsersKnow) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  FileSystem& fs = PosixFileSystem();
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
  FileSystem& fs = PosixFileSystem();
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
  FileSystem& fs = PosixFileSystem();
  EXPECT_TRUE(fs.IsSameFile(dir.File("a"), dir.File("b")));
  EXPECT_FALSE(fs.IsSameFile(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(fs.IsSameFile(dir.File("a"), dir.File("missing")));
}

TEST(PosixFileSystemTest, TempFilesAreNewEmptyAndNamedWithTilde) {
  ScratchDir dir;
  const char* old = std::getenv("TMPDIR");
  std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", (dir.Path() + "/").c_str(), 1);
  FileSystem& fs = PosixFileSystem();
  EXPECT_EQ(fs.TempDirectory(), dir.Path());
  std::string first = fs.MakeTempFile().path;
  std::string second = fs.MakeTempFile().path;
  if (old != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_NE(first, second);
  for (const std::string& name : {first, second}) {
    EXPECT_EQ(name.rfind(dir.Path() + "/~", 0), 0u) << name;
    EXPECT_TRUE(testing::ReadFileBytes(name).empty());
    fs.Remove(name);
  }
  EXPECT_TRUE(dir.List().empty());
}

// A temporary file is opened again only when its name still leads to the
// very file that was made: not through a symbolic link, not to another file
// put in its place.
TEST(PosixFileSystemTest, TempFileIsReopenedOnlyWhenItIsTheFileThatWasMade) {
  ScratchDir dir;
  FileSystem& fs = PosixFileSystem();
  struct Case {
    const char* name;
    void (*swap)(const std::string& path, const ScratchDir& dir);
    const char* refusal;  // "" when the file opens
  };
  const Case cases[] = {
      {"untouched", [](const std::string&, const ScratchDir&) {}, ""},
      {"symbolic link to another file",
       [](const std::string& path, const ScratchDir& dir) {
         std::filesystem::remove(path);
         std::filesystem::create_symlink(dir.File("victim"), path);
       },
       "File access denied"},
      {"symbolic link to itself in disguise",
       [](const std::string& path, const ScratchDir& dir) {
         std::filesystem::rename(path, dir.File("moved"));
         std::filesystem::create_symlink(dir.File("moved"), path);
       },
       "File access denied"},
      {"another regular file",
       [](const std::string& path, const ScratchDir& dir) {
         // Made before the old one goes, so it cannot get its inode again.
         testing::WriteFileBytes(dir.File("other"), Bytes{7});
         std::filesystem::rename(dir.File("other"), path);
       },
       "File access denied"},
      {"removed", [](const std::string& path, const ScratchDir&) { std::filesystem::remove(path); },
       "File not found"},
  };
  for (bool for_writing : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (for_writing ? ", writing" : ", reading"));
      testing::WriteFileBytes(dir.File("victim"), Bytes{1, 2, 3});
      const char* old = std::getenv("TMPDIR");
      std::string saved = old != nullptr ? old : "";
      setenv("TMPDIR", dir.Path().c_str(), 1);
      TempFile temp = fs.MakeTempFile();
      if (old != nullptr)
        setenv("TMPDIR", saved.c_str(), 1);
      else
        unsetenv("TMPDIR");
      c.swap(temp.path, dir);
      std::string refusal;
      try {
        std::unique_ptr<File> file = fs.ReopenTempFile(temp, for_writing);
        if (for_writing) file->Write("ab", 2);
        file->Close();
      } catch (const InOutError& e) {
        refusal = e.Reason();
      }
      EXPECT_EQ(refusal, c.refusal);
      EXPECT_EQ(testing::ReadFileBytes(dir.File("victim")), (Bytes{1, 2, 3}));
      if (*c.refusal == '\0' && for_writing) {
        EXPECT_EQ(testing::ReadFileBytes(temp.path), (Bytes{'a', 'b'}));
      }
      fs.Remove(temp.path);
      std::filesystem::remove(dir.File("moved"));
    }
  }
}

}  // namespace
}  // namespace qdp
