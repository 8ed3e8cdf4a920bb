#include "tests/support/picture_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <map>
#include <random>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace qdp::testing {
namespace {

uint8_t Scale(int value, int range, int to = 255) {
  return static_cast<uint8_t>(value * to / range);
}

// A 5 x 7 glyph from the bits of a number: "text" with strokes and gaps.
void DrawText(Picture& p, std::mt19937& random) {
  const Rgba ink{250, 240, 120, 255};
  for (int top = 4; top + 7 < p.Height; top += 12) {
    for (int left = 4; left + 5 < p.Width; left += 7) {
      const uint32_t glyph = random() | 0x11;
      for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 5; ++x) {
          if ((glyph >> ((y * 5 + x) % 32)) & 1) p.At(left + x, top + y) = ink;
        }
      }
    }
  }
}

void DrawShapes(Picture& p, std::mt19937& random) {
  const Rgba colours[] = {{200, 40, 40, 255},
                          {40, 160, 60, 255},
                          {50, 70, 210, 255},
                          {230, 230, 230, 255},
                          {240, 180, 30, 255}};
  for (int shape = 0; shape < 12; ++shape) {
    const Rgba c = colours[shape % 5];
    const int cx = static_cast<int>(random() % static_cast<unsigned>(p.Width));
    const int cy = static_cast<int>(random() % static_cast<unsigned>(p.Height));
    const int r = 4 + static_cast<int>(random() % 40);
    for (int y = std::max(0, cy - r); y < std::min(p.Height, cy + r); ++y) {
      for (int x = std::max(0, cx - r); x < std::min(p.Width, cx + r); ++x) {
        const bool circle = shape % 2 == 0;
        if (!circle || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) p.At(x, y) = c;
      }
    }
  }
}

uint8_t Mix(double a, double b, double t) {
  return static_cast<uint8_t>(std::clamp(a + (b - a) * t, 0.0, 255.0));
}

// A sunset over hills and water, every colour a smooth blend.
void DrawScene(Picture& p, std::mt19937& random) {
  const double w = p.Width;
  const double h = p.Height;
  const double sun_x = w * (0.3 + (random() % 40) / 100.0);
  const double sun_y = h * 0.42;
  const double horizon = h * 0.62;
  for (int y = 0; y < p.Height; ++y) {
    for (int x = 0; x < p.Width; ++x) {
      const double t = y / horizon;
      Rgba c{Mix(40, 250, t), Mix(30, 140, t), Mix(110, 90, t), 255};
      // The hills: two ridges of sines, the far one paler.
      const double far = horizon - h * (0.10 + 0.05 * std::sin(x / w * 7.0 + 1.0));
      const double near = horizon - h * (0.04 + 0.04 * std::sin(x / w * 13.0));
      const double dx = x - sun_x;
      const double dy = y - sun_y;
      const double sun = std::sqrt(dx * dx + dy * dy) / (h * 0.12);
      if (sun < 1.0) c = {255, Mix(250, 190, sun), Mix(200, 60, sun), 255};
      if (y >= far) c = {Mix(120, 80, (y - far) / h * 4), Mix(70, 50, (y - far) / h * 4), 110, 255};
      if (y >= near)
        c = {Mix(40, 20, (y - near) / h * 5), Mix(80, 50, (y - near) / h * 5), 45, 255};
      if (y >= horizon) {
        // Water: the sky mirrored, darker, with ripples.
        const double depth = (y - horizon) / (h - horizon);
        const double ripple = 0.5 + 0.5 * std::sin(y * 1.3 + std::sin(x * 0.05) * 2.0);
        const bool glint = std::abs(x - sun_x) < h * 0.1 * (1 - depth) && ripple > 0.6;
        c = glint ? Rgba{250, Mix(200, 150, depth), 120, 255}
                  : Rgba{Mix(150, 30, depth), Mix(90, 40, depth), Mix(120, 90, depth), 255};
      }
      p.At(x, y) = c;
    }
  }
}

struct PngSink {
  Bytes* Out;
};
void WriteToBytes(png_structp png, png_bytep data, size_t size) {
  Bytes& out = *static_cast<PngSink*>(png_get_io_ptr(png))->Out;
  out.insert(out.end(), data, data + size);
}
void FlushNothing(png_structp) {}

uint8_t Kept(uint8_t value, int depth) {
  if (depth >= 8) return value;
  const int levels = (1 << depth) - 1;
  return static_cast<uint8_t>((value >> (8 - depth)) * 255 / levels);
}

bool HasAlpha(int colour_type) { return (colour_type & PNG_COLOR_MASK_ALPHA) != 0; }
bool IsGrey(int colour_type) { return (colour_type & PNG_COLOR_MASK_COLOR) == 0; }

// The pixel as the form stores it, back in 8 bits.
Rgba StoredPixel(Rgba p, const PngForm& form) {
  if (form.ColourType == PNG_COLOR_TYPE_PALETTE) return p;
  if (IsGrey(form.ColourType)) p.G = p.B = p.R;
  p.R = Kept(p.R, form.BitDepth);
  p.G = Kept(p.G, form.BitDepth);
  p.B = Kept(p.B, form.BitDepth);
  if (!HasAlpha(form.ColourType)) p.A = 255;
  return p;
}

