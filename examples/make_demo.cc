// Writes the demo project in its two forms into a directory, or with
// --check confirms that the files there are what this generator makes:
// plain (demo.qdp) and compressed (demo-compressed.qdp).
//   make_demo DIR            writes the two files into DIR
//   make_demo --check DIR    exit status 0 when both match
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "examples/demo_picture.h"
#include "tests/support/project_builder.h"

namespace {

using qdp::testing::Bytes;

using qdp::testing::kMagicLength;

// A compressed file is checked by what it decodes to, so that another
// zlib version, which may pack the same bytes differently, still passes.
bool DecodesTo(const Bytes& container, const Bytes& plain) {
  if (container.size() < kMagicLength ||
      std::memcmp(container.data(), qdp::kContainerMagic.data(), kMagicLength) != 0) {
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
  const Bytes compressed = qdp::testing::ReadFileBytes(dir + "/demo-compressed.qdp");
  if (!DecodesTo(compressed, plain)) {
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
    const Bytes compressed = qdp::testing::Compress(plain, Z_BEST_COMPRESSION);
    qdp::testing::WriteFileBytes(dir + "/demo-compressed.qdp", compressed);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo: %s\n", e.what());
    return 1;
  }
}
