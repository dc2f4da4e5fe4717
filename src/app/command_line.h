#pragma once
// The command-line switches the application acts on. A switch starts with "/" or "-"
// and is matched in any letter case; everything else is ignored.

#include <QString>
#include <QStringList>

namespace sonoleaf {

struct CommandLineInfo {
    enum class ShellCommand { Nothing, Register, Unregister };

    bool runEmbedded = false;
    bool runAutomated = false;
    ShellCommand shellCommand = ShellCommand::Nothing;
    // "--screenshots DIR": pictures of the windows into DIR, then exit.
    QString screenshotDir;
    bool takeScreenshots = false;
};

// `arguments` without the program name.
CommandLineInfo ParseCommandLine(const QStringList& arguments);

}  // namespace sonoleaf
