// The four jobs that speak or render one text, each run from a click on the window
// with the real speech service: the alerts in order with the busy flag at each, the
// file written with its exact name, and its content (WAV or MP3 by the audio type,
// holding speech of a plausible length).

#include <QProcess>
#include <QTest>
#include <ctime>
#include <filesystem>

#include "speech/speech_engine.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kSavedTo[] = "File is saved to: ";
constexpr char kNotSavedTo[] = "File could not be saved to: ";

// Speech of a few seconds, long enough for another job to finish beside it.
const QString kLongSpeech = QStringLiteral(
    "This is a long passage read aloud while a file is rendered beside it. It goes on "
    "for a good while, sentence after sentence, so that the other job has ample time "
    "to come to its end before this one does. Then it is stopped.");

// pactl against the test's sound server; its output, or empty when it failed.
QString Pactl(const QStringList& arguments) {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    if (!pactl.waitForFinished(10000)) {
        pactl.kill();
        pactl.waitForFinished(1000);
        return {};
    }
    if (pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0) return {};
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}

}  // namespace

class JobsSpeakingTest : public GuiTestBase {
    Q_OBJECT

    QString sinkModule_;

    // Waits for the alert of a render into `folder` that starts with `prefix` ("File is
    // saved to: " unless told otherwise), checks the busy flag while it is open, and
    // returns the name after the folder's "//" (without a second line).
    QString SavedFileName(const QString& folder, const std::atomic<std::int32_t>& busy,
                          const QString& prefix = kSavedTo) {
        QString name;
        const bool seen = WaitUntil(
            [&] {
                for (const QString& text : OpenAlertTexts()) {
                    if (text.startsWith(prefix)) {
                        name = text.mid(prefix.size()).section(QStringLiteral("\r\n"), 0, 0);
                        return true;
                    }
                }
                return false;
            },
            kJobWaitMs);
        if (!seen) return {};
        const QString inFolder = folder + QStringLiteral("//");
        if (!name.startsWith(inFolder) || busy.load() != 1) return {};
        return name.mid(inFolder.size());
    }

    // The alert of a render, whichever it is: the name it gives, and whether it says
    // the file was saved.
    struct Announced {
        QString name;
        bool saved = false;
        QString text;
    };
    Announced AnnouncedFile(const QString& folder, const std::atomic<std::int32_t>& busy) {
        Announced found;
        WaitUntil(
            [&] {
                for (const QString& text : OpenAlertTexts()) {
                    if (text.startsWith(kSavedTo) || text.startsWith(kNotSavedTo)) {
                        found.text = text;
                        found.saved = text.startsWith(kSavedTo);
                        return true;
                    }
                }
                return false;
            },
            kJobWaitMs);
        found.name = SavedFileName(folder, busy, found.saved ? kSavedTo : kNotSavedTo);
        return found;
    }