// Writes one sample of `depth` bits at sample index `i` of `row`.
void PutSample(std::vector<png_byte>& row, size_t i, int depth, uint8_t value) {
  if (depth == 16) {
    row[2 * i] = row[2 * i + 1] = value;
  } else if (depth == 8) {
    row[i] = value;
  } else {
    const size_t bit = i * static_cast<size_t>(depth);
    const int shift = 8 - depth - static_cast<int>(bit % 8);
    row[bit / 8] |= static_cast<png_byte>(value << shift);
  }
}

}  // namespace

Picture MakePicture(Drawn what, int width, int height, uint32_t seed) {
  Picture p;
  p.Width = width;
  p.Height = height;
  p.Pixels.assign(static_cast<size_t>(width) * height, Rgba{0, 0, 0, 255});
  std::mt19937 random(seed);
  switch (what) {
    case Drawn::kGradient:
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          p.At(x, y) = {Scale(x, std::max(1, width - 1)), Scale(y, std::max(1, height - 1)), 128,
                        255};
        }
      }
      break;
    case Drawn::kShapes:
      DrawShapes(p, random);
      break;
    case Drawn::kText:
      DrawText(p, random);
      break;
    case Drawn::kScene:
      DrawScene(p, random);
      break;
    case Drawn::kNoise:
      for (Rgba& px : p.Pixels) {
        const uint32_t v = random();
        px = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
              255};
      }
      break;
  }
  return p;
}

Bytes EncodePng(const Picture& picture, const PngForm& form) {
  Bytes out;
  PngSink sink{&out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the test picture");
  }
  png_set_write_fn(png, &sink, WriteToBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width),
               static_cast<png_uint_32>(picture.Height), form.BitDepth, form.ColourType,
               form.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The palette: every colour of the picture, in the order met.
  std::map<uint32_t, int> index_of;
  std::vector<png_color> colours;
  std::vector<png_byte> alphas;
  if (form.ColourType == PNG_COLOR_TYPE_PALETTE) {
    for (const Rgba& p : picture.Pixels) {
      const uint32_t key = p.R | p.G << 8 | p.B << 16 | static_cast<uint32_t>(p.A) << 24;
      if (index_of.emplace(key, static_cast<int>(colours.size())).second) {
        colours.push_back({p.R, p.G, p.B});
        alphas.push_back(p.A);
      }
    }
    if (colours.size() > (1u << form.BitDepth)) throw std::runtime_error("too many colours");
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    if (std::any_of(alphas.begin(), alphas.end(), [](png_byte a) { return a != 255; })) {
      png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    }
  }
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const int passes = png_set_interlace_handling(png);
  const size_t row_bytes = png_get_rowbytes(png, info);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < picture.Height; ++y) {
      std::vector<png_byte> row(row_bytes, 0);
      for (int x = 0; x < picture.Width; ++x) {
        const Rgba& p = picture.At(x, y);
        const size_t at = static_cast<size_t>(x) * channels;
        if (form.ColourType == PNG_COLOR_TYPE_PALETTE) {
          const uint32_t key = p.R | p.G << 8 | p.B << 16 | static_cast<uint32_t>(p.A) << 24;
          PutSample(row, at, form.BitDepth, static_cast<uint8_t>(index_of.at(key)));
          continue;
        }
        const int depth = form.BitDepth;
        const auto top = [depth](uint8_t v) {
          return depth >= 8 ? v : static_cast<uint8_t>(v >> (8 - depth));
        };
        if (IsGrey(form.ColourType)) {
          PutSample(row, at, depth, top(p.R));
        } else {
          PutSample(row, at, depth, p.R);
          PutSample(row, at + 1, depth, p.G);
          PutSample(row, at + 2, depth, p.B);
        }
        if (HasAlpha(form.ColourType)) PutSample(row, at + channels - 1, depth, p.A);
      }
      png_write_row(png, row.data());
    }
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<view::Rgb> ExpectedRgb(const Picture& picture, const PngForm& form) {
  std::vector<view::Rgb> out;
  for (const Rgba& original : picture.Pixels) {
    const Rgba p = StoredPixel(original, form);
    auto over_black = [a = p.A](uint8_t c) { return static_cast<uint8_t>((c * a + 127) / 255); };
    out.push_back({over_black(p.R), over_black(p.G), over_black(p.B)});
  }
  return out;
}

Bytes EncodeJpeg(const Picture& picture, int quality, bool grey, bool progressive) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(picture.Width);
  info.image_height = static_cast<JDIMENSION>(picture.Height);
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(picture.Width) * 3);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < picture.Width; ++x) {
      const Rgba& p = picture.At(x, y);
      if (grey) {
        row[static_cast<size_t>(x)] = p.R;
      } else {
        row[3 * static_cast<size_t>(x)] = p.R;
        row[3 * static_cast<size_t>(x) + 1] = p.G;
        row[3 * static_cast<size_t>(x) + 2] = p.B;
      }
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

Bytes PngHeaderOnly(uint32_t width, uint32_t height) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  const size_t type_at = out.size();
  for (char c : {'I', 'H', 'D', 'R'}) out.push_back(static_cast<uint8_t>(c));
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  }
  for (uint8_t b : {8, 2, 0, 0, 0}) out.push_back(b);  // 8-bit RGB, not interlaced
  const uLong crc = crc32(0, out.data() + type_at, static_cast<uInt>(out.size() - type_at));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(crc >> shift));
  return out;
}

}  // namespace qdp::testing
