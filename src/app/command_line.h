#pragma once
// The command-line switches the application acts on. A switch starts with "/" or "-"
// and is matched in any letter case; the first other argument names a file to open (a
// path may start with "/" too); everything else is ignored.

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
    // The first argument that is no switch: a file to open in the window ("Open With").
    QString openPath;
};

// `arguments` without the program name.
CommandLineInfo ParseCommandLine(const QStringList& arguments);

}  // namespace sonoleaf