  private slots:
    // What this suite speaks aloud goes to a null sink of its own, made the default
    // for this process, so that suites listening to the test sink hear none of it.
    void initTestCase() {
        QVERIFY(SystemSpeech() != nullptr);
        if (qEnvironmentVariableIsEmpty("SONOLEAF_TEST_SINK")) return;
        const QString sink =
            QStringLiteral("sonoleaf_speaking_%1").arg(QCoreApplication::applicationPid());
        sinkModule_ = Pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                             QStringLiteral("sink_name=") + sink});
        QVERIFY2(!sinkModule_.isEmpty(), "could not add a null sink to the test's sound server");
        qputenv("PULSE_SINK", sink.toUtf8());
    }
    void cleanupTestCase() {
        if (sinkModule_.isEmpty()) return;
        qunsetenv("PULSE_SINK");
        Pactl({QStringLiteral("unload-module"), sinkModule_});
    }

    void makeAudioWritesOneTimeStampedFile_data() {
        QTest::addColumn<int>("audioRadio");  // 0: the default profile (Mp3)
        QTest::addColumn<QString>("folderEnd");
        QTest::addColumn<bool>("mp3");
        QTest::newRow("default MP3") << 0 << "" << true;
        QTest::newRow("WAV") << ui::kWavRadio << "" << false;
        QTest::newRow("folder ending in a separator") << 0 << "/" << true;
    }
    void makeAudioWritesOneTimeStampedFile() {
        QFETCH(int, audioRadio);
        QFETCH(QString, folderEnd);
        QFETCH(bool, mp3);
        TempDir out;
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        if (audioRadio != 0) QVERIFY(ChooseSetting(w, audioRadio));
        SetField(w, kTypedTextEdit, QStringLiteral("Hello from Sonoleaf."));
        const QString folder = Q(out.Path()) + folderEnd;
        SetField(w, kAudioFolderBrowse, folder);

        const std::time_t before = std::time(nullptr);
        Click(*FindControl(w, ui::kMakeAudioButton));
        const QString name = SavedFileName(folder, w.makeAudioBusy);
        const std::time_t after = std::time(nullptr);
        const QString extension = mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav");
        QVERIFY2(name.endsWith(extension), qPrintable(name));
        const QString stamp = name.chopped(4);
        QVERIFY2(LooksLikeTimeStamp(stamp), qPrintable(stamp));
        QVERIFY2(StampsBetween(before, after).contains(stamp), qPrintable(stamp));
        FOLLOW_ALERT(kSavedTo + folder + "//" + name, w.makeAudioBusy, 1);
        FOLLOW_ALERT("Raw Text to Audio Operation Ended", w.makeAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.makeAudioBusy);

        QCOMPARE(FileNames(out.Path()), QStringList{name});
        EXPECT_SPEECH_FILE(out.Path() / name.toStdString(), mp3, 0.5, 8.0);
    }

    void makeAudioWithoutFolderIgnoresClicksUntilOk() {
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTypedTextEdit, QStringLiteral("Nowhere to go."));
        QWidget* button = FindControl(w, ui::kMakeAudioButton);
        Click(*button);
        QVERIFY(WaitForAlert(QStringLiteral("OutputFolder Path is not selected"), kJobWaitMs));
        Click(*button);
        Click(*button);
        QCOMPARE(w.Jobs().Running(), 1);
        FOLLOW_ALERT("OutputFolder Path is not selected", w.makeAudioBusy, 1);
        EXPECT_RUN_ENDED(w, w.makeAudioBusy);
    }

    // A folder that does not exist: the message says that the file was not saved.
    void makeAudioIntoAMissingFolder() {
        TempDir out;
        const QString folder = Q(out.Path() / "not there");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTypedTextEdit, QStringLiteral("Lost words."));
        SetField(w, kAudioFolderBrowse, folder);
        Click(*FindControl(w, ui::kMakeAudioButton));
        const QString name = SavedFileName(folder, w.makeAudioBusy, kNotSavedTo);
        QVERIFY2(LooksLikeTimeStamp(name.chopped(4)), qPrintable(name));
        FOLLOW_ALERT(kNotSavedTo + folder + "//" + name + "\r\nThe folder does not exist.",
                     w.makeAudioBusy, 1);
        FOLLOW_ALERT("Raw Text to Audio Operation Ended", w.makeAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.makeAudioBusy);
        QVERIFY(FileNames(out.Path()).isEmpty());
    }

    // Text that is hard to speak still ends the job as usual, and whatever file it
    // leaves is complete audio.
    void makeAudioWithOddText_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("unclosed markup") << "<speak><prosody rate='fast'>Hello";
        QTest::newRow("a lone angle bracket") << "< and nothing else";
        QTest::newRow("only blanks") << "   \n\t ";
        QTest::newRow("only punctuation") << "...!?;";
        QTest::newRow("lone surrogate") << QStringLiteral("Hello ") + QChar(0xD800) + "world";
        QTest::newRow("NUL inside") << QStringLiteral("Hello") + QChar(0) + "world";
    }
    void makeAudioWithOddText() {
        QFETCH(QString, text);
        TempDir out;
        const QString folder = Q(out.Path());
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTypedTextEdit, text);
        SetField(w, kAudioFolderBrowse, folder);
        Click(*FindControl(w, ui::kMakeAudioButton));
        const Announced announced = AnnouncedFile(folder, w.makeAudioBusy);
        const QString name = announced.name;
        QVERIFY2(LooksLikeTimeStamp(name.chopped(4)), qPrintable(announced.text));
        // Nothing to say keeps no MP3; the message must then not claim one.
        FOLLOW_ALERT(announced.saved ? kSavedTo + folder + "//" + name
                                     : kNotSavedTo + folder + "//" + name +
                                           "\r\nNothing was spoken into it, so no file was kept.",
                     w.makeAudioBusy, 1);
        FOLLOW_ALERT("Raw Text to Audio Operation Ended", w.makeAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.makeAudioBusy);
        const QStringList names = FileNames(out.Path());
        QCOMPARE(names, announced.saved ? QStringList{name} : QStringList{});
        if (!names.isEmpty()) EXPECT_SPEECH_FILE(out.Path() / name.toStdString(), true, 0.0, 8.0);
    }

    void makeAudioWithEmptyTextWritesNothing() {
        TempDir out;
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        Click(*FindControl(w, ui::kMakeAudioButton));
        FOLLOW_ALERT("Raw Text to Audio Operation Ended", w.makeAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.makeAudioBusy);
        QVERIFY(FileNames(out.Path()).isEmpty());
    }

    // The name comes from the source's base name when it has two characters or more
    // after the last separator and before the last full stop, else from the clock.
    void fileToAudioNamesItsFile_data() {
        QTest::addColumn<QString>("source");  // under the source folder
        QTest::addColumn<QString>("stem");    // empty: a time stamp
        QTest::addColumn<bool>("mp3");
        QTest::newRow("chapter1.txt as WAV") << "chapter1.txt"
                                             << "chapter1" << false;
        QTest::newRow("my.notes.txt") << "my.notes.txt"
                                      << "my.notes" << true;
        QTest::newRow("one-letter name") << "a.txt"
                                         << "" << true;
        QTest::newRow("no full stop") << "readme"
                                      << "" << true;
        QTest::newRow("full stop only in a folder") << "my.books/readme"
                                                    << "" << true;
        QTest::newRow("non-Latin name") << "\u043a\u043d\u0438\u0433\u0430 1.txt"
                                        << "\u043a\u043d\u0438\u0433\u0430 1" << true;
    }
    void fileToAudioNamesItsFile() {
        QFETCH(QString, source);
        QFETCH(QString, stem);
        QFETCH(bool, mp3);
        TempDir in;
        TempDir out;
        const fs::path sourcePath = in.Path() / source.toStdString();
        fs::create_directories(sourcePath.parent_path());
        WriteBytes(sourcePath, "Chapter one. It was a dark and quiet night.\n");

        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        if (!mp3) QVERIFY(ChooseSetting(w, ui::kWavRadio));
        SetField(w, kTextSourceBrowse, Q(sourcePath));
        const QString folder = Q(out.Path());
        SetField(w, kAudioFolderBrowse, folder);

        const std::time_t before = std::time(nullptr);
        Click(*FindControl(w, ui::kFileToAudioButton));
        const QString name = SavedFileName(folder, w.fileToAudioBusy);
        const std::time_t after = std::time(nullptr);
        const QString extension = mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav");
        if (stem.isEmpty()) {
            QVERIFY2(name.endsWith(extension), qPrintable(name));
            QVERIFY2(StampsBetween(before, after).contains(name.chopped(4)), qPrintable(name));
        } else {
            QCOMPARE(name, stem + extension);
        }
        FOLLOW_ALERT(kSavedTo + folder + "//" + name, w.fileToAudioBusy, 1);
        FOLLOW_ALERT("Text File to Audio Operation Ended", w.fileToAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.fileToAudioBusy);

        QCOMPARE(FileNames(out.Path()), QStringList{name});
        EXPECT_SPEECH_FILE(out.Path() / name.toStdString(), mp3, 1.0, 10.0);
    }

    void fileToAudioNeedsBothPaths_data() {
        QTest::addColumn<bool>("withSource");
        QTest::addColumn<bool>("withFolder");
        QTest::newRow("no folder") << true << false;
        QTest::newRow("no source") << false << true;
        QTest::newRow("neither") << false << false;
    }
    void fileToAudioNeedsBothPaths() {
        QFETCH(bool, withSource);
        QFETCH(bool, withFolder);
        TempDir dir;
        const fs::path source = dir.Path() / "book.txt";
        WriteBytes(source, "Some words.");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        if (withSource) SetField(w, kTextSourceBrowse, Q(source));
        if (withFolder) SetField(w, kAudioFolderBrowse, Q(dir.Path()));
        Click(*FindControl(w, ui::kFileToAudioButton));
        FOLLOW_ALERT("You Have to select both Text file and Output Folder path", w.fileToAudioBusy,
                     1);
        EXPECT_RUN_ENDED(w, w.fileToAudioBusy);
        QCOMPARE(FileNames(dir.Path()), QStringList{QStringLiteral("book.txt")});
    }

    // Needs no output folder; a source that does not open is not reported.
    void speakFromTextFile_data() {
        QTest::addColumn<QString>("source");  // "-": the field stays empty
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("busyWhileOpen");
        QTest::addColumn<QString>("why");  // the box after the closing one, if any
        QTest::newRow("empty path")
            << "-"
            << "Text File Input Path is not set\r\nPlease set Text file input path correctly" << 1
            << "";
        QTest::newRow("a file") << "hello.txt"
                                << "Text File to Speech Operation Ended" << 0 << "";
        QTest::newRow("a file that does not exist")
            << "missing.txt"
            << "Text File to Speech Operation Ended" << 0
            << "The text could not be spoken:\r\nThe text file could not be found.";
        QTest::newRow("a named pipe no one writes to")
            << "pipe.txt"
            << "Text File to Speech Operation Ended" << 0
            << "The text could not be spoken:\r\nThe text file could not be read.";
    }
    void speakFromTextFile() {
        QFETCH(QString, source);
        QFETCH(QString, message);
        QFETCH(int, busyWhileOpen);
        QFETCH(QString, why);
        TempDir dir;
        WriteBytes(dir.Path() / "hello.txt", "Hello.");
        const NamedPipe pipe(dir.Path() / "pipe.txt");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        if (source != "-") SetField(w, kTextSourceBrowse, Q(dir.Path() / source.toStdString()));
        Click(*FindControl(w, ui::kSpeakFileButton));
        FOLLOW_ALERT(message, w.speakFileBusy, busyWhileOpen);
        if (!why.isEmpty()) FOLLOW_ALERT(why, w.speakFileBusy, 0);
        EXPECT_RUN_ENDED(w, w.speakFileBusy);
    }

    // A source that is no readable file (a named pipe, which must not hang the job):
    // the message says that nothing was saved, and why.
    void fileToAudioFromAPipe() {
        TempDir in;
        TempDir out;
        const NamedPipe pipe(in.Path() / "pipe.txt");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTextSourceBrowse, Q(in.Path() / "pipe.txt"));
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        Click(*FindControl(w, ui::kFileToAudioButton));
        FOLLOW_ALERT(kNotSavedTo + Q(out.Path()) + "//pipe.mp3\r\nThe text file could not be read.",
                     w.fileToAudioBusy, 1);
        FOLLOW_ALERT("Text File to Audio Operation Ended", w.fileToAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.fileToAudioBusy);
        QCOMPARE(FileNames(out.Path()), QStringList{});
    }

    void speakNow_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty text box") << "";
        QTest::newRow("a greeting") << "Hi there.";
    }
    void speakNow() {
        QFETCH(QString, text);
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTypedTextEdit, text);
        Click(*FindControl(w, ui::kSpeakNowButton));
        FOLLOW_ALERT("Text to Speech operation Completed", w.speakNowBusy, 0);
        EXPECT_RUN_ENDED(w, w.speakNowBusy);
    }

    // "Speak Now" is still speaking aloud when "Make Audio", started after it, has
    // written its file and ended.
    void makeAudioAndSpeakNowRunSideBySide() {
        TempDir out;
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTypedTextEdit, kLongSpeech);
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        Click(*FindControl(w, ui::kSpeakNowButton));
        QVERIFY(WaitUntil([&] { return !w.speechEngine->liveVoice.Empty(); }, kJobWaitMs));

        SetField(w, kTypedTextEdit, QStringLiteral("A short file."));
        Click(*FindControl(w, ui::kMakeAudioButton));
        const QString name = SavedFileName(Q(out.Path()), w.makeAudioBusy);
        QVERIFY(!name.isEmpty());
        QCOMPARE(w.speakNowBusy.load(), 1);
        QCOMPARE(w.Jobs().Running(), 2);
        FOLLOW_ALERT(kSavedTo + Q(out.Path()) + "//" + name, w.makeAudioBusy, 1);
        FOLLOW_ALERT("Raw Text to Audio Operation Ended", w.makeAudioBusy, 0);
        QVERIFY(WaitUntil([&] { return w.Jobs().Running() == 1; }, kJobWaitMs));
        QCOMPARE(w.speakNowBusy.load(), 1);
        EXPECT_SPEECH_FILE(out.Path() / name.toStdString(), true, 0.3, 6.0);

        Click(*FindControl(w, ui::kStopButton));
        FOLLOW_ALERT("Text to Speech operation Completed", w.speakNowBusy, 0);
        EXPECT_RUN_ENDED(w, w.speakNowBusy);
    }

    // Both runs take the same time stamp: the second file replaces the first. A run
    // pair that straddles a second boundary names two files and is tried again.
    void twoMakeAudioRunsWithinOneSecondLeaveOneFile() {
        TempDir out;
        const QString folder = Q(out.Path());
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kAudioFolderBrowse, folder);
        QWidget* button = FindControl(w, ui::kMakeAudioButton);
        const QString first = QStringLiteral("The first rendering says a good deal more.");
        const QString second = QStringLiteral("Short.");

        for (int attempt = 0; attempt < 5; ++attempt) {
            for (const QString& name : FileNames(out.Path()))
                fs::remove(out.Path() / name.toStdString());
            // Start just after the clock has turned to a new second.
            const std::time_t now = std::time(nullptr);
            QVERIFY(WaitUntil([&] { return std::time(nullptr) != now; }, 2000));

            SetField(w, kTypedTextEdit, first);
            Click(*button);
            const QString firstName = SavedFileName(folder, w.makeAudioBusy);
            QVERIFY(!firstName.isEmpty());
            QVERIFY(DismissAlert(kSavedTo + folder + "//" + firstName));
            // The flag drops before the closing message, so the button works again
            // while that message is still open; the file is complete by then.
            QVERIFY(WaitForAlert(QStringLiteral("Raw Text to Audio Operation Ended")));
            QCOMPARE(w.makeAudioBusy.load(), 0);
            const double firstSeconds =
                CheckAudioFile(out.Path() / firstName.toStdString()).seconds;

            SetField(w, kTypedTextEdit, second);
            Click(*button);
            const QString secondName = SavedFileName(folder, w.makeAudioBusy);
            QVERIFY(!secondName.isEmpty());
            QVERIFY(DismissAlert(kSavedTo + folder + "//" + secondName));
            QVERIFY(WaitForAlertCount(2));
            QCOMPARE(OpenAlertTexts(), QStringList(2, "Raw Text to Audio Operation Ended"));
            QCOMPARE(DismissAllAlerts(), 2);
            QVERIFY(WaitUntil([&] { return w.Jobs().Running() == 0; }, kJobWaitMs));

            if (firstName != secondName) continue;
            QCOMPARE(FileNames(out.Path()), QStringList{firstName});
            const AudioFileReport kept = CheckAudioFile(out.Path() / firstName.toStdString());
            QVERIFY2(kept.valid, kept.problem.c_str());
            QVERIFY2(kept.seconds < firstSeconds,
                     qPrintable(QStringLiteral("kept %1 s, first run %2 s")
                                    .arg(kept.seconds)
                                    .arg(firstSeconds)));
            return;
        }
        QSKIP("no two runs fell into the same second");
    }
};

QTEST_MAIN(JobsSpeakingTest)
#include "jobs_speaking_qtest.moc"
