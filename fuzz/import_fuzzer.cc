// Fuzz target: the import, from arbitrary bytes taken as a PNG or a JPEG,
// or from arbitrary pixels, with arbitrary options. Whatever a picture
// that decodes becomes must be a project that reads back, converts
// without failure and draws exactly as the import chose.
//
// The input: four bytes of choices, then the file or the pixels.
//   byte 0: 0 PNG, 1 JPEG, 2 pixels (modulo 3); bit 7 fits the picture
//   byte 1: the mode (modulo 4), then the dithering (divided by 4, modulo 3)
//   byte 2: the register changes (modulo 6), the font budget (divided by 8, modulo 31)
//   byte 3: the size of the pixels (modulo 6); bit 7 the NTSC palette
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_failure.h"
#include "convert/reconstruct.h"
#include "convert/render.h"
#include "fuzz/sandbox.h"
#include "import/import_picture.h"
#include "importer/fit.h"
#include "platform/error.h"
#include "project/reader.h"
#include "project/writer.h"
#include "tests/support/memory_file_system.h"
#include "view/colour_picture.h"

namespace {

using qdp::fuzz::Fail;

constexpr size_t kChoices = 4;
const uint8_t kPngMagic[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const uint8_t kJpegMagic[] = {0xFF, 0xD8, 0xFF};

// The picture the choices and the bytes make, or none when they do not
// decode to one the import takes.
bool Picture(const uint8_t* data, size_t size, qdp::import::SourcePicture& picture) {
  const int kind = data[0] % 3;
  if (kind == 2) {
    const auto& accepted = qdp::import::kPictureSizes[data[3] % qdp::import::kPictureSizes.size()];
    picture.Width = accepted.Width;
    picture.Height = qdp::import::kPictureHeight;
    picture.Pixels.assign(static_cast<size_t>(picture.Width) * picture.Height, qdp::view::kBlack);
    const size_t n = size - kChoices;
    for (size_t i = 0; n >= 3 && i < picture.Pixels.size(); ++i) {
      const size_t at = kChoices + (3 * i) % (n - n % 3);
      picture.Pixels[i] = {data[at], data[at + 1], data[at + 2]};
    }
    return true;
  }
  qdp::testing::MemoryFileSystem fs;
  qdp::testing::Bytes& file = fs.files["/picture"];
  if (kind == 0) file.assign(std::begin(kPngMagic), std::end(kPngMagic));
  if (kind == 1) file.assign(std::begin(kJpegMagic), std::end(kJpegMagic));
  file.insert(file.end(), data + kChoices, data + size);
  try {
    picture =
        qdp::importer::ReadSourcePicture(*fs.OpenForReading("/picture"), (data[0] & 0x80) != 0);
    return true;
  } catch (const qdp::RunError& error) {
    if (error.Kind() != qdp::ErrorKind::kPicture && error.Kind() != qdp::ErrorKind::kPictureSize) {
      Fail("the decoder ended with an error of another kind: " + error.Reason());
    }
    return false;
  }
}

bool SamePictures(const qdp::view::IndexedImage& a, const qdp::view::IndexedImage& b) {
  if (a.Width != b.Width || a.Height != b.Height || a.Palette != b.Palette) return false;
  std::vector<uint8_t> row_a(static_cast<size_t>(a.Width));
  std::vector<uint8_t> row_b(static_cast<size_t>(b.Width));
  for (int y = 0; y < a.Height; ++y) {
    a.FillRow(y, row_a.data());
    b.FillRow(y, row_b.data());
    if (row_a != row_b) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kChoices) return 0;
  qdp::import::SourcePicture picture;
  if (!Picture(data, size, picture)) return 0;

  qdp::import::ImportOptions options;
  options.Mode = qdp::import::kModeChoiceNames[data[1] % 4].Value;
  options.Dither = qdp::import::kDitheringNames[(data[1] / 4) % 3].Value;
  options.MaxChanges = data[2] % 6;
  options.FontBudget = (data[2] / 8) % 31;
  const qdp::view::AtariPalette palette = qdp::view::BuiltInPalette(
      data[3] & 0x80 ? qdp::view::BuiltInPaletteKind::kNtsc : qdp::view::BuiltInPaletteKind::kPal);
  qdp::WorkspacePtr imported = qdp::NewWorkspace();
  const qdp::import::ImportReport report =
      qdp::import::ImportPicture(picture, options, palette, *imported);
  if (report.MaxChangesOnAScanline > options.MaxChanges) Fail("more register changes than allowed");
  if (options.FontBudget > 0 && report.FontsUsed > options.FontBudget) Fail("over the font budget");

  // The project as a file, read back and converted as qdpext does.
  qdp::testing::MemoryFileSystem fs;
  qdp::WriteProject(*imported, qdp::ProjectForm::kPlain, fs, "/out.qdp");
  qdp::WorkspacePtr read = qdp::NewWorkspace();
  qdp::LoadProject(*read, fs, "/out.qdp");
  try {
    qdp::RenderScreen(*read);
    qdp::ReconstructCharset(*read);
  } catch (const qdp::ConversionFailed& failure) {
    Fail(std::string("an imported project does not convert: ") + failure.what());
  }
  const qdp::view::IndexedImage chosen = qdp::import::MachinePicture(*imported, palette);
  const qdp::view::IndexedImage drawn = qdp::view::ColourPicture(
      *read, qdp::view::CharsetOf(*read), palette, qdp::view::GtiaMode::kLuminances);
  if (!SamePictures(chosen, drawn)) Fail("the project read back draws another picture");
  return 0;
}
