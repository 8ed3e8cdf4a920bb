// Writes the pictures the demo, the README and the import's measurements
// use. Usage:
//   make_import_picture OUT.png                  the landscape drawn by
//                                                code, 320 x 240
//   make_import_picture OUT.png|OUT.jpg W H [progressive]
//                                                a W x H picture of bands
//                                                and gradients, written row
//                                                by row, so that it may be
//                                                far larger than memory (a
//                                                progressive JPEG is not:
//                                                its coder keeps it whole)
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/picture_files.h"
#include "tests/support/project_builder.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

// Row y of the large picture, RGB.
void FillRow(int width, int height, int y, std::vector<unsigned char>& row) {
  for (int x = 0; x < width; ++x) {
    const int band = (x / 97 + y / 89) % 3;
    row[3 * x] = static_cast<unsigned char>(x * 255 / width);
    row[3 * x + 1] = static_cast<unsigned char>(y * 255 / height);
    row[3 * x + 2] = static_cast<unsigned char>(band * 100);
  }
}

int WriteLarge(const std::string& path, int width, int height, bool progressive) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 1;
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  if (path.size() > 4 && path.substr(path.size() - 4) == ".jpg") {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < height; ++y) {
      FillRow(width, height, y, row);
      JSAMPROW rows[] = {row.data()};
      jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
  } else {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      FillRow(width, height, y, row);
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 || argc == 5) {
    return WriteLarge(argv[1], std::atoi(argv[2]), std::atoi(argv[3]),
                      argc == 5 && std::string(argv[4]) == "progressive");
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_import_picture OUT.png [WIDTH HEIGHT [progressive]]\n");
    return 2;
  }
  using qdp::testing::Drawn;
  qdp::testing::WriteFileBytes(
      argv[1], qdp::testing::EncodePng(qdp::testing::MakePicture(Drawn::kScene, 320, 240, 3),
                                       {PNG_COLOR_TYPE_RGB, 8}));
  return 0;
}
