// sonoleaf-cli: the window's jobs from the command line, for batch work on machines
// with no display and no sound server.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    using sonoleaf::cli::ParseOutcome;
    const ParseOutcome outcome =
        sonoleaf::cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (outcome.kind) {
        case ParseOutcome::Kind::Help:
            std::fputs(sonoleaf::cli::UsageText(), stdout);
            return 0;
        case ParseOutcome::Kind::Version:
            std::puts("sonoleaf-cli 1.0");
            return 0;
        case ParseOutcome::Kind::Usage:
            std::fprintf(stderr, "sonoleaf-cli: %s\n%s", outcome.error.c_str(),
                         sonoleaf::cli::UsageText());
            return sonoleaf::cli::kExitUsage;
        case ParseOutcome::Kind::Run:
            break;
    }
    return sonoleaf::cli::RunCommand(outcome.options);
}
