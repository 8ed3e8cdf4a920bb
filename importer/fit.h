// Turns a decoded picture into the picture the import takes: as it stands
// when its size is one the screen has, scaled to fit the screen when asked
// (keeping its aspect, centred on black), else refused.
#ifndef QDPEXT_IMPORTER_FIT_H_
#define QDPEXT_IMPORTER_FIT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "import/source_picture.h"
#include "importer/picture_decoder.h"

namespace qdp::importer {

// The screen a fitted picture is drawn on, in hi-res pixels: 40 cells.
inline constexpr int kFitWidth = 320;
inline constexpr int kFitHeight = import::kPictureHeight;

// One colour channel of a pixel laid over black by its alpha (0 to 255),
// rounded to the nearest: how every picture with alpha is taken.
inline uint8_t OverBlack(unsigned channel, unsigned alpha) {
  return static_cast<uint8_t>((channel * alpha + 127) / 255);
}

// "256, 320 or 384 x 240 (or half as wide: 128, 160 or 192 x 240)", from
// the table of accepted sizes.
std::string AcceptedSizesText();

// A PixelSink that keeps what the import needs. For a picture that is
// fitted, it keeps the sums of k x k boxes of the decoded pixels (in
// linear light), k chosen so that the boxes are at most four times the
// fitted size each way; the resampler then takes them down to it. So its
// memory is bounded whatever the picture's size.
class SourceSink : public PixelSink {
 public:
  explicit SourceSink(bool fit) : fit_(fit) {}
  int Shrink(int width, int height) const override;
  // Throws PictureSizeError for a size not taken as it stands, unless fitting.
  void Begin(int width, int height) override;
  void Put(int y, int x0, int step, const view::Rgb* pixels, int count) override;
  // The picture, once every pixel has come.
  import::SourcePicture Finish();
  // Whether the picture was scaled, and its size as decoded.
  bool Fitted() const { return box_ > 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  bool fit_;
  int width_ = 0;
  int height_ = 0;
  import::SourcePicture picture_;
  // Fitting: the box side, the boxes' grid and sums (R, G, B), and the
  // fitted size.
  int box_ = 0;
  int grid_width_ = 0;
  int grid_height_ = 0;
  std::vector<float> sums_;
  int fitted_width_ = 0;
  int fitted_height_ = 0;
};

// Decodes the picture `file` holds into the picture the import takes.
import::SourcePicture ReadSourcePicture(File& file, bool fit);

}  // namespace qdp::importer

#endif  // QDPEXT_IMPORTER_FIT_H_
