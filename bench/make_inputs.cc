// Writes the inputs of the measuring scripts, so that no binary project
// ever needs to be kept in the repository. Usage:
//   make_inputs OUT_DIR [--huge]
// writes OUT_DIR/full.qdp, a complete plain project of width 48 with 128
// fonts whose layout asks for shared characters (the costliest
// conversion), OUT_DIR/full_z.qdp, the same compressed, and with --huge
// OUT_DIR/huge_z.qdp, a container whose stream decodes to 1 GiB: the same
// project followed by surplus bytes, which the program must ignore.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "tests/support/project_builder.h"

namespace {

using qdp::testing::Bytes;

constexpr uint64_t kHugeSize = uint64_t{1} << 30;

Bytes FullProject() {
  std::mt19937 rng(48128);
  std::uniform_int_distribution<int> byte(0, 255);
  qdp::testing::ProjectContent content;
  content.width_byte = 48;
  content.mode_byte = 0x01;  // no conversion bits: the layout picks shared characters
  content.fonts_byte = 127;
  content.fonts.resize(128 * 1024);
  for (auto& row : content.fonts) row = static_cast<uint8_t>(byte(rng));
  // A picture that mixes repeated, inverted and fresh cells.
  std::uniform_int_distribution<int> code(0, 127);
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 48; ++x) {
      int c = (x % 3 == 0) ? code(rng) : (line * 7 + x) % 40;
      content.SetCell(line, x, static_cast<uint8_t>(c | (byte(rng) < 32 ? 0x80 : 0)));
    }
    content.line_fonts[static_cast<size_t>(line)] = static_cast<uint8_t>((line * 5) % 30);
  }
  for (auto& entry : content.colours) entry = static_cast<uint8_t>(byte(rng));
  Bytes project = qdp::testing::BuildProject(content);
  // The project data that the program reads past gets content of its own,
  // neither all zero nor incompressible, so that its decoding costs what a
  // real project's would.
  qdp::ProjectLayout layout = content.GetLayout();
  std::uniform_int_distribution<int> low(0, 3);
  auto scribble = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) project[i] = static_cast<uint8_t>(low(rng));
  };
  scribble(layout.ColourTables() + qdp::kColourTablesBytes, layout.LineModeTable());
  scribble(layout.LargestData(), layout.LargestData() + qdp::kLargestDataBytes);
  return project;
}

void Write(const std::string& path, const Bytes& bytes) {
  qdp::testing::WriteFileBytes(path, bytes);
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
}

// Streams "QDPZLIB" and a zlib stream of `project` followed by zeros up to
// `total` bytes straight to the file, so the decoded bytes are never all
// in memory.
void WriteHugeContainer(const std::string& path, const Bytes& project, uint64_t total) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) throw std::runtime_error("cannot create " + path);
  uint64_t written = 0;
  qdp::testing::StreamCompressedZeros(total - project.size(), project, 6,
                                      [&](const uint8_t* data, size_t length) {
                                        if (std::fwrite(data, 1, length, out) != length)
                                          throw std::runtime_error("write");
                                        written += length;
                                      });
  if (std::fclose(out) != 0) throw std::runtime_error("close " + path);
  std::printf("%s: %llu bytes, decoding to %llu\n", path.c_str(),
              static_cast<unsigned long long>(written), static_cast<unsigned long long>(total));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "--huge")) {
    std::fprintf(stderr, "usage: make_inputs OUT_DIR [--huge]\n");
    return 2;
  }
  std::string dir = argv[1];
  Bytes project = FullProject();
  Write(dir + "/full.qdp", project);
  Write(dir + "/full_z.qdp", qdp::testing::Compress(project));
  if (argc == 3) WriteHugeContainer(dir + "/huge_z.qdp", project, kHugeSize);
  return 0;
}
