// All eight jobs at once through the real window and the real speech service, with
// "Stop TTS Process" pressed every 50 ms and the alerts dismissed as they come, in
// rounds; then the window closed while jobs still run. Every job must come to its
// end with its flag down, no voice may outlive its operation, every audio file left
// must be whole, and the process must end soon after the close.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "jobs/job_host.h"
#include "lists/list_plan.h"
#include "pdf/minimal_pdf.h"
#include "platform/speech/speech_service.h"
#include "speech/speech_engine.h"
#include "support/audio_file_check.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

constexpr int kRounds = 20;
constexpr int kBurstMs = 600;
constexpr int kStopEveryMs = 50;
constexpr int kSettleMs = 60000;  // a round's jobs end long before this
constexpr int kCloseLimitMs = 5000;

constexpr int kJobButtons[] = {
    ui::kVoiceSettingButton, ui::kConvertPdfButton,  ui::kSpeakNowButton,   ui::kMakeAudioButton,
    ui::kSpeakFileButton,    ui::kFileToAudioButton, ui::kLengthListButton, ui::kTitleListButton};
constexpr Job kJobs[] = {Job::VoiceSetting, Job::PdfToText,   Job::SpeakNow,   Job::MakeAudio,
                         Job::SpeakFile,    Job::FileToAudio, Job::LengthList, Job::TitleList};

