// The fixed run sequence of an accepted job: refuse side files that would
// replace the input, load the project (the one load path), then write the
// selected side files in the order of the side-file table.
#ifndef QDPEXT_APP_RUN_JOB_H_
#define QDPEXT_APP_RUN_JOB_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "app/command_line.h"
#include "export/side_files.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// One side file: its extension, the option letter that selects it, what
// the loaded project must further show for it to be written, whether its
// option alone is a job, and its writer. A row, and its letter in
// kUsageOrder, is all it takes to add a side file with its option.
struct SideFile {
  const char* Extension;
  char Letter;                       // the option letter, upper case
  bool (*DueFor)(const Workspace&);  // nullptr: written whenever selected
  bool MakesJob;                     // false: only written beside another file
  SideFileWriter Write;
};

// Every side file, in the order a run writes them.
inline constexpr auto kSideFiles = std::to_array<SideFile>({
    // extension, letter, further condition, makes a job, writer
    {".mic", 'M', nullptr, true, SaveMicFile},
    {".fnt", 'F', nullptr, true, SaveFntFile},
    {".scr", 'S', nullptr, true, SaveScrFile},
    {".tab", 'F', LineTableDue, true, SaveTabFile},
    {".col", 'C', nullptr, false, SaveColFile},
});

// The option letters in the order of their lines in the usage text; each
// line names the first side file of its letter.
inline constexpr std::string_view kUsageOrder = "SFMC";

// Each letter of the table has its one line, and each line a letter of
// the table.
constexpr bool UsageOrderComplete() {
  for (const SideFile& file : kSideFiles) {
    if (kUsageOrder.find(file.Letter) == std::string_view::npos) return false;
  }
  for (size_t i = 0; i < kUsageOrder.size(); ++i) {
    if (kUsageOrder.find(kUsageOrder[i], i + 1) != std::string_view::npos) return false;
    if (std::none_of(kSideFiles.begin(), kSideFiles.end(),
                     [&](const SideFile& file) { return file.Letter == kUsageOrder[i]; })) {
      return false;
    }
  }
  return true;
}
static_assert(UsageOrderComplete(), "kUsageOrder must hold each letter of kSideFiles once");

// Whether `file` is written for `options` once the project is loaded.
bool IsWritten(const SideFile& file, const Options& options, const Workspace& ws);

// Writes the side files that `options` select for the loaded project.
void WriteSideFiles(const Options& options, const Workspace& ws, FileSystem& fs);

// The job's steps before the project is loaded: throws InOutError when a
// side file that `options` select whatever the project holds would be
// written over the input.
void CheckBeforeLoading(const Options& options, FileSystem& fs);

// The job's steps once the project is loaded into `ws`: refuses a side
// file due only now that would replace the input, then writes them all.
void FinishLoadedJob(const Options& options, const Workspace& ws, FileSystem& fs);

// The whole job: CheckBeforeLoading, the load path, FinishLoadedJob.
// Throws the run's errors (RunError, ConversionFailed) to the caller.
void RunJob(const Options& options, Workspace& ws, FileSystem& fs);

}  // namespace qdp

#endif  // QDPEXT_APP_RUN_JOB_H_
