// sonoleaf-cli: the window's jobs from the command line, for batch work on machines
// with no display and no sound server.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "platform/process/spawn.h"
#include "platform/text/version.h"

int main(int argc, char** argv) {
    using sonoleaf::cli::ParseOutcome;
    // A helper that has gone fails the work it carried, and a closed standard output
    // ends the printing, never this program half-way through a file.
    sonoleaf::process::SurviveBrokenPipes();
    // Only for the program's name and version in the help: no event loop runs.
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonoleaf-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(sonoleaf::kVersion));
    const ParseOutcome outcome =
        sonoleaf::cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (outcome.kind) {
        case ParseOutcome::Kind::Help:
        case ParseOutcome::Kind::Version:
            std::fputs(outcome.text.c_str(), stdout);
            return 0;
        case ParseOutcome::Kind::Usage:
            std::fprintf(stderr, "sonoleaf-cli: %s\n%s", outcome.error.c_str(),
                         sonoleaf::cli::UsageText().c_str());
            return sonoleaf::cli::kExitUsage;
        case ParseOutcome::Kind::Run:
            break;
    }
    return sonoleaf::cli::RunCommand(outcome.options);
}
