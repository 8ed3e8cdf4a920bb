// What the page calls: qdpext's and qdpview's own code run on a file the
// page hands over as bytes, with their output, their side files and their
// pictures handed back. The page only moves bytes and pixels; every rule
// of the format is the programs' code, run here on platform/'s in-memory
// files.
//
// The page makes one session (qdp_session_new) and passes it to every
// call. It first reads a file in pieces (qdp_read_file), so that a file of
// any size takes no more memory than a project: a plain project is read
// only as far as a project goes, and a compressed one is decoded as it
// comes, with the bound the command line keeps. What that leaves is the
// file as the programs will see it, which the page keeps and hands back.
// It puts bytes into the buffer qdp_input() returns, then calls:
// qdp_open() to load a project once, as qdpview does, keeping it under a
// number: its summary, its pictures and its side files all come from that
// one load; qdp_extract() to run qdpext on an open project; qdp_drawing()
// to choose how every open project is drawn (palette, GTIA mode, 1-bit
// bitmap); qdp_draw() to draw one. Each leaves its results in the session
// until the next call: the run's standard output and error, and a list of
// blobs (side files, or pictures as RGBA pixels).
#include <emscripten/emscripten.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/run_job.h"
#include "app/run_main.h"
#include "convert/conversion_failure.h"
#include "platform/browser_files.h"
#include "platform/error.h"
#include "platform/path.h"
#include "project/container.h"
#include "project/project_format.h"
#include "view/drawing.h"
#include "view/outputs.h"
#include "view/project_view.h"
#include "view/run_view.h"
#include "view/summary.h"

namespace {

struct Blob {
  std::string Name;
  std::vector<uint8_t> Bytes;
  int Width = 0;  // pictures only: RGBA pixels, 4 bytes each
  int Height = 0;
  int Scale = 1;  // pictures only: times the picture's scale, as qdpview writes it
};

// A project as the page shows it, loaded once. Its disk holds the input
// and the side files of its last run of qdpext.
struct OpenProject {
  std::string Path;
  qdp::BrowserDisk Disk;
  qdp::view::ProjectView View;
  std::exception_ptr LoadFailure;  // what the load threw, if it failed
};

// How every open project is drawn until the page chooses otherwise:
// qdpview's default.
qdp::view::Drawing DefaultDrawing() {
  qdp::BrowserDisk no_files;
  return qdp::view::ChooseDrawing(qdp::view::ViewOptions{}, no_files);
}

}  // namespace

// Everything the page's calls share: the next input, the results of the
// last call, the open projects and the drawing.
struct QdpSession {
  std::vector<uint8_t> Input;
  std::string Out;
  std::string Err;
  std::vector<Blob> Blobs;
  std::map<int, std::unique_ptr<OpenProject>> Open;
  int LastOpen = 0;
  qdp::view::Drawing Drawing = DefaultDrawing();
  // Reading a file in pieces: the decoder of a compressed one while its
  // stream goes on, and the file as the programs are to see it, once known.
  std::unique_ptr<qdp::StreamDecoder> Decoder;
  std::vector<uint8_t> Prepared;

  void ClearResults() {
    Out.clear();
    Err.clear();
    Blobs.clear();
  }
  OpenProject* Find(int id) {
    auto open = Open.find(id);
    return open == Open.end() ? nullptr : open->second.get();
  }
};

