#pragma once
// One job of the window run for the command line: its messages as lines (failures on
// standard error), its progress on standard error from the engine's own readings,
// Ctrl-C and SIGTERM as "Stop TTS Process", and its outcome as the exit status.

#include <functional>

#include "cli/cli_host.h"
#include "cli/cli_options.h"

namespace sonoleaf::cli {

struct JobRun {
    std::function<void(CliJobHost&)> procedure;
    bool usesHelpers = false;  // lists and renders: render helpers on every core (--jobs)
    // A single file's render: its progress ends as "1/1 files" once it is saved.
    bool singleFile = false;
};

// Runs `run.procedure` on `host` (controls and profile already set); the exit status.
int RunJob(CliJobHost& host, const CliOptions& options, const JobRun& run);

}  // namespace sonoleaf::cli
