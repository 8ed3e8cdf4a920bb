// What the page's import worker calls: qdpimport's own code run on the
// pixels the browser decoded. The worker makes one importer
// (qdp_importer_new), chooses its palette (qdp_importer_palette), then for
// each picture hands over its size (qdp_importer_begin) and its rows as
// RGBA in pieces (qdp_importer_rows), so that a large picture never sits
// whole in the core's memory, and last imports it (qdp_importer_finish).
// Each call leaves its message and its results in the importer until the
// next: qdpimport's summary or its error, the project's bytes and the
// picture the import took.
#include <emscripten/emscripten.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "export/side_files.h"
#include "import/import_picture.h"
#include "import/options.h"
#include "importer/fit.h"
#include "importer/picture_decoder.h"
#include "importer/summary.h"
#include "platform/browser_files.h"
#include "platform/error.h"
#include "project/writer.h"
#include "view/palette.h"
#include "workspace/workspace.h"

// The palette chosen, the picture under way and the last call's results.
struct QdpImporter {
  std::vector<uint8_t> Input;
  qdp::view::AtariPalette Palette = qdp::view::BuiltInPalette(qdp::view::BuiltInPaletteKind::kPal);
  std::string Name;
  std::unique_ptr<qdp::importer::SourceSink> Sink;
  std::vector<qdp::view::Rgb> Row;
  std::chrono::steady_clock::time_point Start;
  std::string Out;  // the summary
  std::string Err;  // qdpimport's message, as it prints it
  std::vector<uint8_t> Project;
  qdp::import::SourcePicture Source;
  std::vector<uint8_t> SourceRgba;

  void Fail(const std::string& reason) {
    Err = "qdpimport: " + Name + ": " + reason + "\n";
    Sink.reset();
  }
};

