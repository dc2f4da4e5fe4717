#include "ui/help_file.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace sonoleaf::ui {

namespace {

// Set by the build from the install directories; empty in a build that has none.
#ifdef SONOLEAF_DATA_DIR
constexpr char kInstalledDataDir[] = SONOLEAF_DATA_DIR;
#else
constexpr char kInstalledDataDir[] = "";
#endif
#ifdef SONOLEAF_DATA_DIR_FROM_PROGRAM
constexpr char kDataDirFromProgram[] = SONOLEAF_DATA_DIR_FROM_PROGRAM;
#else
constexpr char kDataDirFromProgram[] = "";
#endif

// xdg-open's failure (no handler, or none that could show the file) hands over to
// the viewer; $0 names the script in the shell's own messages.
constexpr char kOpenOrView[] = R"("$1" "$3" || exec "$2" "$3")";

}  // namespace

QStringList HelpFolders(const QString& currentDir, const QString& programDir,
                        const QString& dataFromProgram, const QString& installedDataDir) {
    QStringList candidates{currentDir};
    if (!programDir.isEmpty() && !dataFromProgram.isEmpty()) {
        candidates << QDir(programDir).filePath(dataFromProgram);
    }
    candidates << installedDataDir;
    QStringList folders;
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty()) continue;
        const QString clean = QDir::cleanPath(candidate);
        if (!folders.contains(clean)) folders << clean;
    }
    return folders;
}

QStringList HelpFoldersOfThisProgram() {
    return HelpFolders(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                       QString::fromUtf8(kDataDirFromProgram),
                       QString::fromUtf8(kInstalledDataDir));
}

QString FindHelpFile(const QStringList& folders) {
    const QString name = QString::fromUtf8(kHelpFileName);
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile()) return path;
    }
    return folders.isEmpty() ? name : QDir(folders.first()).filePath(name);
}

HelpCommand HelpOpener(const QString& file, const QString& xdgOpen, const QString& xchm) {
    if (!xdgOpen.isEmpty() && !xchm.isEmpty()) {
        return {QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QString::fromUtf8(kOpenOrView),
                 QStringLiteral("sonoleaf-help"), xdgOpen, xchm, file}};
    }
    if (!xdgOpen.isEmpty()) return {xdgOpen, {file}};
    if (!xchm.isEmpty()) return {xchm, {file}};
    return {};
}

void OpenHelp() {
    const QString file = QFileInfo(FindHelpFile(HelpFoldersOfThisProgram())).absoluteFilePath();
    const HelpCommand command =
        HelpOpener(file, QStandardPaths::findExecutable(QStringLiteral("xdg-open")),
                   QStandardPaths::findExecutable(QStringLiteral("xchm")));
    if (!command.program.isEmpty() && QProcess::startDetached(command.program, command.arguments)) {
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace sonoleaf::ui
