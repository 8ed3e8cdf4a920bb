// Confirms that a committed preview and font sheet are what qdpview makes
// of their project today: the pictures are compared pixel by pixel, not
// byte by byte, so that another libpng or zlib, which may pack them
// differently, passes.
//   check_demo_preview PROJECT PREVIEW FONT_SHEET SCALE
// Exit status 0 when both match.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "view/png_reader.h"
#include "view/run_view.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: check_demo_preview PROJECT PREVIEW FONT_SHEET SCALE\n");
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
  options.scale = std::atoi(argv[4]);
  qdp::view::FileReport report = qdp::view::ViewFile(argv[1], options);
  auto same = [](const std::optional<std::string>& made, const char* committed) {
    qdp::view::GrayImage image = qdp::view::ReadPng(committed);
    return made && image.ok && qdp::view::ReadPng(*made) == image;
  };
  const bool preview_same = !report.error && same(report.preview, argv[2]);
  const bool sheet_same = !report.error && same(report.font_sheet, argv[3]);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  for (auto [ok, committed] : {std::pair{preview_same, argv[2]}, std::pair{sheet_same, argv[3]}}) {
    if (!ok) {
      std::fprintf(stderr,
                   "%s is not what qdpview --scale %s makes of %s; remake it (see README)\n",
                   committed, argv[4], argv[1]);
    }
  }
  if (!preview_same || !sheet_same) return 1;
  return 0;
}
