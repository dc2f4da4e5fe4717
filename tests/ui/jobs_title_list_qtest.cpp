// "Audio list by Title Tag" run from a click on the window: which passages become
// files and under which numbers, the starting-number check, Stop between pairs, and
// the two closing messages with the busy flag at each. What each render got is read
// back from the recording service; a real run shows the files hold speech.

#include <QByteArray>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <optional>

#include "platform/process/spawn.h"
#include "render/render_pool.h"
#include "support/child_process.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kInvalidStart[] = "You have given invalid file name starting number";
constexpr char kBothPaths[] = "You Have to select both Text file and Output Folder path";
constexpr char kCompleted[] = "Audio list by given <title>...</title> tag completed";
constexpr char kNoTag[] = "There is no <title>...</title> tag found";
constexpr char kEnded[] = "Text File to Audio List By given Titles Operation Ended";

}  // namespace

class JobsTitleListTest : public GuiTestBase {
    Q_OBJECT

    TempDir in_;
    TempDir out_;

    CSonoleafDlg& Prepare(const std::shared_ptr<speech_service::SpeechService>& service,
                          const fs::path& source, const QString& start) {
        CSonoleafDlg& w = OpenWindow(service);
        SetField(w, kTextSourceBrowse, Q(source));
        SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        SetField(w, kStartNumberEdit, start);
        return w;
    }

    // Renders given as "number:text", from the files they went to.
    QStringList Renders() const {
        QStringList renders;
        const QString prefix = Q(out_.Path()) + QStringLiteral("//notes_");
        for (const auto& speak : speech->Speaks()) {
            QString path = QString::fromStdU16String(speak.outputPath);
            if (!path.startsWith(prefix) || !path.endsWith(QStringLiteral(".mp3"))) {
                renders << QStringLiteral("unexpected path ") + path;
                continue;
            }
            const QString number = path.mid(prefix.size()).chopped(4);
            renders << number + ":" + QString::fromStdU16String(speak.text);
        }
        return renders;
    }

  private slots:
    void init() {
        GuiTestBase::init();
        for (const QString& name : FileNames(out_.Path()))
            fs::remove(out_.Path() / name.toStdString());
    }

