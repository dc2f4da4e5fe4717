// Help's choices: which folders are searched and in what order, which file is taken,
// and which program opens it; the opener's fall-back to xchm run for real against
// stand-ins for xdg-open and xchm.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "support/fake_program.h"
#include "ui/help_file.h"

namespace sonoleaf::ui {
namespace {

using sonoleaf::testing::WriteRecordingProgram;

struct FoldersCase {
    const char* name;
    const char* current;
    const char* program;
    const char* fromProgram;
    const char* installed;
    QStringList expected;
};

TEST(HelpFolders, CurrentDirectoryFirstThenDataFolders) {
    const FoldersCase cases[] = {
        {"all three",
         "/home/ann/books",
         "/opt/sl/bin",
         "../share/sonoleaf",
         "/usr/local/share/sonoleaf",
         {"/home/ann/books", "/opt/sl/share/sonoleaf", "/usr/local/share/sonoleaf"}},
        {"installed where built for",
         "/tmp",
         "/usr/bin",
         "../share/sonoleaf",
         "/usr/share/sonoleaf",
         {"/tmp", "/usr/share/sonoleaf"}},
        {"started in the data folder",
         "/usr/share/sonoleaf",
         "/usr/bin",
         "../share/sonoleaf",
         "/usr/share/sonoleaf",
         {"/usr/share/sonoleaf"}},
        {"unclean paths",
         "/home/ann/./books/",
         "/opt/sl/bin/",
         "../share//sonoleaf",
         "/usr/share/sonoleaf/",
         {"/home/ann/books", "/opt/sl/share/sonoleaf", "/usr/share/sonoleaf"}},
        {"no program folder",
         "/tmp",
         "",
         "../share/sonoleaf",
         "/usr/share/sonoleaf",
         {"/tmp", "/usr/share/sonoleaf"}},
        {"built without install folders", "/tmp", "/usr/bin", "", "", {"/tmp"}},
    };
    for (const FoldersCase& c : cases) {
        EXPECT_EQ(HelpFolders(c.current, c.program, c.fromProgram, c.installed), c.expected)
            << c.name;
    }
}

TEST(HelpFolders, RunningProgramSearchesItsInstallFolders) {
    int argc = 1;
    char name[] = "help_file_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QStringList folders = HelpFoldersOfThisProgram();
    ASSERT_EQ(folders.size(), 3) << folders.join(u' ').toStdString();
    EXPECT_EQ(folders[0], QDir::cleanPath(QDir::currentPath()));
    EXPECT_TRUE(folders[1].startsWith(QDir::cleanPath(app.applicationDirPath() + "/..")));
    for (const QString& folder : folders.mid(1)) {
        EXPECT_TRUE(folder.endsWith(QStringLiteral("/share/sonoleaf"))) << folder.toStdString();
    }
}

struct FindCase {
    const char* name;
    std::vector<bool> holdsFile;  // per folder, in search order
    int expected;                 // index of the folder whose file is taken
};

TEST(FindHelpFile, FirstFolderHoldingTheFileElseTheFirstFolder) {
    const FindCase cases[] = {
        {"current directory only", {true, false, false}, 0},
        {"current directory wins", {true, true, true}, 0},
        {"beside the program", {false, true, true}, 1},
        {"built-in data folder", {false, false, true}, 2},
        {"nowhere: the current directory's name", {false, false, false}, 0},
    };
    for (const FindCase& c : cases) {
        QTemporaryDir root;
        QStringList folders;
        for (std::size_t i = 0; i < c.holdsFile.size(); ++i) {
            const QString folder = QDir(root.path()).filePath(QString::number(i));
            ASSERT_TRUE(QDir().mkpath(folder));
            folders << folder;
            QFile file(QDir(folder).filePath(QString::fromUtf8(kHelpFileName)));
            if (c.holdsFile[i]) {
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            }
        }
        EXPECT_EQ(FindHelpFile(folders),
                  QDir(folders[c.expected]).filePath(QStringLiteral("Sonoleaf_Help.chm")))
            << c.name;
    }
}

struct OpenerCase {
    const char* name;
    const char* xdgOpen;
    const char* xchm;
    QString program;
    QStringList arguments;  // for a single program; the shell's are checked by running
};

TEST(HelpOpener, ProgramChosenByWhatIsOnPath) {
    const QString file = QStringLiteral("/usr/share/sonoleaf/Sonoleaf_Help.chm");
    const OpenerCase cases[] = {
        {"both: a shell runs one, then the other",
         "/usr/bin/xdg-open",
         "/usr/bin/xchm",
         "/bin/sh",
         {}},
        {"xdg-open only", "/usr/bin/xdg-open", "", "/usr/bin/xdg-open", {file}},
        {"xchm only", "", "/usr/bin/xchm", "/usr/bin/xchm", {file}},
        {"neither", "", "", "", {}},
    };
    for (const OpenerCase& c : cases) {
        const HelpCommand command = HelpOpener(file, c.xdgOpen, c.xchm);
        EXPECT_EQ(command.program, c.program) << c.name;
        if (!c.arguments.isEmpty()) {
            EXPECT_EQ(command.arguments, c.arguments) << c.name;
        }
    }
}

struct FallBackCase {
    const char* name;
    int xdgOpenStatus;  // xdg-open: 3 no method, 4 the action failed
    bool viewerRuns;
};

TEST(HelpOpener, ViewerStartsOnlyWhenXdgOpenFails) {
    const FallBackCase cases[] = {
        {"desktop opened it", 0, false},
        {"no handler for CHM", 3, true},
        {"handler failed", 4, true},
    };
    for (const FallBackCase& c : cases) {
        QTemporaryDir dir;
        const QString opened = dir.filePath(QStringLiteral("xdg-open.record"));
        const QString viewed = dir.filePath(QStringLiteral("xchm.record"));
        const QString xdgOpen =
            WriteRecordingProgram(dir.path(), "xdg-open", opened, c.xdgOpenStatus);
        const QString xchm = WriteRecordingProgram(dir.path(), "xchm", viewed, 0);
        ASSERT_FALSE(xdgOpen.isEmpty() || xchm.isEmpty());
        // A path with a blank and a quote: it must reach both programs as one argument.
        const QString file = dir.filePath(QStringLiteral("my \"help\" $HOME.chm"));

        const HelpCommand command = HelpOpener(file, xdgOpen, xchm);
        QProcess shell;
        shell.start(command.program, command.arguments);
        ASSERT_TRUE(shell.waitForFinished(10000)) << c.name;

        auto read = [](const QString& path) {
            QFile record(path);
            return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll())
                                                    : QStringLiteral("<none>");
        };
        EXPECT_EQ(read(opened), file) << c.name;
        EXPECT_EQ(read(viewed), c.viewerRuns ? file : QStringLiteral("<none>")) << c.name;
        EXPECT_EQ(shell.exitCode(), 0) << c.name;
    }
}

}  // namespace
}  // namespace sonoleaf::ui
