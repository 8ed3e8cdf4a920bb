#include "project/container.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <random>

#include "platform/error.h"
#include "project/reader.h"
#include "tests/support/load_and_convert.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"
#include "tests/support/scoped_tmpdir.h"

namespace qdp {
namespace {

using testing::BuildProject;
using testing::Bytes;
using testing::Compress;
using testing::MemoryFileSystem;
using testing::ProjectContent;
using testing::ScratchDir;

constexpr char kInput[] = "/p/pic.qdp";

Bytes RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

Bytes Tail(const Bytes& bytes, size_t from) { return Bytes(bytes.begin() + from, bytes.end()); }

// A project with something in every block the reader takes.
ProjectContent BusyContent() {
  ProjectContent content;
  content.mode_byte = 0x01;
  content.fonts_byte = 2;
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) content.SetCell(line, x, static_cast<uint8_t>((line * 7 + x) % 6));
  }
  for (int c = 0; c < 6; ++c) {
    content.SetGlyph(c % 3, c, {uint8_t(c), 0x18, 0x3C, 0x66, 0x7E, 0x66, 0x66, uint8_t(c * 9)});
  }
  for (int i = 0; i < 30; ++i) content.line_fonts[i] = static_cast<uint8_t>(i % 3);
  for (size_t i = 0; i < content.colours.size(); ++i) content.colours[i] = static_cast<uint8_t>(i);
  content.line_mode_table[4] = 255;
  content.line_mode_table[5] = 2;
  content.chars_per_font = 100;
  content.filler = 0x5A;
  return content;
}

class ContainerTest : public ::testing::Test {
 protected:
  // Unpacks `container` and returns what its two temporary files hold: the
  // copied stream and the decoded project.
  std::vector<Bytes> Unpack(const Bytes& container) {
    fs_ = MemoryFileSystem();
    fs_.files[kInput] = container;
    std::unique_ptr<File> input = fs_.OpenForReading(kInput);
    input->Seek(kContainerMagic.size());
    std::unique_ptr<File> project = UnpackContainer(fs_, *input);
    Bytes read_back(kLongestProjectBytes + 1);
    read_back.resize(project->Read(read_back.data(), read_back.size()));
    EXPECT_EQ(read_back, fs_.temp_files["/mem/tmp/~2"]) << "not handed back from its start";
    return {fs_.temp_files["/mem/tmp/~1"], fs_.temp_files["/mem/tmp/~2"]};
  }

  // The reason of the DecompressionError that unpacking raises, or "".
  std::string UnpackError(const Bytes& container) {
    try {
      Unpack(container);
    } catch (const DecompressionError& e) {
      return e.Reason();
    }
    return "";
  }

  MemoryFileSystem fs_;
};

// The copy ends with the stream: bytes after it are neither copied nor
// needed, and the first temporary file holds exactly the stream.
TEST_F(ContainerTest, CopiesTheStreamAndNothingAfterIt) {
  Bytes payload = RandomBytes(3000, 1);
  Bytes stored = Compress(payload, 0);  // stored blocks: as long as the payload
  Bytes tail = RandomBytes(200000, 2);
  for (const Bytes& container : {stored, testing::WithTrailing(stored, tail)}) {
    std::vector<Bytes> files = Unpack(container);
    EXPECT_EQ(files[0], Tail(stored, 7));
    EXPECT_EQ(files[1], payload);
  }
  EXPECT_EQ(Unpack(Bytes(kContainerMagic.begin(), kContainerMagic.end())),
            (std::vector<Bytes>{{}, {}}));
}

