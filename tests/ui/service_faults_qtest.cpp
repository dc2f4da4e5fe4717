// What the user sees through the window when the machine lets the program down: no
// PulseAudio server, no working speech engine, and a PDF converter that hangs while the
// window is closed. Every job still ends with its usual messages, nothing written is
// broken, and the window's close does not wait for the converter.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "jobs/job_host.h"
#include "pdf/minimal_pdf.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "support/audio_file_check.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr int kJobMs = 30000;
constexpr char kChildVariable[] = "SONOLEAF_FAULT_CHILD";

QString Native(const fs::path& path) {
    return QString::fromStdU16String(path.u16string());
}

}  // namespace

class ServiceFaultsTest : public GuiTestBase {
    Q_OBJECT

    TempDir dir;
    fs::path Out() const { return dir.Path() / "out"; }

    CSonoleafDlg& OpenFilledWindow(std::shared_ptr<speech_service::SpeechService> service) {
        fs::create_directories(Out());
        std::ofstream(dir.Path() / "book.txt") << "<title>One</title> and <title>Two</title>";
        window = std::make_unique<CSonoleafDlg>(std::move(service));
        window->show();
        QCoreApplication::processEvents();
        CSonoleafDlg& w = *window;
        FindControlAs<QPlainTextEdit>(w, kTypedTextEdit)->setPlainText(QStringLiteral("Hello."));
        FindControlAs<QLineEdit>(w, kTextSourceBrowse)->setText(Native(dir.Path() / "book.txt"));
        FindControlAs<QLineEdit>(w, kAudioFolderBrowse)->setText(Native(Out()));
        FindControlAs<QLineEdit>(w, kCharLengthEdit)->setText(QStringLiteral("10"));
        return w;
    }

    // Presses the job's button and dismisses its alerts until it has ended; the texts
    // in order.
    QStringList RunJob(CSonoleafDlg& w, int button, Job job) {
        QStringList shown;
        Click(*FindControl(w, button));
        const bool ended = WaitUntil(
            [&] {
                for (QMessageBox* box : OpenAlerts()) {
                    shown << MessageText(*box);
                    ClickOk(*box);
                }
                return w.BusyFlag(job).load() == 0 && w.Jobs().Running() == 0 &&
                       OpenAlerts().isEmpty();
            },
            kJobMs);
        if (!ended) shown << QStringLiteral("<job did not end>");
        return shown;
    }

