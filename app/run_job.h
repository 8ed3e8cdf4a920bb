// The fixed run sequence of an accepted job: load the project, then write
// the selected side files in the order .mic, .fnt, .scr, .tab, .col.
#ifndef QDPEXT_APP_RUN_JOB_H_
#define QDPEXT_APP_RUN_JOB_H_

#include "app/command_line.h"
#include "platform/file_system.h"
#include "project/workspace.h"

namespace qdp {

// Throws the run's errors (RunError, ConversionFailed) to the caller.
void RunJob(const Options& options, Workspace& ws, FileSystem& fs);

}  // namespace qdp

#endif  // QDPEXT_APP_RUN_JOB_H_
