#pragma once
// Runs one sonoleaf-cli command to its end and tells the exit status.

#include "cli/cli_options.h"

namespace sonoleaf::cli {

// Exit statuses besides 0.
inline constexpr int kExitFailed = 1;  // a file not saved, an input not read
inline constexpr int kExitUsage = 2;

int RunCommand(const CliOptions& options);

}  // namespace sonoleaf::cli
