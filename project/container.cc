#include "project/container.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "platform/error.h"

namespace qdp {
namespace {

// The texts users know for zlib's result codes.
std::string ZlibReason(int code) {
  switch (code) {
    case Z_NEED_DICT:
      return "need dictionary";
    case Z_ERRNO:
      return "file error";
    case Z_STREAM_ERROR:
      return "stream error";
    case Z_DATA_ERROR:
      return "data error";
    case Z_MEM_ERROR:
      return "insufficient memory";
    case Z_BUF_ERROR:
      return "buffer error";
    case Z_VERSION_ERROR:
      return "incompatible version";
    default:
      return "zlib error " + std::to_string(code);
  }
}

// Ends the decoder on every path out of InflateFile.
struct Inflater {
  z_stream zs{};
  Inflater() {
    int rc = inflateInit(&zs);
    if (rc != Z_OK) throw DecompressionError(ZlibReason(rc));
  }
  ~Inflater() { inflateEnd(&zs); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

constexpr size_t kSourceChunk = 1 << 16;
constexpr size_t kDiscardChunk = 1 << 16;

}  // namespace

TempFiles::~TempFiles() {
  for (const Entry& entry : made_) {
    if (entry.named) fs_.Remove(entry.file.path);
  }
}

TempFile TempFiles::Make() {
  made_.push_back(Entry{fs_.MakeTempFile(), true});
  return made_.back().file;
}

void TempFiles::Release(const TempFile& temp) {
  for (Entry& entry : made_) {
    if (entry.named && entry.file.path == temp.path) {
      entry.named = false;
      fs_.Remove(entry.file.path);
    }
  }
}

std::vector<TempFile> TempFiles::Made() const {
  std::vector<TempFile> files;
  for (const Entry& entry : made_) files.push_back(entry.file);
  return files;
}

TempFile UnpackContainer(Workspace& ws, FileSystem& fs, const std::string& input,
                         TempFiles& temps) {
  TempFile stream_file = temps.Make();
  TempFile project_file = temps.Make();

  std::unique_ptr<File> in = fs.OpenForReading(input);
  uint64_t size = in->Size();
  uint64_t position = ContainerMagic.size();
  in->Seek(position);
  std::unique_ptr<File> stream = fs.ReopenTempFile(stream_file, true);
  while (position < size) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(ws.IoBuffer.size(), size - position));
    size_t got = in->Read(ws.IoBuffer.data(), want);
    // A file that shrank under us would otherwise keep this loop going.
    if (got == 0) break;
    stream->Write(ws.IoBuffer.data(), got);
    position += got;
  }
  // The reader takes what a short project does not supply from this
  // buffer; the stream's bytes left here would pass for project data.
  ws.IoBuffer.fill(0);
  in->Close();
  stream->Close();

  InflateFile(temps, stream_file, project_file);
  return project_file;
}

void InflateFile(TempFiles& temps, const TempFile& source, const TempFile& destination) {
  FileSystem& fs = temps.Fs();
  std::unique_ptr<File> in = fs.ReopenTempFile(source, false);
  temps.Release(source);
  Inflater inflater;
  z_stream& zs = inflater.zs;

  // Only the bytes a project can occupy are kept; the rest of the output
  // lands in a small discard buffer, so a stream that decodes to gigabytes
  // needs no more memory than one that decodes to a project.
  // Not zero-filled: only the decoded prefix is ever read or written.
  auto kept = std::make_unique_for_overwrite<uint8_t[]>(kLongestProjectBytes);
  size_t kept_size = 0;
  std::unique_ptr<uint8_t[]> discard;  // made only for a stream longer than a project
  auto chunk = std::make_unique_for_overwrite<uint8_t[]>(kSourceChunk);

  for (;;) {
    if (zs.avail_in == 0) {
      size_t got = in->Read(chunk.get(), kSourceChunk);
      if (got == 0) break;  // the stream stops early: keep what it gave
      zs.next_in = chunk.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    bool keeping = kept_size < kLongestProjectBytes;
    if (!keeping && !discard) discard = std::make_unique_for_overwrite<uint8_t[]>(kDiscardChunk);
    zs.next_out = keeping ? kept.get() + kept_size : discard.get();
    zs.avail_out = static_cast<uInt>(keeping ? kLongestProjectBytes - kept_size : kDiscardChunk);
    uInt room = zs.avail_out;
    int rc = inflate(&zs, Z_NO_FLUSH);
    if (keeping) kept_size += room - zs.avail_out;
    if (rc == Z_STREAM_END) break;  // bytes after the stream are ignored
    if (rc == Z_OK) continue;
    // No progress is possible only when the input ran out, which the read
    // above handles; anything else is a failure of the stream.
    if (rc == Z_BUF_ERROR && zs.avail_in == 0) continue;
    throw DecompressionError(ZlibReason(rc));
  }
  in->Close();

  std::unique_ptr<File> out = fs.ReopenTempFile(destination, true);
  if (kept_size > 0) out->Write(kept.get(), kept_size);
  out->Close();
}

}  // namespace qdp
