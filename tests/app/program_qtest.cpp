// The built program from outside: the registration switches write and remove the
// desktop entry, the icons and the registration record under $XDG_DATA_HOME without
// a window; embedding and automation end at once; other arguments are ignored; the
// screenshot option writes its pictures; the help file is built and covers the
// program.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

#include "support/gui_test_base.h"

using namespace sonoleaf::testing;

namespace {

constexpr int kProcessMs = 20000;
const QString kAppId = QStringLiteral("{49A3142B-697A-492E-8529-2BA655E3F981}");

QString Binary() {
    return qEnvironmentVariable("SONOLEAF_BINARY_DIR") + QStringLiteral("/sonoleaf");
}

struct Run {
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
};

// Runs the program with `arguments`; `platform` is the Qt platform it would get for
// a window. A platform that does not exist makes any attempt at a window fail, so
// that a clean exit proves that none was opened.
Run RunProgram(const QStringList& arguments, const QString& dataHome,
               const QString& platform = QStringLiteral("no-window-allowed")) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dataHome);
    process.start(Binary(), arguments);
    Run run;
    if (!process.waitForStarted(kProcessMs)) return run;
    run.finished = process.waitForFinished(kProcessMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(kProcessMs);
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    return run;
}

QStringList FilesUnder(const QString& root) {
    QStringList files;
    QDir dir(root);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isDir()) {
            files << FilesUnder(info.filePath());
        } else {
            files << QDir(qEnvironmentVariable("TEST_ROOT")).relativeFilePath(info.filePath());
        }
    }
    return files;
}

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QList<int> kIconSizes{16, 20, 24, 32, 40, 48, 64, 96, 128};

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void binaryIsBuilt() { QVERIFY2(QFileInfo(Binary()).isExecutable(), qPrintable(Binary())); }

    void registerWritesEntriesWithoutWindow_data() {
        QTest::addColumn<QString>("option");
        for (const char* option :
             {"/Register", "/RegServer", "-register", "-REGSERVER", "/rEgIsTeR"}) {
            QTest::newRow(option) << option;
        }
    }
    void registerWritesEntriesWithoutWindow() {
        QFETCH(QString, option);
        QTemporaryDir home;
        const Run run = RunProgram({option}, home.path());
        QVERIFY(run.finished);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);

        const QDir data(home.path());
        const QString entry = Read(data.filePath(QStringLiteral("applications/sonoleaf.desktop")));
        QVERIFY(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(entry.contains(QStringLiteral("\nType=Application\n")));
        QVERIFY(entry.contains(QStringLiteral("\nName=Sonoleaf\n")));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=sonoleaf\n")));
        QVERIFY(entry.contains(QStringLiteral("\nExec=") + QFileInfo(Binary()).canonicalFilePath() +
                               " %f\n"));

        for (int size : kIconSizes) {
            const QImage icon(
                data.filePath(QStringLiteral("icons/hicolor/%1x%1/apps/sonoleaf.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size, size));
        }

        const QString record =
            Read(data.filePath(QStringLiteral("sonoleaf/registration/%1.reg").arg(kAppId)));
        QVERIFY(record.contains(QStringLiteral("[AppID\\%1]\n@=\"Sonoleaf\"").arg(kAppId)));
        QVERIFY(
            record.contains(QStringLiteral("[AppID\\Sonoleaf.EXE]\n\"AppID\"=\"%1\"").arg(kAppId)));
    }

    void registerTwiceKeepsOneOfEach() {
        QTemporaryDir home;
        QCOMPARE(RunProgram({"/Register"}, home.path()).exitCode, 0);
        qputenv("TEST_ROOT", home.path().toUtf8());
        const QStringList once = FilesUnder(home.path());
        QCOMPARE(RunProgram({"/Register"}, home.path()).exitCode, 0);
        QCOMPARE(FilesUnder(home.path()), once);
        QCOMPARE(once.size(), kIconSizes.size() + 2);
    }

    void unregisterRemovesEntriesKeepsRecordFolder_data() {
        QTest::addColumn<QString>("option");
        for (const char* option : {"/Unregister", "/UnregServer", "-unregister", "-UNREGSERVER"}) {
            QTest::newRow(option) << option;
        }
    }
    void unregisterRemovesEntriesKeepsRecordFolder() {
        QFETCH(QString, option);
        QTemporaryDir home;
        QCOMPARE(RunProgram({"/Register"}, home.path()).exitCode, 0);
        // Someone else's entry beside ours stays.
        const QString other =
            QDir(home.path()).filePath(QStringLiteral("applications/other.desktop"));
        QFile otherFile(other);
        QVERIFY(otherFile.open(QIODevice::WriteOnly));
        otherFile.close();

        const Run run = RunProgram({option}, home.path());
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        qputenv("TEST_ROOT", home.path().toUtf8());
        QCOMPARE(FilesUnder(home.path()),
                 QStringList{QStringLiteral("applications/other.desktop")});
        QVERIFY(
            QFileInfo(QDir(home.path()).filePath(QStringLiteral("sonoleaf/registration"))).isDir());
    }

    void unregisterWithNothingRegistered() {
        QTemporaryDir home;
        const Run run = RunProgram({"/Unregister"}, home.path());
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
    }

    void embeddingAndAutomationEndAtOnce_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("/Embedding") << QStringList{"/Embedding"};
        QTest::newRow("-embedding") << QStringList{"-embedding"};
        QTest::newRow("/Automation") << QStringList{"/Automation"};
        QTest::newRow("-AUTOMATION") << QStringList{"-AUTOMATION"};
        QTest::newRow("embedding before register") << QStringList{"/Embedding", "/Register"};
    }
    void embeddingAndAutomationEndAtOnce() {
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        const Run run = RunProgram(arguments, home.path());
        QVERIFY(run.finished);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        qputenv("TEST_ROOT", home.path().toUtf8());
        QCOMPARE(FilesUnder(home.path()), QStringList{});
    }

    // Anything else starts the window as usual: with a platform that does not exist,
    // that start fails, which shows that a window was wanted.
    void otherArgumentsAreIgnored_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("file name") << QStringList{"book.txt"};
        QTest::newRow("unknown switch") << QStringList{"/Registerx"};
        QTest::newRow("bare slash") << QStringList{"/"};
    }
    void otherArgumentsAreIgnored() {
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        const Run run = RunProgram(arguments, home.path());
        QVERIFY(run.finished);
        QVERIFY(run.status == QProcess::CrashExit || run.exitCode != 0);
        qputenv("TEST_ROOT", home.path().toUtf8());
        QCOMPARE(FilesUnder(home.path()), QStringList{});
    }

    void screenshotsOfTheWindows() {
        QTemporaryDir home;
        const QString folder = QDir(home.path()).filePath(QStringLiteral("shots"));
        const Run run =
            RunProgram({"--screenshots", folder}, home.path(), QStringLiteral("offscreen"));
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QWidget probe;
        probe.setFont(QApplication::font());
        const QList<std::pair<QString, QSize>> expected{
            {"main_window.png", DluToPixels(probe, 0, 0, 613, 308).size()},
            {"voice_setting.png", DluToPixels(probe, 0, 0, 309, 176).size()},
            {"about_box.png", DluToPixels(probe, 0, 0, 313, 120).size()},
        };
        for (const auto& [name, size] : expected) {
            QCOMPARE(QImage(QDir(folder).filePath(name)).size(), size);
        }
        QVERIFY(!QImage(QDir(folder).filePath(QStringLiteral("alert_box.png"))).isNull());
    }

    void helpFileIsCompiledNextToTheProgram() {
        QFile chm(qEnvironmentVariable("SONOLEAF_BINARY_DIR") +
                  QStringLiteral("/Sonoleaf_Help.chm"));
        QVERIFY(chm.open(QIODevice::ReadOnly));
        const QByteArray content = chm.readAll();
        QVERIFY(content.startsWith("ITSF"));
        for (const char* page :
             {"/index.html", "/main_window.html", "/voice_settings.html", "/pdf_to_text.html",
              "/audio_lists.html", "/output_names.html", "/messages.html", "/command_line.html"}) {
            QVERIFY2(content.contains(page), page);
        }
    }

    // Every button and every message the user can meet is explained in the help.
    void helpCoversButtonsAndMessages_data() {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"Convert PDF to Text",
              "Voice Setting",
              "Stop TTS Process",
              "Speak From Text file",
              "Convert to Audio from Text file",
              "Convert Text file to Audio List",
              "Audio list by Title Tag",
              "Speak Now",
              "Make Audio",
              "About",
              "Help",
              "OK",
              "Cancel",
              "Character Length (1 - 2^25):",
              "Filename Starting Number(#):",
              "Text to Speech operation Completed",
              "OutputFolder Path is not selected",
              "File is saved to: ",
              "File could not be saved to: ",
              "Raw Text to Audio Operation Ended",
              "Text File Input Path is not set\nPlease set Text file input path correctly",
              "Text File to Speech Operation Ended",
              "You Have to select both Text file and Output Folder path",
              "Text File to Audio Operation Ended",
              "Invalid Input, Value Must be between 1 and 2^25",
              "Text file to Audio List operation done",
              "how many of how many, in which folder, and why",
              "Text File to Audio List Operation Ended",
              "You have given invalid file name starting number",
              "Audio list by given <title>...</title> tag completed",
              "There is no <title>...</title> tag found",
              "Text File to Audio List By given Titles Operation Ended",
              "You have to give both input and output path",
              "Converted File  is Saved to: ",
              ": This File is Encrypted",
              "Please enter an integer.",
              "Message Box for Alert",
              ".mp3",
              ".wav",
              ".txt",
              "Sonoleaf_Help.chm"}) {
            QTest::newRow(qPrintable(QString::fromUtf8(text).replace(u'\n', u' '))) << text;
        }
    }
    void helpCoversButtonsAndMessages() {
        QFETCH(QString, text);
        const QDir sources(qEnvironmentVariable("SONOLEAF_SOURCE_DIR") +
                           QStringLiteral("/resources/help"));
        QString all;
        for (const QString& page : sources.entryList({QStringLiteral("*.html")})) {
            QString html = Read(sources.filePath(page));
            QString plain = QTextDocumentFragment::fromHtml(html).toPlainText();
            plain.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
            plain.replace(QChar(QChar::Nbsp), QChar(u' '));
            all += plain + QStringLiteral("\n");
        }
        QVERIFY2(all.contains(text), qPrintable(text));
    }
};

QTEST_MAIN(ProgramTest)
#include "program_qtest.moc"
