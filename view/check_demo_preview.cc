// Confirms that a committed preview and font sheet are what qdpview makes
// of their project today: the pictures are compared pixel by pixel, not
// byte by byte, so that another libpng or zlib, which may pack them
// differently, passes.
//   check_demo_preview PROJECT PREVIEW FONT_SHEET SCALE
// Exit status 0 when both match.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#include "platform/file_system.h"
#include "view/png_reader.h"
#include "view/run_view.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: check_demo_preview PROJECT PREVIEW FONT_SHEET SCALE\n");
    return 2;
  }
  // A fresh directory of its own for the pictures.
  std::error_code error;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(error);
  std::random_device random;
  std::string dir;
  for (int tries = 0; tries < 100 && dir.empty(); ++tries) {
    std::string name = (tmp / ("qdpcheck" + std::to_string(random()))).string();
    if (std::filesystem::create_directory(name, error)) dir = name;
  }
  if (dir.empty()) {
    std::fprintf(stderr, "check_demo_preview: cannot make a directory in %s\n", tmp.c_str());
    return 1;
  }
  qdp::view::ViewOptions options;
  options.OutputDir = dir;
  options.Scale = std::atoi(argv[4]);
  qdp::view::FileReport report = qdp::view::ViewFile(
      argv[1], options, qdp::view::ChooseDrawing(options, qdp::RealFileSystem()),
      qdp::RealFileSystem());
  auto same = [](const std::optional<std::string>& made, const char* committed) {
    qdp::view::RgbImage image = qdp::view::ReadPng(committed);
    return made && image.Ok && qdp::view::ReadPng(*made) == image;
  };
  const bool preview_same = !report.Error && same(report.Written("preview"), argv[2]);
  const bool sheet_same = !report.Error && same(report.Written("font sheet"), argv[3]);
  std::filesystem::remove_all(dir, error);
  for (auto [ok, committed] : {std::pair{preview_same, argv[2]}, std::pair{sheet_same, argv[3]}}) {
    if (!ok) {
      std::fprintf(stderr,
                   "%s is not what qdpview --scale %s makes of %s; remake it (see CONTRIBUTING.md, "
                   "\"The demo files\")\n",
                   committed, argv[4], argv[1]);
    }
  }
  if (!preview_same || !sheet_same) return 1;
  return 0;
}