// Aborts the process with a message unless disarmed in time: a deadlock in a step
// that cannot be given a timeout of its own (closing the window joins every job)
// must fail the run rather than hang it.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, const char* what)
        : thread_([this, limit, what] {
              std::unique_lock lock(mutex_);
              if (!disarmed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "stress: %s did not end within %lld s\n", what,
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        disarmed_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_;
};

int LiveEngineVoices(SpeechEngine& engine) {
    return static_cast<int>(engine.liveVoice.Size() + engine.renderVoice.Size() +
                            engine.fileSpeakVoice.Size() + engine.fileRenderVoice.Size());
}

}  // namespace

class StressTest : public GuiTestBase {
    Q_OBJECT

    TempDir dir;
    std::filesystem::path Out() const { return dir.Path() / "audio out"; }
    std::filesystem::path TextOut() const { return dir.Path() / "text out"; }

    // A window on the real service with every field filled: short texts, so that a
    // job that is not stopped still ends soon.
    CSonoleafDlg& OpenFilledWindow() {
        std::filesystem::create_directories(Out());
        std::filesystem::create_directories(TextOut());
        const auto source = dir.Path() / "book.txt";
        std::ofstream(source, std::ios::binary)
            << "<title>One</title> middle <title>Two words</title> end.";
        const auto pdf = dir.Path() / "book.pdf";
        std::ofstream(pdf, std::ios::binary) << MinimalPdf("Stress test text");

        window = std::make_unique<CSonoleafDlg>(speech_service::CreateSystemSpeechService());
        window->show();
        QCoreApplication::processEvents();
        CSonoleafDlg& w = *window;
        FindControlAs<QPlainTextEdit>(w, kTypedTextEdit)->setPlainText(QStringLiteral("Hi there."));
        auto set = [&](int id, const std::filesystem::path& path) {
            FindControlAs<QLineEdit>(w, id)->setText(QString::fromStdU16String(path.u16string()));
        };
        set(kPdfSourceBrowse, pdf);
        set(kTextFolderBrowse, TextOut());
        set(kTextSourceBrowse, source);
        set(kAudioFolderBrowse, Out());
        FindControlAs<QLineEdit>(w, kCharLengthEdit)->setText(QStringLiteral("20"));
        FindControlAs<QLineEdit>(w, kStartNumberEdit)->setText(QStringLiteral("1"));
        return w;
    }

    void LaunchAll(CSonoleafDlg& w) {
        for (int id : kJobButtons) Click(*FindControl(w, id));
    }

    // Presses OK on every open alert, remembering its text; closes the settings dialog
    // with the audio type of the round, so that both kinds of file are written.
    void DismissWhatIsOpen(CSonoleafDlg& w, bool wav, std::map<QString, int>& seen) {
        for (QMessageBox* box : OpenAlerts()) {
            ++seen[MessageText(*box)];
            ClickOk(*box);
        }
        if (w.voiceSetting && w.voiceSetting->isVisible()) {
            if (auto* radio = FindControlAs<QRadioButton>(*w.voiceSetting,
                                                          wav ? ui::kWavRadio : ui::kMp3Radio))
                radio->setChecked(true);
            Click(*FindControl(*w.voiceSetting, 1));
        }
    }

    // Once no job thread runs, no flag may be up: a thread is the only writer of its
    // flag after the launch, so a flag still 1 here was left up by a thread that ended.
    void CheckIdle(CSonoleafDlg& w, const char* when) {
        for (Job job : kJobs) {
            QVERIFY2(w.BusyFlag(job).load() == 0,
                     qPrintable(QStringLiteral("%1: flag of job %2 still up")
                                    .arg(QString::fromUtf8(when))
                                    .arg(static_cast<int>(job))));
        }
        if (w.speechEngine) QCOMPARE(LiveEngineVoices(*w.speechEngine), 0);
        QCOMPARE(speech_service::LiveSystemVoices(), 0);
    }

    void CheckAudioFiles(int& count) {
        for (const auto& file : AudioFilesIn(Out())) {
            const AudioFileReport report = CheckAudioFile(file);
            QVERIFY2(report.valid, qPrintable(QString::fromStdString(file.filename().string() +
                                                                     ": " + report.problem)));
            ++count;
        }
    }

  private slots:
    void roundsOfAllJobsWithStopThenCloseWhileBusy() {
        CSonoleafDlg& w = OpenFilledWindow();
        QWidget* stop = FindControl(w, ui::kStopButton);
        int filesChecked = 0;
        std::map<QString, int> seen;
        for (int round = 0; round < kRounds; ++round) {
            const bool wav = round % 2 == 1;
            LaunchAll(w);
            QElapsedTimer burst;
            burst.start();
            while (burst.elapsed() < kBurstMs) {
                Click(*stop);
                DismissWhatIsOpen(w, wav, seen);
                QTest::qWait(kStopEveryMs);
            }
            QVERIFY2(WaitUntil(
                         [&] {
                             DismissWhatIsOpen(w, wav, seen);
                             return w.Jobs().Running() == 0 && OpenAlerts().isEmpty();
                         },
                         kSettleMs),
                     qPrintable(QStringLiteral("round %1: jobs still running").arg(round)));
            CheckIdle(w, "after a round");
            CheckAudioFiles(filesChecked);
            if (QTest::currentTestFailed()) return;
        }

        // Every run of every job came to its end and said so, whatever Stop did to it; of
        // the two lists of one source and folder, one still running when the other
        // started was refused, and said so.
        for (const char* closing :
             {"Text to Speech operation Completed", "Raw Text to Audio Operation Ended",
              "Text File to Speech Operation Ended", "Text File to Audio Operation Ended"}) {
            QCOMPARE(seen[QString::fromUtf8(closing)], kRounds);
        }
        // A list ends with its operation's own word or, refused, with the refusal alone.
        QCOMPARE(seen[QStringLiteral("Text file to Audio List operation done")] +
                     seen[QStringLiteral("Audio list by given <title>...</title> tag completed")] +
                     seen[QStringLiteral("There is no <title>...</title> tag found")] +
                     seen[QString::fromUtf8(kListUnderWayMessage)],
                 2 * kRounds);
        QVERIFY(seen[QStringLiteral("Text File to Audio List Operation Ended")] <= kRounds);
        QVERIFY(seen[QStringLiteral("Text File to Audio List By given Titles Operation Ended")] <=
                kRounds);
        const QString converted =
            QStringLiteral("Converted File  is Saved to: \"%1\"")
                .arg(QString::fromStdU16String((TextOut() / "book.txt").u16string()));
        QCOMPARE(seen[converted], kRounds);
        QVERIFY(filesChecked > 0);
        qInfo("%d rounds, %d audio files checked", kRounds, filesChecked);

        // Close while they run: the close returns soon, having ended every job.
        LaunchAll(w);
        QTest::qWait(150);
        QElapsedTimer closing;
        closing.start();
        {
            const Watchdog guard(std::chrono::seconds(60), "closing the window");
            w.close();
        }
        QVERIFY2(closing.elapsed() < kCloseLimitMs,
                 qPrintable(QStringLiteral("closing took %1 ms").arg(closing.elapsed())));
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Jobs().Running(), 0);
        CheckIdle(w, "after the close");
        if (QTest::currentTestFailed()) return;
        QVERIFY(OpenMessageBoxes().isEmpty());
        int afterClose = 0;
        CheckAudioFiles(afterClose);
    }

    // The whole program's end: a process that closes its window while all jobs run
    // exits soon after, normally.
    void processExitsSoonAfterClosingWhileBusy() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SONOLEAF_STRESS_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("closeWhileBusyInChild")});
        QVERIFY(child.waitForStarted(kWaitMs));
        QByteArray output;
        QElapsedTimer sinceClose;
        bool closing = false;
        QElapsedTimer total;
        total.start();
        while (child.state() != QProcess::NotRunning && total.elapsed() < 60000) {
            child.waitForReadyRead(50);
            output += child.readAll();
            if (!closing && output.contains("closing the window now")) {
                closing = true;
                sinceClose.start();
            }
            if (closing && sinceClose.elapsed() > kCloseLimitMs) break;
        }
        output += child.readAll();
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished(kWaitMs);
            QFAIL(qPrintable(QStringLiteral("the child did not exit:\n") +
                             QString::fromUtf8(output)));
        }
        QVERIFY2(closing, output.constData());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, output.constData());
        qInfo("process ended %lld ms after the close began", sinceClose.elapsed());
    }

    // Run only as the child of the test above.
    void closeWhileBusyInChild() {
        if (qEnvironmentVariableIsEmpty("SONOLEAF_STRESS_CHILD"))
            QSKIP("runs as the child of processExitsSoonAfterClosingWhileBusy");
        CSonoleafDlg& w = OpenFilledWindow();
        LaunchAll(w);
        QVERIFY(WaitUntil([&] { return w.Jobs().Running() == 8; }, kWaitMs));
        QTest::qWait(200);
        std::printf("closing the window now\n");
        std::fflush(stdout);
        w.close();
        QCOMPARE(w.Jobs().Running(), 0);
    }
};

QTEST_MAIN(StressTest)
#include "stress_qtest.moc"
