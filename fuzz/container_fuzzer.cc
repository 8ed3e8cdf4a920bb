// Fuzz target: arbitrary bytes behind the "QDPZLIB" magic, through the
// whole job. Where zlib itself can say what the stream holds, the run is
// also compared with a run on that plain project: the same ending and the
// same side files, since nothing downstream may tell the two paths apart.
// That holds for every decoded length, down to nothing at all, and
// whatever follows the stream: the copy stops at the stream's end.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/job_runner.h"
#include "fuzz/sandbox.h"
#include "project/project_format.h"

namespace {

using qdp::fuzz::Fail;

const std::string kMagic(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end());
// Larger decoded projects are still run, but not decoded a second time here.
constexpr size_t kCompareLimit = 4u << 20;

enum class Decoded { kProject, kRejected, kNeedsDictionary, kTooLarge };

// Decodes the stream the way the container must: up to its end marker or
// the end of the input, whichever comes first; bytes after the marker are
// ignored and a stream cut short is no error.
Decoded Inflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) Fail("inflateInit");
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(size);
  uint8_t chunk[16384];
  Decoded result = Decoded::kProject;
  for (;;) {
    zs.next_out = chunk;
    zs.avail_out = sizeof chunk;
    int rc = inflate(&zs, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
    if (out.size() > kCompareLimit) {
      result = Decoded::kTooLarge;
      break;
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_OK) continue;
    if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;  // cut short: no error
    if (rc == Z_NEED_DICT) {
      result = Decoded::kNeedsDictionary;
      break;
    }
    result = Decoded::kRejected;
    break;
  }
  inflateEnd(&zs);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qdp::fuzz::Sandbox& sandbox = qdp::fuzz::Sandbox::Get();
  qdp::fuzz::JobOutcome packed = qdp::fuzz::RunJobInSandbox(sandbox, "packed", kMagic, data, size);

  std::vector<uint8_t> plain;
  switch (Inflate(data, size, plain)) {
    case Decoded::kTooLarge:
    case Decoded::kNeedsDictionary:  // no dictionary is known: any orderly end will do
      return 0;
    case Decoded::kRejected:
      if (packed.ending != qdp::fuzz::JobOutcome::Ending::kError ||
          packed.kind != qdp::ErrorKind::kDecompression) {
        Fail("zlib rejects the stream but the run ended with \"" + packed.Describe() + "\"");
      }
      return 0;
    case Decoded::kProject:
      break;
  }
  // A decoded project that is itself a container is not unpacked again,
  // while the same bytes given plainly are.
  if (plain.size() >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), plain.begin())) {
    return 0;
  }

  qdp::fuzz::JobOutcome direct =
      qdp::fuzz::RunJobInSandbox(sandbox, "plain", "", plain.data(), plain.size());
  if (!packed.SameEnding(direct)) {
    Fail("compressed run ended with \"" + packed.Describe() + "\", plain run with \"" +
         direct.Describe() + "\"");
  }
  for (size_t i = 0; i < qdp::kSideFiles.size(); ++i) {
    if (packed.present[i] != direct.present[i] || packed.files[i] != direct.files[i]) {
      Fail(std::string("compressed and plain runs wrote different ") +
           qdp::kSideFiles[i].Extension + " files");
    }
  }
  return 0;
}
