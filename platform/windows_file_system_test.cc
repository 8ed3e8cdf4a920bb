#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/windows_support.h"

namespace qdp {
namespace {

namespace fs = std::filesystem;

// A fresh folder in the temporary folder, removed with its contents.
class Folder {
 public:
  Folder() {
    // A name nobody holds: creating the folder is the test.
    std::random_device random;
    do {
      path_ = fs::temp_directory_path() / ("qdpfs-" + std::to_string(random()));
    } while (!fs::create_directory(path_));
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path Path(const std::string& name) const {
    return path_ / fs::path(std::u8string(name.begin(), name.end()));
  }
  // The UTF-8 name of `name` in the folder.
  std::string operator/(const std::string& name) const {
    std::u8string text = Path(name).u8string();
    return std::string(text.begin(), text.end());
  }

 private:
  fs::path path_;
};

void WriteText(FileSystem& files, const std::string& path, const std::string& text) {
  std::unique_ptr<File> file = files.CreateForWriting(path);
  file->Write(text.data(), text.size());
  file->Close();
}

std::string ReadText(FileSystem& files, const std::string& path) {
  std::unique_ptr<File> file = files.OpenForReading(path);
  std::string text;
  char chunk[4096];
  while (size_t n = file->Read(chunk, sizeof chunk)) text.append(chunk, n);
  return text;
}

std::string ReasonOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const InOutError& error) {
    return error.Reason();
  }
  return "(no error)";
}

TEST(WindowsErrorTest, Win32ErrorsGetTheReasonsOfTheirKind) {
  const std::pair<DWORD, const char*> cases[] = {
      {ERROR_FILE_NOT_FOUND, "File not found"},
      {ERROR_PATH_NOT_FOUND, "Invalid filename"},
      {ERROR_INVALID_NAME, "Invalid filename"},
      {ERROR_FILENAME_EXCED_RANGE, "Invalid filename"},
      {ERROR_DIRECTORY, "Invalid filename"},  // a "folder" that is a file, such as %TMP%
      {ERROR_INVALID_DRIVE, "Invalid filename"},
      {ERROR_BAD_PATHNAME, "Invalid filename"},
      {ERROR_CANT_RESOLVE_FILENAME, "Invalid filename"},
      {ERROR_WRITE_PROTECT, "File access denied"},
      {ERROR_FILE_TOO_LARGE, "Disk full"},
      {ERROR_TOO_MANY_OPEN_FILES, "Too many open files"},
      {ERROR_ACCESS_DENIED, "File access denied"},
      {ERROR_DISK_FULL, "Disk full"},
      {ERROR_HANDLE_DISK_FULL, "Disk full"},
      {ERROR_SHARING_VIOLATION, "I/O error 32"},
      {ERROR_LOCK_VIOLATION, "I/O error 33"},
  };
  for (const auto& [error, reason] : cases) EXPECT_EQ(ReasonForWindowsError(error), reason);
}

TEST(WindowsTextTest, NamesConvertBothWaysAndBadUtf8IsRefused) {
  for (const std::string text : {"", "pic.qdp", "Bild \xC3\x84.qdp", "\xF0\x9F\x8E\xA8"}) {
    std::optional<std::wstring> wide = Widen(text);
    ASSERT_TRUE(wide) << text;
    EXPECT_EQ(Narrow(*wide), text);
  }
  EXPECT_EQ(*Widen("\xF0\x9F\x8E\xA8"), L"\U0001F3A8");  // a surrogate pair
  EXPECT_FALSE(Widen("\xC3"));                           // cut short
  EXPECT_FALSE(Widen("\xC0\xAF"));                       // overlong "/"
}

TEST(WindowsFileSystemTest, InputsThatAreNoDiskFilesAreRefused) {
  FileSystem& files = RealFileSystem();
  EXPECT_EQ(ReasonOf([&] { files.OpenForReading("NUL"); }), "I/O error 29");
  const std::wstring pipe_name =
      L"\\\\.\\pipe\\qdpext-test-pipe-" + std::to_wstring(::GetCurrentProcessId());
  ScopedHandle pipe(::CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1,
                                       4096, 4096, 0, nullptr));
  ASSERT_TRUE(pipe.IsValid());
  // A named pipe is refused whether anyone serves it or not, and whatever
  // asking for its attributes says, so the program names the cause rather
  // than taking it for a missing file.
  for (const std::string& name : {Narrow(pipe_name), std::string("//./PIPE/qdpext-nobody-serves"),
                                  std::string("\\\\server\\pipe\\x")}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(files.IsExistingFile(name));
    EXPECT_EQ(ReasonOf([&] { files.OpenForReading(name); }), "I/O error 29");
  }
  // Refusing it took nothing from the pipe: its one instance is still
  // free for a client.
  ScopedHandle client(::CreateFileW(pipe_name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(client.IsValid()) << ::GetLastError();
  // Names that only look alike are files as before.
  EXPECT_FALSE(files.IsExistingFile("pipe\\x"));
  EXPECT_FALSE(files.IsExistingFile("\\\\server\\pipes\\x"));
}

TEST(WindowsFileSystemTest, OpeningFailuresGiveTheirReasons) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  fs::create_directory(folder.Path("sub"));
  WriteText(files, folder / "pic.qdp", "project");
  struct Case {
    std::string name;
    bool for_writing;
    const char* reason;
  };
  const Case cases[] = {
      {folder / "missing.qdp", false, "File not found"},
      {folder / "nowhere/pic.qdp", false, "Invalid filename"},
      {folder / "nowhere/pic.mic", true, "Invalid filename"},
      {folder / "sub", true, "File access denied"},
      {folder / "sub", false, "File access denied"},
      {folder / "a\x01name", true, "Invalid filename"},
      {"bad \xC3 utf-8", false, "Invalid filename"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReasonOf([&] {
                if (c.for_writing) {
                  files.CreateForWriting(c.name);
                } else {
                  files.OpenForReading(c.name);
                }
              }),
              c.reason);
  }
}

TEST(WindowsFileSystemTest, ASideFileIsEmptiedInPlaceAndNotSharedWhileWritten) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  const std::string name = folder / "pic.mic";
  WriteText(files, name, std::string(5000, 'x'));
  std::unique_ptr<File> file = files.CreateForWriting(name);
  EXPECT_EQ(fs::file_size(folder.Path("pic.mic")), 0u);
  EXPECT_EQ(ReasonOf([&] { files.OpenForReading(name); }), "I/O error 32");
  EXPECT_EQ(ReasonOf([&] { files.CreateForWriting(name); }), "I/O error 32");
  file->Write("abc", 3);
  file->Close();
  EXPECT_EQ(ReadText(files, name), "abc");
}

