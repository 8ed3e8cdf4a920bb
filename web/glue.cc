// What the page calls: qdpext's and qdpview's own runs on a file the page
// hands over as bytes, with their output, their side files and their
// pictures handed back. The page only moves bytes and pixels; every rule
// of the format is the programs' code, run here on platform/'s in-memory
// files.
//
// The page puts the input's bytes into the buffer qdp_input() returns, runs
// qdp_extract() or qdp_view(), then reads the results: the run's standard
// output and error, and a list of blobs (side files, or pictures as RGBA
// pixels). Results stay until the next run.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_main.h"
#include "convert/conversion_failure.h"
#include "export/side_files.h"
#include "platform/browser_files.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "view/preview_images.h"
#include "view/run_view.h"
#include "view/summary.h"
#include "workspace/workspace.h"

namespace {

struct Blob {
  std::string name;
  std::vector<uint8_t> bytes;
  int width = 0;  // pictures only: RGBA pixels, 4 bytes each
  int height = 0;
};

std::vector<uint8_t> g_input;
std::string g_out;
std::string g_err;
std::vector<Blob> g_blobs;

// Static, as in the programs: a workspace is too large for the stack.
qdp::Workspace g_workspace;

qdp::Workspace& FreshWorkspace() {
  std::destroy_at(&g_workspace);
  std::construct_at(&g_workspace);
  return g_workspace;
}

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

// `image` at scale 1 as RGBA pixels: a light bit white, a dark one black.
Blob Pixels(const char* name, const qdp::view::BitImage& image) {
  Blob blob{name, {}, image.width, image.height};
  blob.bytes.assign(static_cast<size_t>(image.width) * image.height * 4, 255);
  std::vector<uint8_t> row(static_cast<size_t>(image.width + 7) / 8);
  for (int y = 0; y < image.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    image.fill_row(y, row.data());
    uint8_t* out = &blob.bytes[static_cast<size_t>(y) * image.width * 4];
    for (int x = 0; x < image.width; ++x, out += 4) {
      const uint8_t level = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      out[0] = out[1] = out[2] = level;
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

// Runs `qdpext NAME -LETTERS` on the input and returns its exit status.
// The blobs are the side files it wrote, in the order it wrote them.
EMSCRIPTEN_KEEPALIVE int qdp_extract(const char* name, const char* letters) {
  const std::string path = Begin(name);
  Console console;
  std::vector<std::string> argv = {"qdpext", path};
  if (*letters != '\0') argv.push_back(std::string("-") + letters);
  const int status =
      qdp::RunMain(argv, FreshWorkspace(), qdp::RealFileSystem(), console.Out(), console.Err());
  console.Keep();
  const std::string input = qdp::browser::FileNames().front();
  for (const std::string& file : qdp::browser::FileNames()) {
    if (file == input) continue;
    g_blobs.push_back(Blob{qdp::BaseName(file), *qdp::browser::FileBytes(file)});
  }
  return status;
}

// Runs `qdpview --no-images NAME` on the input and returns its exit status;
// its output is the summary. The blobs are the pictures qdpview draws, as
// pixels: "picture", and "fonts" when the rebuild succeeded.
EMSCRIPTEN_KEEPALIVE int qdp_view(const char* name) {
  const std::string path = Begin(name);
  Console console;
  const int status = qdp::view::RunView({"qdpview", "--no-images", path}, console.Out(),
                                        console.Err(), qdp::RealFileSystem());
  console.Keep();

  // The pictures are drawn from the project as qdpext loads it; the
  // picture shows even when the rebuild failed, the fonts only after one.
  qdp::Workspace& ws = FreshWorkspace();
  bool rebuilt = true;
  try {
    qdp::LoadProject(ws, qdp::RealFileSystem(), path);
  } catch (const qdp::ConversionFailed&) {
    rebuilt = false;
  } catch (const std::exception&) {
    return status;  // nothing to draw; the output says why
  }
  g_blobs.push_back(Pixels("picture", qdp::view::PictureImage(ws)));
  if (rebuilt) {
    qdp::view::FileReport report;
    qdp::view::DescribeRebuild(ws, report);
    const std::vector<int> fonts = qdp::view::FontNumbers(report);
    g_blobs.push_back(Pixels("fonts", qdp::view::FontSheetImage(ws, fonts)));
  }
  return status;
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

}  // extern "C"