TEST_F(ContainerTest, StreamOutcomes) {
  Bytes plain = BuildProject(BusyContent());
  Bytes valid = Compress(plain);
  struct Case {
    const char* name;
    Bytes container;
    const char* error;  // "" when it decodes
  };
  Bytes trailing = testing::WithTrailing(valid, {1, 2, 3, 0x78, 0x9C});
  Bytes truncated = testing::Truncated(valid, valid.size() / 2);
  const Case cases[] = {
      {"valid", valid, ""},
      {"trailing bytes", trailing, ""},
      {"truncated", truncated, ""},
      {"bad header", testing::WithChangedByte(valid, 7), "data error"},
      {"bad deflate data", testing::WithChangedByte(valid, valid.size() / 3), "data error"},
      {"bad checksum", testing::WithChangedByte(valid, valid.size() - 1), "data error"},
      {"preset dictionary", testing::CompressWithDictionary(plain, Bytes(64, 'd')),
       "need dictionary"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UnpackError(c.container), c.error);
    const Bytes& decoded = fs_.temp_files["/mem/tmp/~2"];
    if (*c.error != '\0') {
      EXPECT_TRUE(decoded.empty()) << "written before the stream was checked";
    } else if (c.container.size() == truncated.size()) {
      EXPECT_GT(decoded.size(), 0u);
      EXPECT_LT(decoded.size(), plain.size());
      EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), plain.begin()));
    } else {
      EXPECT_EQ(decoded, plain);
    }
  }
}

TEST_F(ContainerTest, KeepsNoMoreThanTheLongestProjectButChecksItAll) {
  Bytes plain = RandomBytes(kLongestProjectBytes + 300000, 3);
  Bytes container = Compress(plain);
  Bytes decoded = Unpack(container)[1];
  ASSERT_EQ(decoded.size(), kLongestProjectBytes);
  EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + kLongestProjectBytes, decoded.begin()));

  // The Adler-32 covers the bytes that are not kept.
  EXPECT_EQ(UnpackError(testing::WithChangedByte(container, container.size() - 1)), "data error");
}

// The memory file system, with every read of the input going through
// `read`, which may pass it on to the real file, stop short or fail.
class HookedInput : public MemoryFileSystem {
 public:
  using ReadHook = std::function<size_t(File& file, void* data, size_t size)>;
  explicit HookedInput(ReadHook read) : read_(std::move(read)) {}

  std::unique_ptr<File> OpenForReading(const std::string& path) override {
    std::unique_ptr<File> file = MemoryFileSystem::OpenForReading(path);
    if (path != kInput) return file;
    return std::make_unique<Hooked>(std::move(file), read_);
  }

 private:
  class Hooked : public File {
   public:
    Hooked(std::unique_ptr<File> inner, const ReadHook& read)
        : inner_(std::move(inner)),
          read_(read) {}
    size_t Read(void* data, size_t size) override { return read_(*inner_, data, size); }
    void Write(const void* data, size_t size) override { inner_->Write(data, size); }
    void Seek(uint64_t offset) override { inner_->Seek(offset); }
    void Close() override { inner_->Close(); }

   private:
    std::unique_ptr<File> inner_;
    const ReadHook& read_;
  };
  ReadHook read_;
};

// The first two reads go through: the reader's magic test, and the first
// chunk of the copy; the later ones fail, or deliver nothing.
HookedInput::ReadHook ThirdReadOn(bool fails) {
  return [fails, reads = 0](File& file, void* data, size_t size) mutable -> size_t {
    if (++reads <= 2) return file.Read(data, size);
    if (fails) throw InOutError("I/O error 5");
    return 0;
  };
}

TEST(ContainerCopyTest, ReadFailureIsAnErrorAndAnEmptyReadEndsTheCopy) {
  Bytes plain = RandomBytes(200000, 4);  // stored: several chunks of the copy
  Bytes container = Compress(plain, 0);
  {
    HookedInput fs(ThirdReadOn(true));
    fs.files[kInput] = container;
    auto ws = std::make_unique<Workspace>();
    EXPECT_THROW(testing::LoadAndConvert(*ws, fs, kInput), InOutError);
  }
  {
    HookedInput fs(ThirdReadOn(false));
    fs.files[kInput] = container;
    std::unique_ptr<File> input = fs.OpenForReading(kInput);
    Bytes magic(7);
    input->Read(magic.data(), magic.size());
    UnpackContainer(fs, *input);
    // One chunk was copied; the stream stops there and decodes as far as it goes.
    const Bytes& copied = fs.temp_files["/mem/tmp/~1"];
    EXPECT_GT(copied.size(), 0u);
    EXPECT_TRUE(std::equal(copied.begin(), copied.end(), container.begin() + 7));
    const Bytes& decoded = fs.temp_files["/mem/tmp/~2"];
    EXPECT_GT(decoded.size(), 0u);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), plain.begin()));
  }
}