  private slots:
    void missingPartsOfTheMachine_data() {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::newRow("no audio server") << "PULSE_SERVER"
                                         << "unix:/nonexistent/pulse";
        QTest::newRow("no voice data") << "SONOLEAF_ESPEAK_DATA"
                                       << "/nonexistent/espeak-ng-data";
    }
    // Each case needs its own process: the synthesizer reads its data once.
    void missingPartsOfTheMachine() {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(variable, value);
        env.insert(QString::fromLatin1(kChildVariable), variable);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("jobsInChild")});
        QVERIFY(child.waitForStarted(kWaitMs));
        const bool finished = child.waitForFinished(120000);
        if (!finished) child.kill();
        child.waitForFinished(kWaitMs);
        const QByteArray output = child.readAll();
        QVERIFY2(finished, output.constData());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : ServiceFaultsTest::jobsInChild()"), output.constData());
    }

    void jobsInChild() {
        const QString missing = qEnvironmentVariable(kChildVariable);
        if (missing.isEmpty()) QSKIP("runs as the child of missingPartsOfTheMachine");
        const bool noVoices = missing == QStringLiteral("SONOLEAF_ESPEAK_DATA");
        // Without eSpeak NG's data Flite still speaks; a service of eSpeak NG alone
        // shows what the window does when no engine works.
        CSonoleafDlg& w = OpenFilledWindow(
            noVoices ? speech_service::CreateSpeechService({speech_service::EspeakEngine()})
                     : speech_service::CreateSystemSpeechService());
        const QString out = Native(Out());
        const QString stamp = QStringLiteral(R"(\d{6}_[A-Za-z]+_[A-Za-z]+_\d{2}_\d{4})");

        struct Step {
            int button;
            Job job;
            QStringList patterns;
        };
        // Without voices nothing can be saved, and the messages say so; without a
        // sound server the files are written as usual.
        // The true reason, also when only one of the synthesizers lacks its data.
        const QString why = QStringLiteral(
            R"(\r\nNo speech synthesizer could start: eSpeak NG offers no voice: its data )"
            R"(folder /nonexistent/espeak-ng-data does not exist\.)");
        // Heard nothing: the box after the job's own says why.
        const QString unheard =
            QStringLiteral(R"(The text could not be spoken:\r\n)") +
            (noVoices ? why.mid(4)
                      : QStringLiteral(R"(No sound output could be reached \(.*\)\.)"));
        const QString saved =
            QString::fromLatin1(noVoices ? "File could not be saved to: " : "File is saved to: ") +
            QRegularExpression::escape(out) + QStringLiteral("//");
        const QString fileEnd = noVoices ? why : QString();
        const QString listEnd = noVoices ? R"(\r\n\d+ of \d+ audio files could not be saved to: )" +
                                               QRegularExpression::escape(out) + why
                                         : QString();
        const Step steps[] = {
            {ui::kSpeakNowButton, Job::SpeakNow, {"Text to Speech operation Completed", unheard}},
            {ui::kSpeakFileButton,
             Job::SpeakFile,
             {"Text File to Speech Operation Ended", unheard}},
            {ui::kMakeAudioButton,
             Job::MakeAudio,
             {saved + stamp + R"(\.mp3)" + fileEnd, "Raw Text to Audio Operation Ended"}},
            {ui::kFileToAudioButton,
             Job::FileToAudio,
             {saved + R"(book\.mp3)" + fileEnd, "Text File to Audio Operation Ended"}},
            {ui::kLengthListButton,
             Job::LengthList,
             {"Text file to Audio List operation done" + listEnd,
              "Text File to Audio List Operation Ended"}},
            {ui::kTitleListButton,
             Job::TitleList,
             {R"(Audio list by given <title>\.\.\.</title> tag completed)" + listEnd,
              "Text File to Audio List By given Titles Operation Ended"}},
        };
        for (const Step& step : steps) {
            const QStringList shown = RunJob(w, step.button, step.job);
            QCOMPARE(shown.size(), step.patterns.size());
            for (qsizetype i = 0; i < shown.size(); ++i) {
                const QRegularExpression pattern(QStringLiteral("^") + step.patterns[i] +
                                                 QStringLiteral("$"));
                QVERIFY2(pattern.match(shown[i]).hasMatch(), qPrintable(shown[i]));
            }
        }
        QCOMPARE(speech_service::LiveSystemVoices(), 0);

        // Without a sound server files are still written; without voices there are none.
        const auto files = AudioFilesIn(Out());
        if (noVoices) {
            QVERIFY(files.empty());
        } else {
            // Make Audio, the text file and 5 chunks of at most 10 bytes; the two
            // passages reuse the first two chunks' names.
            QCOMPARE(files.size(), std::size_t{7});
            for (const auto& file : files) {
                const auto report = CheckAudioFile(file);
                QVERIFY2(report.valid, report.problem.c_str());
                QVERIFY(report.mp3);
            }
        }
        w.close();
        QCOMPARE(w.Jobs().Running(), 0);
    }

    // The user closes the window while the converter works on: the window's end does
    // not wait for it, and it finishes its file on its own.
    void closingDoesNotWaitForAConverterThatTakesLong() {
        const fs::path work = dir.Path() / "work";
        fs::create_directories(work);
        fs::create_directories(dir.Path() / "text");
        std::ofstream(dir.Path() / "report.pdf") << MinimalPdf("x");
        const fs::path converter = work / "pdftotext";
        std::ofstream(converter) << "#!/bin/sh\n: > '" << (dir.Path() / "started").string()
                                 << "'\nsleep 4\nprintf late > \"$2\"\n";
        fs::permissions(converter, fs::perms::owner_all);
        const fs::path previous = fs::current_path();
        fs::current_path(work);

        CSonoleafDlg& w = OpenWindow();
        FindControlAs<QLineEdit>(w, kPdfSourceBrowse)->setText(Native(dir.Path() / "report.pdf"));
        FindControlAs<QLineEdit>(w, kTextFolderBrowse)->setText(Native(dir.Path() / "text"));
        Click(*FindControl(w, ui::kConvertPdfButton));
        const bool started = WaitUntil([&] { return fs::exists(dir.Path() / "started"); });
        QElapsedTimer closing;
        closing.start();
        w.close();
        const qint64 closeMs = closing.elapsed();
        fs::current_path(previous);
        QVERIFY(started);
        QVERIFY2(closeMs < 3000, qPrintable(QStringLiteral("closing took %1 ms").arg(closeMs)));
        QCOMPARE(w.Jobs().Running(), 0);
        QCOMPARE(w.pdfToTextBusy.load(), 0);
        const fs::path text = dir.Path() / "text" / "report.txt";
        QVERIFY(WaitUntil([&] { return fs::exists(text) && fs::file_size(text) == 4; }, 15000));
    }
};

QTEST_MAIN(ServiceFaultsTest)
#include "service_faults_qtest.moc"
