#include "fuzz/job_runner.h"

#include <new>
#include <string_view>
#include <type_traits>

#include "app/command_line.h"
#include "app/run_job.h"
#include "convert/conversion_failure.h"
#include "convert/round_trip.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp::fuzz {
namespace {

// The workspace below is rebuilt in place and never destroyed.
static_assert(std::is_trivially_destructible_v<Workspace>);

// Where `extension` stands in kSideFiles.
size_t IndexOf(std::string_view extension) {
  for (size_t i = 0; i < kSideFiles.size(); ++i) {
    if (kSideFiles[i].Extension == extension) return i;
  }
  Fail("no side file " + std::string(extension));
}

void CheckFinishedRun(const JobOutcome& outcome) {
  // Every option is given, so every file without a further condition is due.
  for (size_t i = 0; i < kSideFiles.size(); ++i) {
    if (kSideFiles[i].DueFor == nullptr && !outcome.present[i]) {
      Fail(std::string("finished run without ") + kSideFiles[i].Extension);
    }
  }
  const size_t kMic = IndexOf(".mic"), kFnt = IndexOf(".fnt"), kScr = IndexOf(".scr"),
               kTab = IndexOf(".tab"), kCol = IndexOf(".col");
  size_t mic = outcome.files[kMic].size();
  if (mic != 240 * 32 && mic != 240 * 40 && mic != 240 * 48) {
    Fail("bitmap file of " + std::to_string(mic) + " bytes");
  }
  size_t width = mic / 240;
  if (outcome.files[kScr].size() != 30 * width) Fail("screen file does not match the bitmap width");
  size_t fnt = outcome.files[kFnt].size();
  if (fnt % 1024 != 0 || fnt > 30 * 1024) Fail("font file of " + std::to_string(fnt) + " bytes");
  if (outcome.present[kTab] && outcome.files[kTab].size() > 30) Fail("line table over 30 bytes");
  const std::vector<uint8_t>& col = outcome.files[kCol];
  if (col.size() != 1280) Fail("colour file of " + std::to_string(col.size()) + " bytes");
  for (size_t table = 0; table < 5; ++table) {
    for (size_t i = 240; i < 256; ++i) {
      if (col[table * 256 + i] != 0) Fail("colour file padding is not zero");
    }
  }
}

// Whatever the picture, a project that converts must draw the same
// bitmap from its rebuilt fonts, codes and line fonts.
void ExpectRoundTrip(const Workspace& ws) {
  alignas(Workspace) static unsigned char storage[sizeof(Workspace)];
  Workspace* scratch = new (storage) Workspace();
  RoundTripResult result = qdp::CheckRoundTrip(ws, *scratch);
  if (!result.Exact) {
    Fail("rebuilt data draws line " + std::to_string(result.Line) + ", column " +
         std::to_string(result.Column) + " differently from the bitmap");
  }
}

}  // namespace

std::string JobOutcome::Describe() const {
  switch (ending) {
    case Ending::kDone:
      return "done";
    case Ending::kConversionFailed:
      return "conversion failed";
    case Ending::kError:
      break;
  }
  return std::string(ErrorKindName(kind)) + ": " + reason;
}

JobOutcome RunJobInSandbox(Sandbox& sandbox, const std::string& folder, const std::string& prefix,
                           const uint8_t* data, size_t size) {
  std::string path = sandbox.ProjectPath(folder);
  sandbox.WriteFile(path, prefix.data(), prefix.size(), data, size);

  Options options;
  for (const SideFile& file : kSideFiles) options.Select(file.Letter);
  options.InputFileName = path;

  // A fresh workspace for every input, as each run of the program gets,
  // built in the same storage each time: a new allocation of this size
  // would cost the fuzzer more in page faults than the run itself.
  alignas(Workspace) static unsigned char storage[sizeof(Workspace)];
  Workspace* workspace = new (storage) Workspace();
  JobOutcome outcome;
  try {
    RunJob(options, *workspace, RealFileSystem());
    outcome.ending = JobOutcome::Ending::kDone;
    ExpectRoundTrip(*workspace);
  } catch (const ConversionFailed&) {
    outcome.ending = JobOutcome::Ending::kConversionFailed;
  } catch (const RunError& error) {
    outcome.ending = JobOutcome::Ending::kError;
    outcome.kind = error.Kind();
    outcome.reason = error.Reason();
  }

  std::string stem = path.substr(0, path.size() - 4);
  bool any = false;
  for (size_t i = 0; i < kSideFiles.size(); ++i) {
    bool exists = false;
    outcome.files[i] = sandbox.ReadFile(stem + kSideFiles[i].Extension, &exists);
    outcome.present[i] = exists;
    any = any || exists;
  }
  sandbox.RemoveSideFiles(folder);
  sandbox.ExpectNoTemporaryFiles();

  if (outcome.ending == JobOutcome::Ending::kDone) {
    CheckFinishedRun(outcome);
  } else if (any) {
    // Writing into the sandbox cannot fail, so an error can only have come
    // from loading, before any side file was due.
    Fail("run ended with \"" + outcome.Describe() + "\" but left side files");
  }
  return outcome;
}

}  // namespace qdp::fuzz
