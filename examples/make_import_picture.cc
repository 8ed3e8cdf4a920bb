// Writes the picture the demo and the README import: a landscape drawn by
// code, 320 x 240, as a PNG. Usage: make_import_picture OUT.png
#include <cstdio>
#include <png.h>

#include "tests/support/picture_files.h"
#include "tests/support/project_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_import_picture OUT.png\n");
    return 2;
  }
  using qdp::testing::Drawn;
  qdp::testing::WriteFileBytes(
      argv[1], qdp::testing::EncodePng(qdp::testing::MakePicture(Drawn::kScene, 320, 240, 3),
                                       {PNG_COLOR_TYPE_RGB, 8}));
  return 0;
}
