// Runs the whole job in-process on a project file inside the sandbox, with
// every side file selected, and checks what any run must satisfy whatever
// its input: it ends in one of the known ways, a finished run leaves five
// side files of plausible sizes and rebuilt data that draws its bitmap
// again, a failed one leaves none, and no temporary file survives.
#ifndef QDPEXT_FUZZ_JOB_RUNNER_H_
#define QDPEXT_FUZZ_JOB_RUNNER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/run_job.h"
#include "fuzz/sandbox.h"
#include "platform/error.h"

namespace qdp::fuzz {

struct JobOutcome {
  enum class Ending { kDone, kConversionFailed, kError };
  Ending ending = Ending::kDone;
  // What ended the run, when an error did.
  ErrorKind kind = ErrorKind::kInternal;
  std::string reason;
  // How the run ended, in words, for failure messages.
  std::string Describe() const;
  bool SameEnding(const JobOutcome& other) const {
    return ending == other.ending &&
           (ending != Ending::kError || (kind == other.kind && reason == other.reason));
  }
  // In the order of kSideFiles.
  std::array<bool, kSideFiles.size()> present{};
  std::array<std::vector<uint8_t>, kSideFiles.size()> files;
};

// Writes `prefix` then `data` as folder/pic.qdp, runs the job on it, checks
// the outcome, collects the side files and removes them.
JobOutcome RunJobInSandbox(Sandbox& sandbox, const std::string& folder, const std::string& prefix,
                           const uint8_t* data, size_t size);

}  // namespace qdp::fuzz

#endif  // QDPEXT_FUZZ_JOB_RUNNER_H_