namespace {

// The name the input gets on the in-memory disk: the page's file name, as
// a user would type it on a command line (a leading "-" would be taken for
// options).
std::string InputPath(const char* name) {
  std::string path = name;
  if (path.empty() || path[0] == '-' || path[0] == '/') path = "./" + path;
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
  void Keep(QdpSession& session) {
    std::fflush(out_);
    std::fflush(err_);
    session.Out.assign(out_text_, out_size_);
    session.Err.assign(err_text_, err_size_);
  }

 private:
  char* out_text_ = nullptr;
  size_t out_size_ = 0;
  char* err_text_ = nullptr;
  size_t err_size_ = 0;
  std::FILE* out_;
  std::FILE* err_;
};

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

// Feeds `size` bytes of the stream to the session's decoder. True while
// more are wanted; else the stand-in is prepared.
bool FeedStream(QdpSession& session, const uint8_t* data, size_t size) {
  try {
    session.Decoder->Feed(data, size);
  } catch (const qdp::DecompressionError& error) {
    session.Prepared = RejectedStandIn(error.Reason());
    session.Decoder.reset();
    return false;
  }
  if (!session.Decoder->Ended()) return true;
  session.Prepared = StandInFor(session.Decoder->Kept(), true);
  session.Decoder.reset();
  return false;
}

// `image` at scale 1 as RGBA pixels, each index looked up in its palette.
Blob Pixels(const char* name, const qdp::view::IndexedImage& image, int scale) {
  Blob blob{name, {}, image.Width, image.Height, scale};
  blob.Bytes.resize(static_cast<size_t>(image.Width) * image.Height * 4);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  uint8_t* out = blob.Bytes.data();
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

// A session for the page, kept until qdp_session_free().
EMSCRIPTEN_KEEPALIVE QdpSession* qdp_session_new() { return new QdpSession; }
EMSCRIPTEN_KEEPALIVE void qdp_session_free(QdpSession* session) { delete session; }

// A buffer of `size` bytes for the next input, valid until the next call.
EMSCRIPTEN_KEEPALIVE uint8_t* qdp_input(QdpSession* session, size_t size) {
  session->Input.assign(size, 0);
  return session->Input.data();
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
EMSCRIPTEN_KEEPALIVE int qdp_read_file(QdpSession* session, int first) {
  std::vector<uint8_t>& input = session->Input;
  if (first) {
    session->Decoder.reset();
    session->Prepared.clear();
    const size_t magic = qdp::kContainerMagic.size();
    if (input.size() < magic ||
        !std::equal(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end(), input.begin())) {
      // Plain: nothing past these bytes is ever read.
      session->Prepared = input;
      return 0;
    }
    session->Decoder = std::make_unique<qdp::StreamDecoder>();
    return FeedStream(*session, input.data() + magic, input.size() - magic) ? 1 : 0;
  }
  if (!session->Decoder) return 0;
  if (input.empty()) {
    // The file stops before the stream's end: what it gave is the project.
    session->Prepared = StandInFor(session->Decoder->Kept(), false);
    session->Decoder.reset();
    return 0;
  }
  return FeedStream(*session, input.data(), input.size()) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_prepared(QdpSession* session) {
  return session->Prepared.data();
}
EMSCRIPTEN_KEEPALIVE size_t qdp_prepared_size(QdpSession* session) {
  return session->Prepared.size();
}

// Loads the input, named `name`, as qdpview does and returns the number it
// is kept under, whether or not it could be loaded (qdp_extract then
// gives qdpext's message). The output is what `qdpview --no-images NAME`
// prints: the summary, and why the file failed.
EMSCRIPTEN_KEEPALIVE int qdp_open(QdpSession* session, const char* name) {
  session->ClearResults();
  auto project = std::make_unique<OpenProject>();
  project->Path = InputPath(name);
  project->Disk.PutFile(project->Path, std::move(session->Input));
  session->Input.clear();
  try {
    project->View.Load(project->Disk, project->Path);
  } catch (const std::exception&) {
    project->LoadFailure = std::current_exception();
  }
  const qdp::view::FileReport report =
      qdp::view::SummaryOf(project->Path, session->Drawing, project->View, project->LoadFailure);
  Console console;
  bool first = true;
  qdp::view::PrintReport(report, false, first, console.Out(), console.Err());
  console.Keep(*session);
  session->Open[++session->LastOpen] = std::move(project);
  return session->LastOpen;
}

// Runs `qdpext NAME -LETTERS` on the project kept under `id`, as loaded,
// and returns its exit status. The blobs are the side files it wrote, in
// the order it wrote them.
EMSCRIPTEN_KEEPALIVE int qdp_extract(QdpSession* session, int id, const char* letters) {
  session->ClearResults();
  OpenProject* project = session->Find(id);
  if (project == nullptr) return qdp::kExitUsage;
  qdp::BrowserDisk& disk = project->Disk;
  // The side files of the last run go: only this run's are handed back.
  const std::vector<std::string> earlier = disk.FileNames();  // the input first
  for (size_t i = 1; i < earlier.size(); ++i) disk.RemoveRegularFile(earlier[i]);
  std::vector<std::string> argv = {"qdpext", project->Path};
  if (*letters != '\0') argv.push_back(std::string("-") + letters);
  Console console;
  const int status = qdp::RunMainWith(
      argv, disk, console.Out(), console.Err(), [project](const qdp::Options& options) {
        qdp::CheckBeforeLoading(options, project->Disk);
        if (project->LoadFailure) std::rethrow_exception(project->LoadFailure);
        if (project->View.Failure()) throw qdp::ConversionFailed(*project->View.Failure());
        qdp::FinishLoadedJob(options, project->View.Project(), project->Disk);
      });
  console.Keep(*session);
  const std::vector<std::string> files = disk.FileNames();
  for (size_t i = 1; i < files.size(); ++i) {
    session->Blobs.push_back(Blob{qdp::BaseName(files[i]), *disk.FileBytes(files[i])});
  }
  return status;
}

// Forgets the project kept under `id`.
EMSCRIPTEN_KEEPALIVE void qdp_close(QdpSession* session, int id) { session->Open.erase(id); }

// Chooses how every project is drawn, as qdpview's `--palette PALETTE
// --gtia GTIA` and `--bits` do. PALETTE is "pal" or "ntsc", or, when
// FROM_FILE is not 0, the name of a palette file whose bytes are in the
// input buffer. Returns 0, or 2 with qdpview's message on standard error
// when the palette or mode cannot be used; the drawing is then left as it
// was.
EMSCRIPTEN_KEEPALIVE int qdp_drawing(QdpSession* session, const char* palette, int gtia, int bits,
                                     int from_file) {
  session->ClearResults();
  qdp::view::ViewOptions options;
  options.Palette = palette;
  options.Bits = bits != 0;
  std::optional<qdp::view::GtiaMode> mode = qdp::view::GtiaModeByName(std::to_string(gtia));
  if (!mode) {
    session->Err = std::string("qdpview: ") + qdp::view::GtiaNeeds() + "\n";
    return qdp::kExitUsage;
  }
  options.Gtia = *mode;
  qdp::BrowserDisk disk;
  if (from_file != 0) {
    // A file named like a built-in palette ("PAL") is still the file, as
    // "./PAL" is on qdpview's command line.
    std::string path = InputPath(palette);
    if (qdp::view::BuiltInPaletteByName(path)) path = "./" + path;
    disk.PutFile(path, std::move(session->Input));
    session->Input.clear();
    options.Palette = path;
  }
  try {
    session->Drawing = qdp::view::ChooseDrawing(options, disk);
  } catch (const qdp::RunError& error) {
    session->Err = "qdpview: " + error.Reason() + "\n";
    return qdp::kExitUsage;
  }
  return qdp::kExitDone;
}

// Draws the project kept under `id` as qdpview would with the chosen
// drawing. The blobs are the pictures at scale 1, named by their JSON keys:
// "preview", and "font_sheet" when the rebuild succeeded; none when the
// project could not be loaded. Returns how many there are.
EMSCRIPTEN_KEEPALIVE int qdp_draw(QdpSession* session, int id) {
  session->Blobs.clear();
  const OpenProject* project = session->Find(id);
  if (project == nullptr || project->LoadFailure) return 0;
  for (const qdp::view::Output& output : qdp::view::kOutputs) {
    if (project->View.Failure() && output.NeedsRebuild) continue;
    session->Blobs.push_back(
        Pixels(output.JsonKey, output.Draw(project->View, session->Drawing), output.ScaleFactor));
  }
  return static_cast<int>(session->Blobs.size());
}

EMSCRIPTEN_KEEPALIVE const char* qdp_version() { return QDP_VERSION; }
EMSCRIPTEN_KEEPALIVE const char* qdp_out(QdpSession* s) { return s->Out.c_str(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_out_size(QdpSession* s) { return s->Out.size(); }
EMSCRIPTEN_KEEPALIVE const char* qdp_err(QdpSession* s) { return s->Err.c_str(); }
EMSCRIPTEN_KEEPALIVE size_t qdp_err_size(QdpSession* s) { return s->Err.size(); }
EMSCRIPTEN_KEEPALIVE int qdp_blob_count(QdpSession* s) { return static_cast<int>(s->Blobs.size()); }
EMSCRIPTEN_KEEPALIVE const char* qdp_blob_name(QdpSession* s, int i) {
  return s->Blobs[i].Name.c_str();
}
EMSCRIPTEN_KEEPALIVE const uint8_t* qdp_blob_data(QdpSession* s, int i) {
  return s->Blobs[i].Bytes.data();
}
EMSCRIPTEN_KEEPALIVE size_t qdp_blob_size(QdpSession* s, int i) { return s->Blobs[i].Bytes.size(); }
EMSCRIPTEN_KEEPALIVE int qdp_blob_width(QdpSession* s, int i) { return s->Blobs[i].Width; }
EMSCRIPTEN_KEEPALIVE int qdp_blob_height(QdpSession* s, int i) { return s->Blobs[i].Height; }
EMSCRIPTEN_KEEPALIVE int qdp_blob_scale(QdpSession* s, int i) { return s->Blobs[i].Scale; }

}  // extern "C"