TEST(WindowsFileSystemTest, TheInputIsSharedForReadingOnly) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  const std::string name = folder / "pic.qdp";
  WriteText(files, name, "project");
  std::unique_ptr<File> input = files.OpenForReading(name);
  EXPECT_EQ(ReadText(files, name), "project");  // another reader is welcome
  EXPECT_EQ(ReasonOf([&] { files.CreateForWriting(name); }), "I/O error 32");
  input->Close();
}

TEST(WindowsFileSystemTest, NamesInAnyScriptWork) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  const std::string name = folder / "\xD0\xBA\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0 \xE2\x98\x83.qdp";
  WriteText(files, name, "project");
  EXPECT_TRUE(files.IsExistingFile(name));
  EXPECT_EQ(ReadText(files, name), "project");
}

TEST(WindowsFileSystemTest, ExistenceAndSameness) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  fs::create_directory(folder.Path("sub"));
  WriteText(files, folder / "pic.qdp", "project");
  WriteText(files, folder / "other.qdp", "project");
  EXPECT_TRUE(files.IsExistingFile(folder / "pic.qdp"));
  EXPECT_FALSE(files.IsExistingFile(folder / "sub"));
  EXPECT_FALSE(files.IsExistingFile(folder / "missing.qdp"));
  EXPECT_FALSE(files.IsExistingFile(""));
  // Names on Windows are case-blind: both lead to one file.
  EXPECT_TRUE(files.IsSameFile(folder / "pic.qdp", folder / "PIC.QDP"));
  EXPECT_TRUE(files.IsSameFile(folder / "pic.qdp", folder / "sub/../pic.qdp"));
  EXPECT_FALSE(files.IsSameFile(folder / "pic.qdp", folder / "other.qdp"));
  EXPECT_FALSE(files.IsSameFile(folder / "pic.qdp", folder / "missing.qdp"));
}

// Points GetTempPathW at a fresh folder for the object's lifetime.
class TempFolder {
 public:
  TempFolder() {
    wchar_t old[32768];
    DWORD length = ::GetEnvironmentVariableW(L"TMP", old, 32768);
    if (length > 0 && length < 32768) old_ = std::wstring(old, length);
    ::SetEnvironmentVariableW(L"TMP", folder_.Path("").wstring().c_str());
  }
  ~TempFolder() { ::SetEnvironmentVariableW(L"TMP", old_ ? old_->c_str() : nullptr); }
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path(""))) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  Folder folder_;
  std::optional<std::wstring> old_;
};