// A stream that zlib rejects ends the copy at the chunk where it is
// rejected, however much follows: nothing more is read or copied.
TEST(ContainerCopyTest, ARejectedStreamStopsTheCopyAtOnce) {
  size_t delivered = 0;
  HookedInput fs([&delivered](File& file, void* data, size_t size) {
    size_t got = file.Read(data, size);
    delivered += got;
    return got;
  });
  Bytes zeros(kContainerMagic.begin(), kContainerMagic.end());
  zeros.resize(16 << 20);  // "QDPZLIB" and 16 MiB of zeros: no zlib header
  fs.files[kInput] = zeros;
  auto ws = std::make_unique<Workspace>();
  try {
    testing::LoadAndConvert(*ws, fs, kInput);
    ADD_FAILURE() << "zeros decoded";
  } catch (const DecompressionError& e) {
    EXPECT_EQ(e.Reason(), "data error");
  }
  EXPECT_LE(delivered, size_t{1} << 17);
  EXPECT_LE(fs.temp_files["/mem/tmp/~1"].size(), size_t{1} << 16);
}

// Everything the load leaves for the later stages.
void ExpectSameLoad(const Workspace& a, const Workspace& b) {
  EXPECT_EQ(a.LineWidth, b.LineWidth);
  EXPECT_EQ(a.CharacterMode, b.CharacterMode);
  EXPECT_EQ(a.LastDeclaredFont, b.LastDeclaredFont);
  EXPECT_EQ(a.HighestFontInUse, b.HighestFontInUse);
  EXPECT_EQ(a.Conversion, b.Conversion);
  EXPECT_EQ(a.CharsPerFontLimit, b.CharsPerFontLimit);
  EXPECT_TRUE(a.FontBank == b.FontBank);
  EXPECT_TRUE(a.Screen == b.Screen);
  EXPECT_TRUE(a.InverseMarks == b.InverseMarks);
  EXPECT_TRUE(a.LineFontTable == b.LineFontTable);
  EXPECT_TRUE(a.LineStartsNewFont == b.LineStartsNewFont);
  EXPECT_TRUE(a.LineModes == b.LineModes && a.LineModesValid == b.LineModesValid);
  EXPECT_TRUE(a.Bitmap == b.Bitmap);
  EXPECT_TRUE(a.ColourTables == b.ColourTables);
}

TEST(CompressedProjectTest, LoadsExactlyLikeItsPlainTwin) {
  for (uint8_t mode : {uint8_t{0x01}, uint8_t{0x09}, uint8_t{0x41}}) {
    SCOPED_TRACE(static_cast<int>(mode));
    ProjectContent content = BusyContent();
    content.mode_byte = mode;
    Bytes plain = BuildProject(content, 777);
    MemoryFileSystem fs;
    fs.files["/p/plain.qdp"] = plain;
    fs.files["/p/packed.qdp"] = Compress(plain);
    auto a = std::make_unique<Workspace>();
    auto b = std::make_unique<Workspace>();
    testing::LoadAndConvert(*a, fs, "/p/plain.qdp");
    testing::LoadAndConvert(*b, fs, "/p/packed.qdp");
    ExpectSameLoad(*a, *b);
    EXPECT_EQ(fs.temp_counter, 2);
  }
}

TEST(CompressedProjectTest, DecodedContentIsReadAsAPlainProject) {
  MemoryFileSystem fs;
  fs.files[kInput] = Compress(Compress(BuildProject(ProjectContent{})));
  auto ws = std::make_unique<Workspace>();
  try {
    testing::LoadAndConvert(*ws, fs, kInput);
    ADD_FAILURE() << "a doubly packed project loaded";
  } catch (const ProjectError& e) {
    EXPECT_EQ(e.Reason(), "Unsupported line width 81");  // 'Q'
  }
}

// The first bytes of this stream (an empty one, made with a 1 KiB window)
// read as width 40, mode 1; the copy used to leave them in the buffer that
// the reader takes a missing header from, and the load went on.
const Bytes kEmptyStreamContainer = {0x51, 0x44, 0x50, 0x5a, 0x4c, 0x49, 0x42, 0x28,
                                     0x91, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};

