#include "view/png_reader.h"

#include <png.h>

namespace qdp::view {

RgbImage ReadPng(const std::string& path) {
  RgbImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  png.format = PNG_FORMAT_RGB;
  image.Width = static_cast<int>(png.width);
  image.Height = static_cast<int>(png.height);
  static_assert(sizeof(Rgb) == 3);
  image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
  if (!png_image_finish_read(&png, nullptr, image.Pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return RgbImage{};
  }
  image.Ok = true;
  return image;
}

}  // namespace qdp::view
