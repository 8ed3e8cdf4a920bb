// What the page calls: qdpext's and qdpview's own code run on a file the
// page hands over as bytes, with their output, their side files and their
// pictures handed back. The page only moves bytes and pixels; every rule
// of the format is the programs' code, run here on platform/'s in-memory
// files.
//
// The page first reads a file in pieces (qdp_read_file), so that a file of
// any size takes no more memory than a project: a plain project is read
// only as far as a project goes, and a compressed one is decoded as it
// comes, with the bound the command line keeps. What it leaves is the
// file as the programs will see it, which the page keeps and hands back.
//
// The page puts bytes into the buffer qdp_input() returns, then calls:
// qdp_extract() to run qdpext; qdp_open() to look at a project as qdpview
// does, kept open under a number so that it can be drawn again;
// qdp_drawing() to choose how every open project is drawn (palette, GTIA
// mode, 1-bit bitmap); qdp_draw() to draw one. Each leaves its results
// until the next call: the run's standard output and error, and a list of
// blobs (side files, or pictures as RGBA pixels).
#include <emscripten/emscripten.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/run_main.h"
#include "platform/browser_files.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "project/container.h"
#include "project/project_format.h"
#include "view/outputs.h"
#include "view/project_view.h"
#include "view/run_view.h"
#include "view/summary.h"
#include "workspace/workspace.h"

namespace {

struct Blob {
  std::string name;
  std::vector<uint8_t> bytes;
  int width = 0;  // pictures only: RGBA pixels, 4 bytes each
  int height = 0;
  int scale = 1;  // pictures only: times the picture's scale, as qdpview writes it
};

// A project as qdpview looks at it, kept while the page shows it.
struct OpenProject {
  qdp::view::ProjectView view;
  qdp::view::FileReport report;
};

std::vector<uint8_t> g_input;
std::string g_out;
std::string g_err;
std::vector<Blob> g_blobs;

std::map<int, std::unique_ptr<OpenProject>> g_open;
int g_last_open = 0;
// How every open project is drawn: qdpview's default until the page
// chooses otherwise.
qdp::view::Drawing g_drawing =
    qdp::view::ChooseDrawing(qdp::view::ViewOptions{}, qdp::RealFileSystem());

// The name the input gets on the in-memory disk: the page's file name, as
// a user would type it on a command line (a leading "-" would be taken for
// options).
std::string InputPath(const char* name) {
  std::string path = name;
  if (path.empty() || path[0] == '-' || path[0] == '/') path = "./" + path;
  return path;
}

// Starts a run: an empty disk with the input on it, no results.
std::string Begin(const char* name) {
  g_out.clear();
  g_err.clear();
  g_blobs.clear();
  qdp::browser::ClearFiles();
  const std::string path = InputPath(name);
  qdp::browser::PutFile(path, g_input);
  return path;
}

// Standard output and error of one run, caught in memory.
class Console {
 public:
  Console()
      : out_(open_memstream(&out_text_, &out_size_)),
        err_(open_memstream(&err_text_, &err_size_)) {}
  ~Console() {
    if (out_ != nullptr) std::fclose(out_);
    if (err_ != nullptr) std::fclose(err_);
    std::free(out_text_);
    std::free(err_text_);
  }
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  std::FILE* Out() const { return out_; }
  std::FILE* Err() const { return err_; }
  void Keep() {
    std::fflush(out_);
    std::fflush(err_);
    g_out.assign(out_text_, out_size_);
    g_err.assign(err_text_, err_size_);
  }