// "" when the load succeeds, else the error's kind and reason.
std::string LoadOutcome(Workspace& ws, MemoryFileSystem& fs, const std::string& name) {
  try {
    testing::LoadAndConvert(ws, fs, name);
  } catch (const RunError& e) {
    return std::string(ErrorKindName(e.Kind())) + ": " + e.Reason();
  }
  return "";
}

// Projects too short for the reader's header or look-ahead load from a
// container exactly as they do plain, whatever the stream's own bytes or
// bytes after it would make of the parts the file does not supply.
TEST(CompressedProjectTest, ShortDecodedProjectsLoadLikeTheirPlainTwins) {
  ProjectContent content;
  content.mode_byte = 0x09;
  const size_t line_mode_table = content.GetLayout().LineModeTable();
  Bytes modes_start = BuildProject(content);
  modes_start.resize(line_mode_table);
  Bytes modes_three = BuildProject(content);
  modes_three.resize(line_mode_table + 3);
  std::fill(modes_three.end() - 3, modes_three.end(), 4);
  Bytes modes_most = BuildProject(content);
  modes_most.resize(line_mode_table + 29);
  std::fill(modes_most.end() - 29, modes_most.end(), 255);
  struct Case {
    const char* name;
    Bytes plain;
    Bytes container;    // empty: the plain bytes compressed, then bytes of 2
    const char* error;  // what both loads end with, "" for success
  };
  const Case cases[] = {
      {"empty, 1 KiB window",
       {},
       kEmptyStreamContainer,
       "EProjectError: Incomplete project header"},
      {"empty", {}, {}, "EProjectError: Incomplete project header"},
      {"one byte", {40}, {}, "EProjectError: Incomplete project header"},
      {"two bytes", {40, 0x09}, {}, "EProjectError: Incomplete project header"},
      {"ends where the line mode table begins", modes_start, {}, ""},
      {"ends after 3 bytes of the line mode table", modes_three, {}, ""},
      {"ends one byte short of the line mode table's end", modes_most, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes container = c.container;
    if (container.empty()) {
      // Trailing bytes of 2 would complete any line mode table cut short if
      // they reached the decoded project.
      container = Compress(c.plain);
      container.insert(container.end(), 100000, 2);
    }
    MemoryFileSystem fs;
    fs.files["/p/plain.qdp"] = c.plain;
    fs.files["/p/packed.qdp"] = container;
    auto plain = std::make_unique<Workspace>();
    auto packed = std::make_unique<Workspace>();
    EXPECT_EQ(LoadOutcome(*plain, fs, "/p/plain.qdp"), c.error);
    EXPECT_EQ(LoadOutcome(*packed, fs, "/p/packed.qdp"), c.error);
    ExpectSameLoad(*plain, *packed);
    EXPECT_FALSE(packed->LineModesValid);
  }
}

// Every way a compressed load can end leaves no temporary file behind.
TEST(TemporaryFilesTest, NoneRemainAfterAnyOutcome) {
  Bytes valid = Compress(BuildProject(BusyContent()));
  Bytes corrupt = testing::WithChangedByte(valid, valid.size() - 2);
  Bytes rejected = Compress(Bytes{36, 1, 0});
  // Blocks of 16 x 16 pixels, too many of them different to fit two fonts.
  ProjectContent unblockable;
  unblockable.mode_byte = 0x11;
  for (int c = 0; c < 128; ++c) {
    unblockable.SetGlyph(0, c, {uint8_t(c), uint8_t(c ^ 0x55), 1, 2, 3, 4, 5, uint8_t(c + 1)});
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x)
      unblockable.SetCell(line, x, static_cast<uint8_t>((line * 40 + x) % 128));
  }
  struct Case {
    const char* name;
    Bytes container;
    std::function<void(MemoryFileSystem&)> inject;
    const char* kind;  // "" for success
  };
  const Case cases[] = {
      {"success", valid, nullptr, ""},
      {"data error", corrupt, nullptr, "EZDecompressionError"},
      {"rejected decoded header", rejected, nullptr, "EProjectError"},
      {"first temporary file cannot be created", valid,
       [](MemoryFileSystem& fs) { fs.fail_temp = "File not found"; }, "EInOutError"},
      {"second temporary file cannot be written", valid,
       [](MemoryFileSystem& fs) {
         fs.fail_write["/mem/tmp/~2"] = "Disk full";
         fs.write_limit = 1000;
       },
       "EInOutError"},
      {"conversion fails", Compress(BuildProject(unblockable)), nullptr, "conversion failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    fs.files[kInput] = c.container;
    if (c.inject) c.inject(fs);
    auto ws = std::make_unique<Workspace>();
    std::string kind;
    try {
      if (!testing::LoadAndConvertIfCodable(*ws, fs, kInput)) kind = "conversion failed";
    } catch (const RunError& e) {
      kind = ErrorKindName(e.Kind());
    }
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(fs.files.size(), 1u) << "a file was left behind";
  }
}

TEST(TemporaryFilesTest, RealTempDirectoryIsLeftEmpty) {
  ScratchDir work;
  Bytes valid = Compress(BuildProject(BusyContent()));
  Bytes corrupt = testing::WithChangedByte(valid, valid.size() / 2);
  for (const Bytes* container : {&valid, &corrupt}) {
    ScratchDir temp;
    testing::ScopedTmpdir tmpdir(temp.Path());
    std::string input = work.File("pic.qdp");
    testing::WriteFileBytes(input, *container);
    auto ws = std::make_unique<Workspace>();
    bool failed = false;
    try {
      testing::LoadAndConvert(*ws, RealFileSystem(), input);
    } catch (const DecompressionError&) {
      failed = true;
    }
    EXPECT_EQ(failed, container == &corrupt);
    EXPECT_TRUE(temp.List().empty());
  }
}

// Runs `body` in a forked child and returns its exit status; `peak_kib`
// receives the child's peak resident set size.
int RunInChild(const std::function<int()>& body, long& peak_kib) {
  std::cout.flush();
  pid_t pid = fork();
  if (pid == 0) {
    int status = 100;
    try {
      status = body();
    } catch (const std::exception& e) {
      std::cerr << e.what() << "\n";
      status = 101;
    }
    _exit(status);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
  peak_kib = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakLimitKib = 128 * 1024;  // the sanitizer's own shadow and pools
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long kPeakLimitKib = 128 * 1024;
#else
constexpr long kPeakLimitKib = 32 * 1024;
#endif
#else
constexpr long kPeakLimitKib = 32 * 1024;
#endif

// A small container that decodes to a full-size project followed by 1 GiB
// of zeros: the whole stream is decoded and checked, the load succeeds, and
// neither memory nor the temporary file grows with the decoded size.
TEST(BoundedDecodingTest, GigabyteStreamLoadsInBoundedMemory) {
  ProjectContent content = BusyContent();
  content.width_byte = 48;
  content.fonts_byte = 127;
  content.mode_byte = 0x09;
  Bytes plain = BuildProject(content);
  ASSERT_EQ(plain.size(), kLongestProjectBytes);
  ScratchDir work;
  std::string input = work.File("big.qdp");
  {
    Bytes container = testing::CompressedZeros(uint64_t{1} << 30, plain);
    testing::WriteFileBytes(input, container);
  }
  ScratchDir temp;
  testing::ScopedTmpdir tmpdir(temp.Path());

  long load_peak = 0;
  int status = RunInChild(
      [&] {
        auto ws = std::make_unique<Workspace>();
        testing::LoadAndConvert(*ws, RealFileSystem(), input);
        return ws->LineWidth == 48 && ws->CharsPerFontLimit == 100 ? 0 : 1;
      },
      load_peak);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(temp.List().empty());

  long plain_peak = 0;
  testing::WriteFileBytes(input, plain);
  status = RunInChild(
      [&] {
        auto ws = std::make_unique<Workspace>();
        testing::LoadAndConvert(*ws, RealFileSystem(), input);
        return ws->LineWidth == 48 ? 0 : 1;
      },
      plain_peak);
  EXPECT_EQ(status, 0);

  std::cout << "peak resident KiB: load 1 GiB container " << load_peak
            << ", load full-size plain project " << plain_peak << "\n";
  EXPECT_LT(load_peak, kPeakLimitKib);
  EXPECT_LT(plain_peak, kPeakLimitKib);
}

}  // namespace
}  // namespace qdp
