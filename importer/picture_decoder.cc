#include "importer/picture_decoder.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/error.h"

namespace qdp::importer {
namespace {

constexpr std::array<uint8_t, 8> kPngMagic = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Every JPEG starts with a start-of-image marker and then another marker.
constexpr std::array<uint8_t, 3> kJpegMagic = {0xFF, 0xD8, 0xFF};

template <size_t N>
bool StartsWith(std::span<const uint8_t> bytes, const std::array<uint8_t, N>& magic) {
  return bytes.size() >= N && std::equal(magic.begin(), magic.end(), bytes.begin());
}

}  // namespace

std::optional<PictureFormat> SniffFormat(std::span<const uint8_t> first_bytes) {
  if (StartsWith(first_bytes, kPngMagic)) return PictureFormat::kPng;
  if (StartsWith(first_bytes, kJpegMagic)) return PictureFormat::kJpeg;
  return std::nullopt;
}

void DecodePicture(File& file, PixelSink& sink) {
  std::array<uint8_t, kPngMagic.size()> first{};
  file.Seek(0);
  const size_t got = file.Read(first.data(), first.size());
  file.Seek(0);
  const std::optional<PictureFormat> format = SniffFormat(std::span(first.data(), got));
  if (!format) throw PictureFileError("not a PNG or JPEG picture");
  switch (*format) {
    case PictureFormat::kPng:
      return DecodePng(file, sink);
    case PictureFormat::kJpeg:
      return DecodeJpeg(file, sink);
  }
}

}  // namespace qdp::importer
