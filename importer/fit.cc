#include "importer/fit.h"

#include <stb/stb_image_resize.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "platform/error.h"

namespace qdp::importer {
namespace {

// Boxes are at most this many times the fitted size each way; the
// resampler does the rest.
constexpr double kBoxedOverFitted = 4;

float Linear(uint8_t value) {
  const float c = value / 255.0f;
  return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

const std::array<float, 256>& LinearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = Linear(static_cast<uint8_t>(i));
    return t;
  }();
  return table;
}

uint8_t Encoded(float linear) {
  const float c = std::clamp(linear, 0.0f, 1.0f);
  const float e = c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
  return static_cast<uint8_t>(std::lround(e * 255));
}

// How many times larger the picture is than the screen it is fitted to.
double Reduction(int width, int height) {
  return std::max(static_cast<double>(width) / kFitWidth, static_cast<double>(height) / kFitHeight);
}

std::string Join(const std::vector<int>& widths) {
  std::string text;
  for (size_t i = 0; i < widths.size(); ++i) {
    if (i > 0) text += i + 1 == widths.size() ? " or " : ", ";
    text += std::to_string(widths[i]);
  }
  return text;
}

}  // namespace

std::string AcceptedSizesText() {
  std::vector<int> full;
  std::vector<int> half;
  for (const import::PictureSize& size : import::kPictureSizes) {
    (size.HalfWidth ? half : full).push_back(size.Width);
  }
  const std::string height = " x " + std::to_string(import::kPictureHeight);
  return Join(full) + height + " (or half as wide: " + Join(half) + height + ")";
}

int SourceSink::Shrink(int width, int height) const {
  if (!fit_ || import::IsAcceptedSize(width, height)) return 1;
  // The decoder's shrinking keeps twice the fitted size at least.
  int shrink = 1;
  while (shrink < 8 && Reduction(width, height) / (shrink * 2) >= 2) shrink *= 2;
  return shrink;
}

void SourceSink::Begin(int width, int height) {
  width_ = width;
  height_ = height;
  if (import::IsAcceptedSize(width, height)) {
    picture_.Width = width;
    picture_.Height = height;
    picture_.Pixels.assign(static_cast<size_t>(width) * height, view::kBlack);
    return;
  }
  if (!fit_) {
    throw PictureSizeError("the picture is " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels; taken as they stand are " +
                           AcceptedSizesText() + ", and --fit scales any other");
  }
  const double reduction = Reduction(width, height);
  fitted_width_ = std::clamp(static_cast<int>(std::lround(width / reduction)), 1, kFitWidth);
  fitted_height_ = std::clamp(static_cast<int>(std::lround(height / reduction)), 1, kFitHeight);
  box_ = std::max(1, static_cast<int>(std::floor(reduction * 2 / kBoxedOverFitted)));
  grid_width_ = (width + box_ - 1) / box_;
  grid_height_ = (height + box_ - 1) / box_;
  sums_.assign(static_cast<size_t>(grid_width_) * grid_height_ * 3, 0.0f);
}

void SourceSink::Put(int y, int x0, int step, const view::Rgb* pixels, int count) {
  if (box_ == 0) {
    view::Rgb* row = &picture_.Pixels[static_cast<size_t>(y) * width_];
    for (int i = 0; i < count; ++i) row[x0 + i * step] = pixels[i];
    return;
  }
  const std::array<float, 256>& linear = LinearTable();
  float* boxes = &sums_[static_cast<size_t>(y / box_) * grid_width_ * 3];
  for (int i = 0, x = x0; i < count; ++i, x += step) {
    float* sum = boxes + static_cast<size_t>(x / box_) * 3;
    sum[0] += linear[pixels[i].R];
    sum[1] += linear[pixels[i].G];
    sum[2] += linear[pixels[i].B];
  }
}

import::SourcePicture SourceSink::Finish(){if (box_ == 0) return std::move(picture_);
// Each box's mean; the boxes of the last column and row may be cut.
for (int gy = 0; gy < grid_height_; ++gy) {
  const int rows = std::min(box_, height_ - gy * box_);
  for (int gx = 0; gx < grid_width_; ++gx) {
    const int columns = std::min(box_, width_ - gx * box_);
    float* sum = &sums_[(static_cast<size_t>(gy) * grid_width_ + gx) * 3];
    for (int c = 0; c < 3; ++c) sum[c] /= static_cast<float>(rows * columns);
  }
}
std::vector<float> fitted(static_cast<size_t>(fitted_width_) * fitted_height_ * 3);
if (!stbir_resize_float_generic(sums_.data(), grid_width_, grid_height_, 0, fitted.data(),
                                fitted_width_, fitted_height_, 0, 3, STBIR_ALPHA_CHANNEL_NONE, 0,
                                STBIR_EDGE_CLAMP, STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_LINEAR,
                                nullptr)) {
  throw std::bad_alloc();
}
std::vector<float>().swap(sums_);
import::SourcePicture picture;
picture.Width = kFitWidth;
picture.Height = kFitHeight;
picture.Pixels.assign(static_cast<size_t>(kFitWidth) * kFitHeight, view::kBlack);
const int left = (kFitWidth - fitted_width_) / 2;
const int top = (kFitHeight - fitted_height_) / 2;
for (int y = 0; y < fitted_height_; ++y) {
  for (int x = 0; x < fitted_width_; ++x) {
    const float* p = &fitted[(static_cast<size_t>(y) * fitted_width_ + x) * 3];
    picture.Pixels[static_cast<size_t>(top + y) * kFitWidth + left + x] = {
        Encoded(p[0]), Encoded(p[1]), Encoded(p[2])};
  }
}
return picture;
}  // namespace qdp::importer

import::SourcePicture ReadSourcePicture(File& file, bool fit){SourceSink sink(fit);
DecodePicture(file, sink);
return sink.Finish();
}

}  // namespace qdp::importer
