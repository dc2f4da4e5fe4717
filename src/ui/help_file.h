#pragma once
// Where Help finds its file and what shows it. The file is looked up in the current
// directory first, then in the data folder of an installed program. A desktop without
// a handler for CHM files is helped out by Debian's CHM viewer, xchm.

#include <QString>
#include <QStringList>

namespace sonoleaf::ui {

inline constexpr char kHelpFileName[] = "Sonoleaf_Help.chm";

// The folders searched, in order: the current directory; the data folder at
// `dataFromProgram` (relative) from the program's folder, which follows an install
// that was moved; the data folder the program was built for. Paths are made clean;
// empty and repeated ones are left out.
QStringList HelpFolders(const QString& currentDir, const QString& programDir,
                        const QString& dataFromProgram, const QString& installedDataDir);
// The same for the running program.
QStringList HelpFoldersOfThisProgram();

// The help file of the first folder that holds one. When none does, the name in the
// first folder: whatever the desktop says of a missing file is what the user sees.
QString FindHelpFile(const QStringList& folders);

// A program to start detached; an empty program means there is none to start.
struct HelpCommand {
    QString program;
    QStringList arguments;
};

// How `file` is opened, given the full paths of xdg-open and xchm (empty when not on
// PATH): with xdg-open, and with xchm when xdg-open reports failure (its exit status
// is the only report of a missing handler; QDesktopServices says only that it
// started xdg-open).
HelpCommand HelpOpener(const QString& file, const QString& xdgOpen, const QString& xchm);

// Finds the help file and starts its opener detached; falls back to the desktop
// services when neither xdg-open nor xchm is on PATH.
void OpenHelp();

}  // namespace sonoleaf::ui
