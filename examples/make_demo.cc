// Writes the demo project, plain and compressed, into a directory, or with
// --check confirms that the files there are what this generator makes.
//   make_demo DIR            writes DIR/demo.qdp and DIR/demo-compressed.qdp
//   make_demo --check DIR    exit status 0 when both files match
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "examples/demo_picture.h"
#include "tests/support/project_builder.h"

namespace {

using qdp::testing::Bytes;

// The compressed file is checked by what it decodes to, so that another
// zlib version, which may pack the same bytes differently, still passes.
bool DecodesTo(const Bytes& container, const Bytes& plain) {
  if (container.size() < qdp::testing::kMagicLength ||
      std::memcmp(container.data(), qdp::kContainerMagic.data(), qdp::testing::kMagicLength) != 0) {
    return false;
  }
  Bytes decoded(plain.size() + 1);
  uLongf size = static_cast<uLongf>(decoded.size());
  int rc = uncompress(decoded.data(), &size, container.data() + qdp::testing::kMagicLength,
                      static_cast<uLong>(container.size() - qdp::testing::kMagicLength));
  decoded.resize(size);
  return rc == Z_OK && decoded == plain;
}

int Check(const std::string& dir, const Bytes& plain) {
  bool ok = true;
  if (qdp::testing::ReadFileBytes(dir + "/demo.qdp") != plain) {
    std::fprintf(stderr, "%s/demo.qdp differs from the generated demo\n", dir.c_str());
    ok = false;
  }
  if (!DecodesTo(qdp::testing::ReadFileBytes(dir + "/demo-compressed.qdp"), plain)) {
    std::fprintf(stderr, "%s/demo-compressed.qdp does not decode to the demo\n", dir.c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
      std::fprintf(stderr, "usage: make_demo [--check] DIR\n");
      return 2;
    }
    const std::string dir = argv[argc - 1];
    const Bytes plain = qdp::testing::BuildProject(qdp::demo::DemoProject());
    if (check) return Check(dir, plain);
    qdp::testing::WriteFileBytes(dir + "/demo.qdp", plain);
    qdp::testing::WriteFileBytes(dir + "/demo-compressed.qdp",
                                 qdp::testing::Compress(plain, Z_BEST_COMPRESSION));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo: %s\n", e.what());
    return 1;
  }
}
