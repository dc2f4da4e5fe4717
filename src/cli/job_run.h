#pragma once
// One job of the window run for the command line: its messages as lines, its progress
// on standard error, Ctrl-C and SIGTERM as "Stop TTS Process".

#include <cstdint>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/folder_progress.h"
#include "jobs/job_host.h"

namespace sonoleaf::cli {

struct JobRun {
    Job job = Job::FileToAudio;
    bool usesHelpers = false;  // lists and renders: render helpers on every core (--jobs)
    // For lists: the files to watch for progress; total 0 shows none. A single
    // file's render shows 0/1 then 1/1.
    ListFiles progress;
    bool singleFile = false;
};

// Runs `run.job` on `host` (controls and profile already set); the exit status.
int RunJob(CliJobHost& host, const CliOptions& options, const JobRun& run);

}  // namespace sonoleaf::cli
