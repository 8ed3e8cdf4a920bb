// The fixed run sequence of an accepted job: refuse side files that would
// replace the input, load the project (the one load path), then write the
// selected side files in the order of the side-file table.
#ifndef QDPEXT_APP_RUN_JOB_H_
#define QDPEXT_APP_RUN_JOB_H_

#include <array>
#include <cstddef>

#include "app/command_line.h"
#include "export/side_files.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// One side file: its extension, the option letter that selects it, the
// place of its line in the usage text, what the loaded project must further
// show for it to be written, whether its option alone is a job, and its
// writer. A row is all it takes to add a side file with its option.
struct SideFile {
  const char* Extension;
  char Letter;                       // the option letter, upper case
  size_t UsagePlace;                 // 1, 2, ...; 0: it shares its letter's line
  bool (*DueFor)(const Workspace&);  // nullptr: written whenever selected
  bool MakesJob;                     // false: only written beside another file
  SideFileWriter Write;
};

// Every side file, in the order a run writes them.
inline constexpr auto kSideFiles = std::to_array<SideFile>({
    // extension, letter, usage line, further condition, makes a job, writer
    {".mic", 'M', 3, nullptr, true, SaveMicFile},
    {".fnt", 'F', 2, nullptr, true, SaveFntFile},
    {".scr", 'S', 1, nullptr, true, SaveScrFile},
    {".tab", 'F', 0, LineTableDue, true, SaveTabFile},
    {".col", 'C', 4, nullptr, false, SaveColFile},
});

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