    void rendersEveryPair_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("renders");  // number:text, in order
        QTest::addColumn<QString>("message");
        QTest::newRow("Intro, One, middle, Two, end")
            << QByteArray("Intro<title>One</title>middle<title>Two</title>end") << ""
            << QStringList{"1:One", "2:Two"} << kCompleted;
        QTest::newRow("empty first pair uses up number 1")
            << QByteArray("<title></title><title>Text</title>") << "1" << QStringList{"2:Text"}
            << kCompleted;
        QTest::newRow("nested opening tag is text")
            << QByteArray("<title>first <title>second</title> after") << ""
            << QStringList{"1:first <title>second"} << kCompleted;
        QTest::newRow("a pair, then an unclosed tag")
            << QByteArray("<title>One</title> and <title>never closed") << ""
            << QStringList{"1:One"} << kCompleted;
        QTest::newRow("only an unclosed tag")
            << QByteArray("text <title>never closed") << "" << QStringList{} << kNoTag;
        QTest::newRow("closing tag before the first opening one")
            << QByteArray("stray</title> then <title>One</title>") << "" << QStringList{"1:One"}
            << kCompleted;
        QTest::newRow("other letter cases, blanks, attributes")
            << QByteArray(
                   "<Title>a</Title> <TITLE>b</TITLE> <title >c</title > "
                   "<title class=x>d</title>")
            << "" << QStringList{} << kNoTag;
        QTest::newRow("a passage over several lines")
            << QByteArray("<title>line one\r\nline two\n</title>") << ""
            << QStringList{"1:line one\r\nline two\n"} << kCompleted;
        QTest::newRow("no tags at all")
            << QByteArray("just words") << "" << QStringList{} << kNoTag;
        QTest::newRow("empty file") << QByteArray() << "" << QStringList{} << kNoTag;
        QTest::newRow("starting at 5")
            << QByteArray("<title>a</title><title>b</title><title>c</title>") << "5"
            << QStringList{"5:a", "6:b", "7:c"} << kCompleted;
        QTest::newRow("007 is 7") << QByteArray("<title>a</title><title>b</title>") << "007"
                                  << QStringList{"7:a", "8:b"} << kCompleted;
        QTest::newRow("2^25 is accepted")
            << QByteArray("<title>a</title><title>b</title>") << "33554432"
            << QStringList{"33554432:a", "33554433:b"} << kCompleted;
    }
    void rendersEveryPair() {
        QFETCH(QByteArray, content);
        QFETCH(QString, start);
        QFETCH(QStringList, renders);
        QFETCH(QString, message);
        const fs::path source = in_.Path() / "notes.txt";
        WriteBytes(source, content.toStdString());
        CSonoleafDlg& w = Prepare(speech, source, start);

        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(message, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(Renders(), renders);
        QStringList names;
        for (const QString& render : renders) {
            names << QStringLiteral("notes_%1.mp3").arg(render.section(':', 0, 0));
        }
        names.sort();
        QCOMPARE(FileNames(out_.Path()), names);
    }

    void rejectsBadStartingNumbers_data() {
        QTest::addColumn<QString>("start");
        QTest::newRow("0") << "0";
        QTest::newRow("-1") << "-1";
        QTest::newRow("+5") << "+5";
        QTest::newRow("12a") << "12a";
        QTest::newRow("blank before") << " 5";
        QTest::newRow("blank after") << "5 ";
        QTest::newRow("only a blank") << " ";
        QTest::newRow("2^25 + 1") << "33554433";
        QTest::newRow("twenty nines") << "99999999999999999999";
    }
    void rejectsBadStartingNumbers() {
        QFETCH(QString, start);
        const fs::path source = in_.Path() / "notes.txt";
        WriteBytes(source, "<title>One</title>");
        CSonoleafDlg& w = Prepare(speech, source, start);
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kInvalidStart, w.titleListBusy, 1);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(speech->CallCount("CreateVoice"), 0);
        QVERIFY(FileNames(out_.Path()).isEmpty());
    }

    // The starting number is checked before the paths.
    void checksTheNumberBeforeThePaths_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("withSource");
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad number, no paths") << "x" << false << false << kInvalidStart;
        QTest::newRow("empty number, no paths") << "" << false << false << kBothPaths;
        QTest::newRow("no folder") << "3" << true << false << kBothPaths;
        QTest::newRow("no source") << "3" << false << true << kBothPaths;
    }
    void checksTheNumberBeforeThePaths() {
        QFETCH(QString, start);
        QFETCH(bool, withSource);
        QFETCH(bool, withFolder);
        QFETCH(QString, message);
        const fs::path source = in_.Path() / "notes.txt";
        WriteBytes(source, "<title>One</title>");
        CSonoleafDlg& w = OpenWindow();
        SetField(w, kStartNumberEdit, start);
        if (withSource) SetField(w, kTextSourceBrowse, Q(source));
        if (withFolder) SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(message, w.titleListBusy, 1);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(speech->CallCount("CreateVoice"), 0);
    }

    // Names: no full stop in the path gives the empty stem; a missing source counts
    // as a file without tags.
    void sourceWithoutFullStopAndMissingSource() {
        const fs::path source = in_.Path() / "notes";
        WriteBytes(source, "<title>a</title><title>b</title>");
        CSonoleafDlg& w = Prepare(speech, source, QString());
        QVERIFY(ChooseSetting(w, ui::kWavRadio));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kCompleted, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"_1.wav", "_2.wav"}));

        SetField(w, kTextSourceBrowse, Q(in_.Path() / "no such notes.txt"));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kNoTag, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(speech->SpeakCount(), 2);
    }

    // A source that is no readable file counts as one without tags.
    void unreadableSourceHasNoTags_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a named pipe no one writes to") << "pipe";
    }
    void unreadableSourceHasNoTags() {
        QFETCH(QString, kind);
        const fs::path source = in_.Path() / "source.txt";
        fs::remove_all(source);
        std::optional<NamedPipe> pipe;
        if (kind == "folder") fs::create_directory(source);
        if (kind == "pipe") pipe.emplace(source);
        CSonoleafDlg& w = Prepare(speech, source, QString());
        Click(*FindControl(w, ui::kTitleListButton));
        const QString failure = FollowAlert(kNoTag, w.titleListBusy, 1, kWaitMs);
        pipe.reset();  // lets a job go that waits for a writer
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(speech->SpeakCount(), 0);
    }

    // Stop while the first pair is spoken: the scan ends after it, the found flag
    // makes the message the completion one.
    void stopEndsTheScanAfterThePairBeingRendered() {
        const fs::path source = in_.Path() / "notes.txt";
        WriteBytes(source, "<title>a</title><title>b</title><title>c</title>");
        CSonoleafDlg& w = Prepare(speech, source, QString());
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, ui::kTitleListButton));
        QVERIFY(WaitForBlockedSpeaks(1));
        Click(*FindControl(w, ui::kStopButton));
        FOLLOW_ALERT(kCompleted, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(Renders(), QStringList{"1:a"});
    }

    // With the real service only the passages are spoken: each file is short speech.
    void realRunWritesSpeech() {
        const fs::path source = in_.Path() / "notes.txt";
        WriteBytes(source,
                   "This introduction is long and should never be heard by anyone at all. "
                   "<title>One</title> This middle part is long as well and is never spoken. "
                   "<title>Two</title> And the end is not spoken either, however long it is.");
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QString());
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kCompleted, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"notes_1.mp3", "notes_2.mp3"}));
        for (const QString& name : FileNames(out_.Path())) {
            // One word: well under the seconds that any of the long sentences takes.
            EXPECT_SPEECH_FILE(out_.Path() / name.toStdString(), true, 0.1, 2.0);
        }
    }

    // The helper killed under a list (as the memory killer kills the biggest): the
    // window lives on, as the program sets itself up, and the list ends whole.
    void killedHelperLeavesTheWindowAndWholeFiles() {
        process::SurviveBrokenPipes();
        const fs::path source = in_.Path() / "notes.txt";
        std::string text;
        for (const char* title : {"One", "Two"}) {
            text += std::string("<title>") + title + "\n\n";
            for (int i = 0; i < 40; ++i)
                text += "The river runs on past sentence number " + std::to_string(i) + ". ";
            text += "</title>\n";
        }
        WriteBytes(source, text);
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QString());
        w.speechEngine->EnableRenderHelpers(2);
        const pid_t helper = w.speechEngine->RenderHelpers()->HelperPid();
        Click(*FindControl(w, ui::kTitleListButton));
        QVERIFY(QTest::qWaitFor([&] { return !ChildrenOf(helper).empty(); }, 20000));
        ::kill(helper, SIGKILL);
        FOLLOW_ALERT(kCompleted, w.titleListBusy, 1);
        FOLLOW_ALERT(kEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"notes_1.mp3", "notes_2.mp3"}));
        for (const QString& name : FileNames(out_.Path()))
            EXPECT_SPEECH_FILE(out_.Path() / name.toStdString(), true, 60.0, 600.0);
    }
};

QTEST_MAIN(JobsTitleListTest)
#include "jobs_title_list_qtest.moc"
