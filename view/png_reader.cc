#include "view/png_reader.h"

#include <png.h>

namespace qdp::view {

GrayImage ReadPng(const std::string& path) {
  GrayImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  png.format = PNG_FORMAT_GRAY;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return GrayImage{};
  }
  image.ok = true;
  return image;
}

}  // namespace qdp::view