TEST(WindowsFileSystemTest, TempFilesAreGoneWithTheirHandles) {
  FileSystem& files = RealFileSystem();
  TempFolder temp;
  std::unique_ptr<File> first = files.MakeTempFile();
  std::unique_ptr<File> second = files.MakeTempFile();
  EXPECT_EQ(temp.List().size(), 2u);  // "~XXXX.tmp", until the handles close
  first->Write("first", 5);
  second->Write("second", 6);
  first->Seek(0);
  char text[8] = {};
  EXPECT_EQ(first->Read(text, sizeof text), 5u);
  EXPECT_EQ(std::string(text, 5), "first");
  second->Seek(0);
  EXPECT_EQ(second->Read(text, sizeof text), 6u);
  first->Close();
  second.reset();  // an error path: destroyed without Close()
  EXPECT_EQ(temp.List(), std::vector<std::string>{});
}

// A %TMP% that is missing or is a file gives the reason a bad folder on the
// way gets, not a bare Windows number, and names the folder.
TEST(WindowsFileSystemTest, ABadTempFolderIsNamedInTheError) {
  Folder folder;
  WriteText(RealFileSystem(), folder / "file", "x");
  for (const std::string name : {"missing", "file"}) {
    SCOPED_TRACE(name);
    ::SetEnvironmentVariableW(L"TMP", folder.Path(name).wstring().c_str());
    try {
      RealFileSystem().MakeTempFile();
      ADD_FAILURE() << "no error";
    } catch (const InOutError& error) {
      EXPECT_EQ(error.Reason(), "Invalid filename");
      EXPECT_EQ(error.Access(), FileAccess::kTemporary);
      EXPECT_NE(error.Path().find(name), std::string::npos) << error.Path();
    }
  }
  ::SetEnvironmentVariableW(L"TMP", nullptr);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path("")), fs::directory_iterator()), 1);
}

TEST(WindowsFileSystemTest, RemoveRegularFileLeavesFoldersAlone) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  fs::create_directory(folder.Path("sub"));
  WriteText(files, folder / "pic.mic", "half");
  files.RemoveRegularFile(folder / "pic.mic");
  files.RemoveRegularFile(folder / "sub");
  files.RemoveRegularFile(folder / "missing");
  EXPECT_FALSE(fs::exists(folder.Path("pic.mic")));
  EXPECT_TRUE(fs::is_directory(folder.Path("sub")));
}

TEST(WindowsFileSystemTest, AReplacingFileTakesTheTargetsPlaceOnlyWhenClosed) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  const std::string target = folder / "pic.png";
  WriteText(files, target, "old");
  {
    std::unique_ptr<File> abandoned = files.CreateReplacing(target);
    abandoned->Write("half", 4);
  }
  EXPECT_EQ(ReadText(files, target), "old");
  std::unique_ptr<File> file = files.CreateReplacing(target);
  file->Write("new", 3);
  EXPECT_EQ(ReadText(files, target), "old");
  file->Close();
  EXPECT_EQ(ReadText(files, target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path("")), fs::directory_iterator()), 1);
}

TEST(WindowsFileSystemTest, MakeDirectoriesMakesParentsAndRefusesAFile) {
  FileSystem& files = RealFileSystem();
  Folder folder;
  files.MakeDirectories(folder / "a/b\\c");
  EXPECT_TRUE(files.IsDirectory(folder / "a/b/c"));
  files.MakeDirectories(folder / "a/b");  // already there
  WriteText(files, folder / "file", "x");
  EXPECT_EQ(ReasonOf([&] { files.MakeDirectories(folder / "file"); }), "File access denied");
  EXPECT_NE(ReasonOf([&] { files.MakeDirectories(folder / "file/d"); }), "(no error)");
}

// The first file written into a folder takes away what runs ended by force
// left there under a temporary name, and nothing else: not this process's,
// not one another program holds open, not a name merely like ours.
TEST(WindowsFileSystemTest, WritingIntoAFolderRemovesOnlyTemporariesOfRunsThatAreGone) {
  Folder folder;
  constexpr uint32_t kGone = 0xFFFFFFF0;  // no process has this id
  const std::string left = TemporaryFileName(kGone, 1);
  const std::string held = TemporaryFileName(kGone, 2);
  const std::string ours = TemporaryFileName(::GetCurrentProcessId(), 3);
  const std::string alike = left + ".png";
  for (const std::string& name : {left, held, ours, alike}) {
    WriteText(RealFileSystem(), folder / name, "x");
  }
  ScopedHandle holder(::CreateFileW(folder.Path(held).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.IsValid());
  std::unique_ptr<File> file = RealFileSystem().CreateReplacing(folder / "out.png");
  file->Write("a", 1);
  file->Close();
  holder.Reset();
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.Path(""))) {
    std::u8string name = entry.path().filename().u8string();
    names.emplace(name.begin(), name.end());
  }
  EXPECT_EQ(names, (std::set<std::string>{"out.png", held, ours, alike}));
}

}  // namespace
}  // namespace qdp
