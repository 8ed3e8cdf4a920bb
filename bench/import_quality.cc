// Measures the import on photographs: each is fitted to 320 x 240 (aspect
// kept, centred on black), imported with the default options, and its
// error and time printed beside a crude importer's error and the anchors.
//   import_quality [--fonts N] [--dither none|ordered|diffusion] [--runs N] PICTURE...
// Pictures: PNG, JPEG or WebP.
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <webp/decode.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

#include "import/import_picture.h"
#include "import/oklab.h"
#include "import/picture_error.h"
#include "view/png_reader.h"

namespace {

using qdp::import::SourcePicture;
using qdp::view::Rgb;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The anchors of the error metric, from prototypes on eight photographs
// (four-colour lines only, PAL palette).
struct Anchor {
  double Error;
  const char* What;
};
constexpr Anchor kAnchors[] = {
    {6.1, "one set of four colours for the whole picture"},
    {4.7, "five colours per scanline, crude k-means snapped to the palette, no dithering"},
    {4.0, "five colours per scanline, k-means++ in OKLab snapped at the end, no dithering"},
    {3.2, "the same with error diffusion, PF3 free per pixel (breaks a limit)"},
    {2.8, "any of the 128 colours per pixel with error diffusion (no limit at all)"},
};
constexpr double kGoal = 3.5;
constexpr double kAim = 3.0;

struct Decoded {
  int Width = 0, Height = 0;
  std::vector<Rgb> Pixels;
};

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Decoded& out) {
  jpeg_decompress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.Width = static_cast<int>(info.output_width);
  out.Height = static_cast<int>(info.output_height);
  out.Pixels.resize(static_cast<size_t>(out.Width) * out.Height);
  std::vector<uint8_t> row(static_cast<size_t>(out.Width) * 3);
  while (info.output_scanline < info.output_height) {
    uint8_t* p = row.data();
    const int y = static_cast<int>(info.output_scanline);
    jpeg_read_scanlines(&info, &p, 1);
    for (int x = 0; x < out.Width; ++x)
      out.Pixels[static_cast<size_t>(y) * out.Width + x] =
          Rgb{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool Decode(const std::string& path, Decoded& out) {
  const std::vector<uint8_t> bytes = Slurp(path);
  if (bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8) return DecodeJpeg(bytes, out);
  int w = 0, h = 0;
  if (uint8_t* rgb = WebPDecodeRGB(bytes.data(), bytes.size(), &w, &h)) {
    out.Width = w;
    out.Height = h;
    out.Pixels.resize(static_cast<size_t>(w) * h);
    std::memcpy(out.Pixels.data(), rgb, out.Pixels.size() * 3);
    WebPFree(rgb);
    return true;
  }
  qdp::view::RgbImage png = qdp::view::ReadPng(path);
  if (!png.Ok) return false;
  out.Width = png.Width;
  out.Height = png.Height;
  out.Pixels = png.Pixels;
  return true;
}

// The picture scaled to fit 320 x 240 with its aspect kept, centred on
// black.
SourcePicture Fit(const Decoded& d) {
  const double scale =
      std::min(static_cast<double>(kWidth) / d.Width, static_cast<double>(kHeight) / d.Height);
  const int w = std::max(1, static_cast<int>(std::lround(d.Width * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(d.Height * scale)));
  std::vector<Rgb> scaled(static_cast<size_t>(w) * h);
  stbir_resize_uint8(reinterpret_cast<const unsigned char*>(d.Pixels.data()), d.Width, d.Height, 0,
                     reinterpret_cast<unsigned char*>(scaled.data()), w, h, 0, 3);
  SourcePicture picture{kWidth, kHeight,
                        std::vector<Rgb>(static_cast<size_t>(kWidth) * kHeight, qdp::view::kBlack)};
  const int left = (kWidth - w) / 2, top = (kHeight - h) / 2;
  for (int y = 0; y < h; ++y) {
    std::copy_n(scaled.begin() + static_cast<ptrdiff_t>(y) * w, w,
                picture.Pixels.begin() + static_cast<ptrdiff_t>(y + top) * kWidth + left);
  }
  return picture;
}

// The crude importer the goal must beat on every picture: five colours
// per scanline by a few rounds of k-means in RGB from evenly spread
// starts, snapped to the palette, each four-colour pixel its nearest.
double CrudeError(const SourcePicture& picture, const qdp::view::AtariPalette& palette) {
  auto d2 = [](const Rgb& a, const float* c) {
    const float r = a.R - c[0], g = a.G - c[1], b = a.B - c[2];
    return r * r + g * g + b * b;
  };
  std::vector<uint8_t> shown(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::vector<Rgb> px(kWidth / 2);
    for (int x = 0; x < kWidth / 2; ++x) {
      const Rgb& a = picture.Pixels[static_cast<size_t>(y) * kWidth + 2 * x];
      const Rgb& b = picture.Pixels[static_cast<size_t>(y) * kWidth + 2 * x + 1];
      px[x] = Rgb{static_cast<uint8_t>((a.R + b.R) / 2), static_cast<uint8_t>((a.G + b.G) / 2),
                  static_cast<uint8_t>((a.B + b.B) / 2)};
    }
    std::vector<Rgb> sorted = px;
    std::sort(sorted.begin(), sorted.end(),
              [](const Rgb& a, const Rgb& b) { return a.R + a.G + a.B < b.R + b.G + b.B; });
    float centre[5][3];
    for (int c = 0; c < 5; ++c) {
      const Rgb& s = sorted[(2 * c + 1) * sorted.size() / 10];
      centre[c][0] = s.R, centre[c][1] = s.G, centre[c][2] = s.B;
    }
    std::vector<int> label(px.size());
    for (int round = 0; round < 5; ++round) {
      double sum[5][3] = {};
      int n[5] = {};
      for (size_t i = 0; i < px.size(); ++i) {
        int best = 0;
        for (int c = 1; c < 5; ++c)
          if (d2(px[i], centre[c]) < d2(px[i], centre[best])) best = c;
        label[i] = best;
        sum[best][0] += px[i].R, sum[best][1] += px[i].G, sum[best][2] += px[i].B;
        ++n[best];
      }
      for (int c = 0; c < 5; ++c) {
        if (n[c])
          for (int k = 0; k < 3; ++k) centre[c][k] = static_cast<float>(sum[c][k] / n[c]);
      }
    }
    int snapped[5];
    for (int c = 0; c < 5; ++c) {
      int best = 0;
      for (int i = 0; i < 256; i += 2)
        if (d2(palette[i], centre[c]) < d2(palette[best], centre[c])) best = i;
      snapped[c] = best;
    }
    for (int x = 0; x < kWidth / 2; ++x) {
      int best = snapped[0];
      for (int c = 1; c < 5; ++c) {
        const float p[3] = {static_cast<float>(px[x].R), static_cast<float>(px[x].G),
                            static_cast<float>(px[x].B)};
        auto dist = [&](int i) { return d2(palette[i], p); };
        if (dist(snapped[c]) < dist(best)) best = snapped[c];
      }
      shown[static_cast<size_t>(y) * kWidth + 2 * x] =
          shown[static_cast<size_t>(y) * kWidth + 2 * x + 1] = static_cast<uint8_t>(best);
    }
  }
  qdp::view::IndexedImage image;
  image.Width = kWidth;
  image.Height = kHeight;
  image.Palette.assign(palette.begin(), palette.end());
  image.FillRow = [&shown](int y, uint8_t* row) {
    std::copy_n(shown.begin() + static_cast<ptrdiff_t>(y) * kWidth, kWidth, row);
  };
  return qdp::import::PictureError(picture, image);
}

}  // namespace

int main(int argc, char** argv) {
  qdp::import::ImportOptions options;
  int runs = 5;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fonts" && i + 1 < argc)
      options.FontBudget = std::atoi(argv[++i]);
    else if (arg == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--max-changes" && i + 1 < argc)
      options.MaxChanges = std::atoi(argv[++i]);
    else if (arg == "--dither" && i + 1 < argc) {
      auto d = qdp::import::DitheringByName(argv[++i]);
      if (!d) return 2;
      options.Dither = *d;
    } else if (arg == "--mode" && i + 1 < argc) {
      auto m = qdp::import::ModeChoiceByName(argv[++i]);
      if (!m) return 2;
      options.Mode = *m;
    } else
      files.push_back(arg);
  }
  const qdp::view::AtariPalette palette =
      qdp::view::BuiltInPalette(qdp::view::BuiltInPaletteKind::kPal);
  std::printf("%-28s %8s %8s %10s %8s  %s\n", "picture", "error", "crude", "median ms", "cpu ms",
              "modes (hi-res/four/gtia/blank), fonts");
  double total = 0, total_crude = 0;
  int counted = 0, worse = 0;
  std::vector<double> all_times, all_cpu;
  for (const std::string& file : files) {
    Decoded decoded;
    if (!Decode(file, decoded) || decoded.Width <= 0) {
      std::printf("%-28s unreadable\n", file.c_str());
      continue;
    }
    const SourcePicture picture = Fit(decoded);
    std::vector<double> times, cpu_times;
    qdp::import::ImportReport report;
    for (int r = 0; r < runs; ++r) {
      auto ws = qdp::NewWorkspace();
      const auto start = std::chrono::steady_clock::now();
      const std::clock_t cpu_start = std::clock();
      report = qdp::import::ImportPicture(picture, options, palette, *ws);
      cpu_times.push_back(1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
      times.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu_times.begin(), cpu_times.end());
    const double median = times[times.size() / 2];
    const double cpu_median = cpu_times[cpu_times.size() / 2];
    all_times.push_back(median);
    all_cpu.push_back(cpu_median);
    const double crude = CrudeError(picture, palette);
    int count[4] = {};
    for (qdp::LineMode m : report.Modes) {
      count[m == qdp::LineMode::kHiRes        ? 0
            : m == qdp::LineMode::kFourColour ? 1
            : m == qdp::LineMode::kGtia       ? 2
                                              : 3]++;
    }
    const std::string name = file.substr(file.find_last_of('/') + 1);
    std::printf("%-28s %8.3f %8.3f %10.1f %8.1f  %d/%d/%d/%d, %d fonts (%d needed, %d merged)%s\n",
                name.c_str(), report.Error, crude, median, cpu_median, count[0], count[1], count[2],
                count[3], report.FontsUsed, report.FontsNeeded, report.MergedCharacters,
                report.Error > crude ? "  WORSE THAN CRUDE" : "");
    total += report.Error;
    total_crude += crude;
    worse += report.Error > crude;
    ++counted;
  }
  if (counted == 0) return 1;
  std::sort(all_times.begin(), all_times.end());
  std::sort(all_cpu.begin(), all_cpu.end());
  std::printf(
      "mean error %.3f (crude %.3f), pictures worse than crude %d, median of medians %.1f ms "
      "(%.1f ms of processor time)\n",
      total / counted, total_crude / counted, worse, all_times[all_times.size() / 2],
      all_cpu[all_cpu.size() / 2]);
  std::printf("goal %.1f, aim %.1f; anchors:\n", kGoal, kAim);
  for (const Anchor& a : kAnchors) std::printf("  %.1f  %s\n", a.Error, a.What);
  return 0;
}