 private:
  char* out_text_ = nullptr;
  size_t out_size_ = 0;
  char* err_text_ = nullptr;
  size_t err_size_ = 0;
  std::FILE* out_;
  std::FILE* err_;
};

// Reading a file in pieces: the decoder of a compressed one while its
// stream goes on, and the file as the programs are to see it, once known.
std::unique_ptr<qdp::StreamDecoder> g_decoder;
std::vector<uint8_t> g_prepared;

// A compressed project that decodes to exactly what the stream that was
// read decoded to (`kept`, the part the programs keep), ending as it ended
// (`ended`: at its end marker; else where the file stopped). Read by the
// programs, it gives the answer the whole file gives on the command line.
std::vector<uint8_t> StandInFor(std::span<const uint8_t> kept, bool ended) {
  std::vector<uint8_t> out(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end());
  z_stream zs{};
  deflateInit(&zs, Z_BEST_SPEED);
  const size_t start = out.size();
  out.resize(start + deflateBound(&zs, kept.size()) + 64);
  zs.next_in = const_cast<uint8_t*>(kept.data());
  zs.avail_in = static_cast<uInt>(kept.size());
  zs.next_out = out.data() + start;
  zs.avail_out = static_cast<uInt>(out.size() - start);
  deflate(&zs, ended ? Z_FINISH : Z_SYNC_FLUSH);
  out.resize(out.size() - zs.avail_out);
  deflateEnd(&zs);
  return out;
}

// A compressed project whose stream zlib rejects at once for `reason`, as
// the stream that was read was rejected: one that asks for a preset
// dictionary, or one whose first block is of no valid type.
std::vector<uint8_t> RejectedStandIn(const std::string& reason) {
  std::vector<uint8_t> out(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end());
  const bool dictionary = reason == zError(Z_NEED_DICT);
  const std::vector<uint8_t> stream = dictionary ? std::vector<uint8_t>{0x78, 0xBB, 0, 0, 0, 1}
                                                 : std::vector<uint8_t>{0x78, 0x9C, 0xFF};
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

// Feeds `size` bytes of the stream to the decoder. True while more are
// wanted; else the stand-in is prepared.
bool FeedStream(const uint8_t* data, size_t size) {
  try {
    g_decoder->Feed(data, size);
  } catch (const qdp::DecompressionError& error) {
    g_prepared = RejectedStandIn(error.Reason());
    g_decoder.reset();
    return false;
  }
  if (!g_decoder->Ended()) return true;
  g_prepared = StandInFor(g_decoder->Kept(), true);
  g_decoder.reset();
  return false;
}

// `image` at scale 1 as RGBA pixels, each index looked up in its palette.
Blob Pixels(const char* name, const qdp::view::IndexedImage& image, int scale) {
  Blob blob{name, {}, image.Width, image.Height, scale};
  blob.bytes.resize(static_cast<size_t>(image.Width) * image.Height * 4);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  uint8_t* out = blob.bytes.data();
  for (int y = 0; y < image.Height; ++y) {
    image.FillRow(y, row.data());
    for (uint8_t index : row) {
      const qdp::view::Rgb colour = image.Palette[index];
      *out++ = colour.R;
      *out++ = colour.G;
      *out++ = colour.B;
      *out++ = 255;
    }
  }
  return blob;
}

}  // namespace

extern "C" {

// A buffer of `size` bytes for the next input, valid until the next call.
EMSCRIPTEN_KEEPALIVE uint8_t* qdp_input(size_t size) {
  g_input.assign(size, 0);
  return g_input.data();
}

// The most of a file's first bytes that the page need read: a plain
// project lies within them, and a compressed one's start.
EMSCRIPTEN_KEEPALIVE double qdp_head_bytes() {
  return static_cast<double>(qdp::kLongestProjectBytes);
}

// Takes the next piece of a file in the input buffer: with `first`, its
// first qdp_head_bytes() bytes (fewer for a shorter file), then the bytes
// that follow in pieces of any size, and an empty piece at its end.
// Returns 1 while more is wanted, else 0; the file as the programs are to
// see it is then in qdp_prepared().
EMSCRIPTEN_KEEPALIVE int qdp_read_file(int first) {
  if (first) {
    g_decoder.reset();
    g_prepared.clear();
    const size_t magic = qdp::kContainerMagic.size();
    if (g_input.size() < magic ||
        !std::equal(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end(), g_input.begin())) {
      // Plain: nothing past these bytes is ever read.
      g_prepared = g_input;
      return 0;
    }
    g_decoder = std::make_unique<qdp::StreamDecoder>();
    return FeedStream(g_input.data() + magic, g_input.size() - magic) ? 1 : 0;
  }
  if (!g_decoder) return 0;
  if (g_input.empty()) {
    // The file stops before the stream's end: what it gave is the project.
    g_prepared = StandInFor(g_decoder->Kept(), false);
    g_decoder.reset();
    return 0;
  }
  return FeedStream(g_input.data(), g_input.size()) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_prepared() { return g_prepared.data(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_prepared_size() { return g_prepared.size(); }

// Runs `qdpext NAME -LETTERS` on the input and returns its exit status.
// The blobs are the side files it wrote, in the order it wrote them.
EMSCRIPTEN_KEEPALIVE int qdp_extract(const char* name, const char* letters) {
  const std::string path = Begin(name);
  Console console;
  std::vector<std::string> argv = {"qdpext", path};
  if (*letters != '\0') argv.push_back(std::string("-") + letters);
  // A fresh workspace for each run, as each run of qdpext gets.
  qdp::WorkspacePtr ws = qdp::NewWorkspace();
  const int status = qdp::RunMain(argv, *ws, qdp::RealFileSystem(), console.Out(), console.Err());
  console.Keep();
  const std::string input = qdp::browser::FileNames().front();
  for (const std::string& file : qdp::browser::FileNames()) {
    if (file == input) continue;
    g_blobs.push_back(Blob{qdp::BaseName(file), *qdp::browser::FileBytes(file)});
  }
  return status;
}

// Opens the input as qdpview does and returns the number it is kept
// under, or 0 when qdpview cannot load it. The output is what `qdpview
// --no-images NAME` prints: the summary, and why the file failed.
EMSCRIPTEN_KEEPALIVE int qdp_open(const char* name) {
  const std::string path = Begin(name);
  Console console;
  qdp::view::RunView({"qdpview", "--no-images", path}, console.Out(), console.Err(),
                     qdp::RealFileSystem());
  console.Keep();
  auto project = std::make_unique<OpenProject>();
  try {
    project->view.Load(qdp::RealFileSystem(), path, project->report);
  } catch (const std::exception&) {
    return 0;  // nothing to draw; the output says why
  }
  g_open[++g_last_open] = std::move(project);
  return g_last_open;
}

// Forgets the project kept under `id`.
EMSCRIPTEN_KEEPALIVE void qdp_close(int id) { g_open.erase(id); }

// Chooses how every project is drawn, as qdpview's `--palette PALETTE
// --gtia GTIA` and `--bits` do. PALETTE is "pal", "ntsc" or the name of a
// palette file whose bytes are in the input buffer. Returns 0, or 2 with
// qdpview's message on standard error when the palette or mode cannot be
// used; the drawing is then left as it was.
EMSCRIPTEN_KEEPALIVE int qdp_drawing(const char* palette, int gtia, int bits) {
  g_out.clear();
  g_err.clear();
  g_blobs.clear();
  qdp::view::ViewOptions options;
  options.Palette = palette;
  options.Bits = bits != 0;
  std::optional<qdp::view::GtiaMode> mode = qdp::view::GtiaModeByName(std::to_string(gtia));
  if (!mode) {
    g_err = "qdpview: --gtia needs 9, 10 or 11\n";
    return qdp::kExitUsage;
  }
  options.Gtia = *mode;
  qdp::browser::ClearFiles();
  if (!qdp::view::BuiltInPaletteByName(options.Palette)) {
    qdp::browser::PutFile(InputPath(palette), g_input);
    options.Palette = InputPath(palette);
  }
  try {
    g_drawing = qdp::view::ChooseDrawing(options, qdp::RealFileSystem());
  } catch (const qdp::RunError& error) {
    g_err = "qdpview: " + error.Reason() + "\n";
    return qdp::kExitUsage;
  }
  return qdp::kExitDone;
}

// Draws the project kept under `id` as qdpview would with the chosen
// drawing. The blobs are the pictures at scale 1, named by their JSON keys:
// "preview", and "font_sheet" when the rebuild succeeded. Returns how many
// there are.
EMSCRIPTEN_KEEPALIVE int qdp_draw(int id) {
  g_blobs.clear();
  auto open = g_open.find(id);
  if (open == g_open.end()) return 0;
  const OpenProject& project = *open->second;
  const std::vector<int> fonts = qdp::view::FontNumbers(project.report);
  for (size_t i = 0; i < qdp::view::kOutputs.size(); ++i) {
    const qdp::view::Output& output = qdp::view::kOutputs[i];
    if (project.view.Failure() && output.NeedsRebuild) continue;
    g_blobs.push_back(
        Pixels(output.JsonKey, output.Draw(project.view, g_drawing, fonts), output.ScaleFactor));
  }
  return static_cast<int>(g_blobs.size());
}

EMSCRIPTEN_KEEPALIVE const char* qdp_version() { return QDP_VERSION; }
EMSCRIPTEN_KEEPALIVE const char* qdp_out() { return g_out.c_str(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_out_size() { return g_out.size(); }
EMSCRIPTEN_KEEPALIVE const char* qdp_err() { return g_err.c_str(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_err_size() { return g_err.size(); }
EMSCRIPTEN_KEEPALIVE int qdp_blob_count() { return static_cast<int>(g_blobs.size()); }
EMSCRIPTEN_KEEPALIVE const char* qdp_blob_name(int i) { return g_blobs[i].name.c_str(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_blob_data(int i) { return g_blobs[i].bytes.data(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_blob_size(int i) { return g_blobs[i].bytes.size(); }
EMSCRIPTEN_KEEPALIVE int qdp_blob_width(int i) { return g_blobs[i].width; }
EMSCRIPTEN_KEEPALIVE int qdp_blob_height(int i) { return g_blobs[i].height; }
EMSCRIPTEN_KEEPALIVE int qdp_blob_scale(int i) { return g_blobs[i].scale; }

}  // extern "C"
