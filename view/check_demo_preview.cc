// Confirms that a committed preview is what qdpview makes of its project
// today: the pictures are compared pixel by pixel, not byte by byte, so
// that another libpng or zlib, which may pack them differently, passes.
//   check_demo_preview PROJECT PREVIEW SCALE
// Exit status 0 when they match.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "view/png_reader.h"
#include "view/run_view.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: check_demo_preview PROJECT PREVIEW SCALE\n");
    return 2;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qdpcheckXXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  qdp::view::ViewOptions options;
  options.output_dir = dir;
  options.scale = std::atoi(argv[3]);
  qdp::view::FileReport report = qdp::view::ViewFile(argv[1], options);
  bool same = !report.error && report.preview &&
              qdp::view::ReadPng(*report.preview) == qdp::view::ReadPng(argv[2]) &&
              qdp::view::ReadPng(argv[2]).ok;
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  if (!same) {
    std::fprintf(stderr, "%s is not what qdpview --scale %s makes of %s; remake it (see README)\n",
                 argv[2], argv[3], argv[1]);
    return 1;
  }
  return 0;
}