extern "C" {

EMSCRIPTEN_KEEPALIVE QdpImporter* qdp_importer_new() { return new QdpImporter; }
EMSCRIPTEN_KEEPALIVE void qdp_importer_free(QdpImporter* importer) { delete importer; }

// A buffer of `size` bytes for the next input, valid until the next call.
EMSCRIPTEN_KEEPALIVE uint8_t* qdp_importer_input(QdpImporter* importer, size_t size) {
  importer->Input.assign(size, 0);
  return importer->Input.data();
}

// Chooses the palette the pictures are matched against, as qdpimport's
// --palette NAME does: "pal" or "ntsc", or, when FROM_FILE is not 0, the
// palette file whose bytes are in the input. Returns 0, or 2 with
// qdpimport's message when the palette cannot be used (the one in force
// stays).
EMSCRIPTEN_KEEPALIVE int qdp_importer_palette(QdpImporter* importer, const char* name,
                                              int from_file) {
  importer->Err.clear();
  try {
    if (from_file == 0) {
      const auto kind = qdp::view::BuiltInPaletteByName(name);
      if (!kind) {
        importer->Err = std::string("qdpimport: no built-in palette is called ") + name + "\n";
        return qdp::kExitUsage;
      }
      importer->Palette = qdp::view::BuiltInPalette(*kind);
    } else {
      // A file named like a built-in palette is still the file.
      const std::string path = std::string("./") + name;
      qdp::BrowserDisk disk;
      disk.PutFile(path, std::move(importer->Input));
      importer->Input.clear();
      importer->Palette = qdp::view::ReadPaletteFile(disk, path);
    }
  } catch (const qdp::RunError& error) {
    importer->Err = "qdpimport: " + error.Reason() + "\n";
    return qdp::kExitUsage;
  }
  return qdp::kExitDone;
}

// Starts the picture `name` of `width` x `height` pixels, fitted to the
// screen as --fit does. Returns 0, or qdpimport's status with its message
// for a size it refuses.
EMSCRIPTEN_KEEPALIVE int qdp_importer_begin(QdpImporter* importer, const char* name, int width,
                                            int height) {
  importer->Start = std::chrono::steady_clock::now();
  importer->Name = name;
  importer->Out.clear();
  importer->Err.clear();
  importer->Project.clear();
  importer->SourceRgba.clear();
  try {
    qdp::importer::CheckPictureSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    importer->Sink = std::make_unique<qdp::importer::SourceSink>(true);
    importer->Sink->Begin(width, height);
  } catch (const qdp::RunError& error) {
    importer->Fail(error.Reason());
    return error.Kind() == qdp::ErrorKind::kPictureSize ? qdp::kExitUsage : qdp::kExitError;
  } catch (const std::bad_alloc&) {
    importer->Fail("out of memory");
    return qdp::kExitError;
  }
  return qdp::kExitDone;
}

// Takes `count` rows from row `y` on, as RGBA in the input, each pixel laid
// over black as qdpimport lays a PNG's. Returns 0, or 2 for rows the
// picture does not have.
EMSCRIPTEN_KEEPALIVE int qdp_importer_rows(QdpImporter* importer, int y, int count) {
  qdp::importer::SourceSink* sink = importer->Sink.get();
  if (sink == nullptr) return qdp::kExitError;
  const int width = sink->Width();
  // Rows outside the picture, or fewer bytes than they take, are refused
  // rather than read past.
  if (y < 0 || count < 0 || count > sink->Height() - y ||
      importer->Input.size() < static_cast<size_t>(width) * 4 * static_cast<size_t>(count)) {
    return qdp::kExitUsage;
  }
  importer->Row.resize(static_cast<size_t>(width));
  const uint8_t* in = importer->Input.data();
  for (int row = 0; row < count; ++row) {
    for (int x = 0; x < width; ++x, in += 4) {
      importer->Row[x] = {qdp::importer::OverBlack(in[0], in[3]),
                          qdp::importer::OverBlack(in[1], in[3]),
                          qdp::importer::OverBlack(in[2], in[3])};
    }
    sink->Put(y + row, 0, 1, importer->Row.data(), width);
  }
  return qdp::kExitDone;
}

// Imports the picture whose rows have all come, as `qdpimport --fit
// --mode MODE --dither DITHER --max-changes CHANGES --font-budget BUDGET`
// (and -z when COMPRESSED) would, and returns qdpimport's status. The
// project's bytes and the picture taken (RGBA) are then kept.
EMSCRIPTEN_KEEPALIVE int qdp_importer_finish(QdpImporter* importer, const char* mode,
                                             const char* dither, int changes, int budget,
                                             int compressed) {
  std::unique_ptr<qdp::importer::SourceSink> sink = std::move(importer->Sink);
  if (!sink) return qdp::kExitError;
  qdp::import::ImportOptions options;
  const auto mode_choice = qdp::import::ModeChoiceByName(mode);
  const auto dither_choice = qdp::import::DitheringByName(dither);
  if (!mode_choice || !dither_choice || changes < 0 || changes > qdp::import::kColourRegisters ||
      budget < 0 || budget > qdp::import::kMaxFontBudget) {
    importer->Fail("these choices are not qdpimport's");
    return qdp::kExitUsage;
  }
  options.Mode = *mode_choice;
  options.Dither = *dither_choice;
  options.MaxChanges = changes;
  options.FontBudget = budget;
  qdp::importer::PictureReport report;
  report.Picture = importer->Name;
  report.FontBudget = budget;
  report.MaxChanges = changes;
  report.Decoded = true;
  report.PictureWidth = sink->Width();
  report.PictureHeight = sink->Height();
  report.Fitted = sink->Fitted();
  try {
    importer->Source = sink->Finish();
    sink.reset();
    qdp::WorkspacePtr ws = qdp::NewWorkspace();
    report.Import = qdp::import::ImportPicture(importer->Source, options, importer->Palette, *ws);
    report.Imported = true;
    report.LineWidth = ws->LineWidth;
    report.Project = qdp::SideFileName(importer->Name, ".qdp");
    importer->Project = qdp::PlainProjectBytes(*ws);
    if (compressed != 0) importer->Project = qdp::CompressedProjectBytes(importer->Project);
  } catch (const qdp::RunError& error) {
    importer->Fail(error.Reason());
    return qdp::kExitError;
  } catch (const std::bad_alloc&) {
    importer->Fail("out of memory");
    return qdp::kExitError;
  } catch (const std::exception& error) {
    importer->Fail(error.what());
    return qdp::kExitError;
  }
  const qdp::import::SourcePicture& source = importer->Source;
  importer->SourceRgba.resize(source.Pixels.size() * 4);
  uint8_t* out = importer->SourceRgba.data();
  for (const qdp::view::Rgb& p : source.Pixels) {
    *out++ = p.R;
    *out++ = p.G;
    *out++ = p.B;
    *out++ = 255;
  }
  report.Milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - importer->Start)
          .count();
  importer->Out = qdp::importer::FormatText(report);
  return qdp::kExitDone;
}

EMSCRIPTEN_KEEPALIVE const char* qdp_importer_out(QdpImporter* i) { return i->Out.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* qdp_importer_err(QdpImporter* i) { return i->Err.c_str(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_importer_project(QdpImporter* i) {
  return i->Project.data();
}
EMSCRIPTEN_KEEPALIVE size_t qdp_importer_project_size(QdpImporter* i) { return i->Project.size(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_importer_source(QdpImporter* i) {
  return i->SourceRgba.data();
}
EMSCRIPTEN_KEEPALIVE int qdp_importer_source_width(QdpImporter* i) { return i->Source.Width; }
EMSCRIPTEN_KEEPALIVE int qdp_importer_source_height(QdpImporter* i) { return i->Source.Height; }

}  // extern "C"
