// The window and its jobs: a busy job's button starts nothing, Stop reaches a
// speaking job from the window's thread, jobs reach the window's fields and its
// number check through the GUI thread, and closing the window ends every job.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <algorithm>

#include "jobs/alert.h"
#include "support/gui_test_base.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

bool Logged(const RecordingSpeechService& service, const std::string& entry) {
    const auto log = service.Log();
    return std::find(log.begin(), log.end(), entry) != log.end();
}

}  // namespace

class WindowJobsTest : public GuiTestBase {
    Q_OBJECT

    void TypeText(const QString& text) {
        auto* typed = FindControlAs<QPlainTextEdit>(*window, 1002);
        typed->setPlainText(text);
    }

  private slots:
    void secondClickOnBusyJobStartsNothing() {
        CSonoleafDlg& w = OpenWindow();
        TypeText(QStringLiteral("a long story"));
        speech->SetSpeakBlocks(true);
        QWidget* speakNow = FindControl(w, 1003);
        Click(*speakNow);
        QVERIFY(WaitForBlockedSpeaks(1));
        QCOMPARE(w.speakNowBusy.load(), 1);
        Click(*speakNow);
        Click(*speakNow);
        QTest::qWait(50);
        QCOMPARE(speech->SpeakCount(), 1);
        QCOMPARE(w.Jobs().Running(), 1);

        // Another job runs beside it.
        Click(*FindControl(w, 1014));  // "Make Audio" with no folder
        QVERIFY(DismissAlert(QStringLiteral("OutputFolder Path is not selected")));

        speech->SetSpeakBlocks(false);
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
        QVERIFY(WaitForFlag(w.speakNowBusy, 0));
        Click(*speakNow);  // works again
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
        QCOMPARE(speech->SpeakCount(), 2);
    }

    void stopPausesTheSpeakingJob() {
        CSonoleafDlg& w = OpenWindow();
        TypeText(QStringLiteral("words words words"));
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, 1003));
        QVERIFY(WaitForBlockedSpeaks(1));
        Click(*FindControl(w, 1033));
        QVERIFY(WaitForFlag(w.speakNowBusy, 0));
        QVERIFY(Logged(*speech, "Pause"));
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
    }

    void jobSeesTheFieldsAsTyped() {
        CSonoleafDlg& w = OpenWindow();
        TypeText(QStringLiteral("Hello \u0141\u00f3d\u017a\nsecond line"));
        Click(*FindControl(w, 1003));
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
        const auto speaks = speech->Speaks();
        QCOMPARE(speaks.size(), std::size_t{1});
        QCOMPARE(QString::fromStdU16String(speaks[0].text),
                 QStringLiteral("Hello \u0141\u00f3d\u017a\nsecond line"));
        QCOMPARE(speaks[0].volume, std::uint16_t{80});
        QCOMPARE(speaks[0].rate, -2);
    }

    void speakNowChecksTheLengthField() {
        CSonoleafDlg& w = OpenWindow();
        FindControlAs<QLineEdit>(w, 1034)->setText(QStringLiteral("abc"));
        TypeText(QStringLiteral("hi"));
        QString caption;
        auto seen = WhenShown<QMessageBox>(
            [&](QMessageBox* box) {
                caption = box->windowTitle();
                ClickOk(*box);
            },
            [](QMessageBox* box) {
                return MessageText(*box) == QStringLiteral("Please enter an integer.");
            });
        Click(*FindControl(w, 1003));
        QVERIFY(WaitUntil([&] { return seen->load(); }));
        QVERIFY(caption != QStringLiteral("Message Box for Alert"));
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
        QCOMPARE(speech->SpeakCount(), 1);  // the job goes on regardless
        QVERIFY(w.isVisible());
    }

    void settingsChosenWithOkReachTheNextJob() {
        CSonoleafDlg& w = OpenWindow();
        Click(*FindControl(w, 1004));
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        FindControlAs<QSlider>(*w.voiceSetting, 1031)->setValue(40);
        Click(*FindControl(*w.voiceSetting, 1027));
        Click(*FindControl(*w.voiceSetting, 1));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
        TypeText(QStringLiteral("hi"));
        Click(*FindControl(w, 1003));
        QVERIFY(DismissAlert(QStringLiteral("Text to Speech operation Completed")));
        const auto speaks = speech->Speaks();
        QCOMPARE(speaks.size(), std::size_t{1});
        QCOMPARE(speaks[0].volume, std::uint16_t{40});
        QCOMPARE(QString::fromStdU16String(speaks[0].tokenName), QStringLiteral("Recorded Female"));
    }

    // Closing while jobs run: speech stops, boxes and the settings dialog close, every
    // job thread is joined, then engine and profile are released.
    void closingEndsEveryJob_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("close box") << "close";
        QTest::newRow("Esc") << "escape";
        QTest::newRow("Enter") << "enter";
    }
    void closingEndsEveryJob() {
        QFETCH(QString, how);
        CSonoleafDlg& w = OpenWindow();
        TypeText(QStringLiteral("a very long book"));
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, 1003));  // speaking
        QVERIFY(WaitForBlockedSpeaks(1));
        Click(*FindControl(w, 1004));  // settings dialog open
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        Click(*FindControl(w, 1012));  // alert open: no source file
        QVERIFY(
            WaitForAlert(QStringLiteral(
                "Text File Input Path is not set\r\nPlease set Text file input path correctly")) !=
            nullptr);
        QCOMPARE(w.Jobs().Running(), 3);

        QWidget* field = FindControl(w, 1035);
        field->setFocus();
        if (how == "close") {
            w.close();
        } else {
            PressKey(*field, how == "escape" ? Qt::Key_Escape : Qt::Key_Return);
        }
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Jobs().Running(), 0);
        QVERIFY(Logged(*speech, "Pause"));
        QVERIFY(OpenMessageBoxes().isEmpty());
        QCOMPARE(w.voiceSetting, nullptr);
        QCOMPARE(w.speechEngine, nullptr);
        QCOMPARE(speech->LiveVoices(), 0);
        // The buttons start nothing once the window has closed.
        Click(*FindControl(w, 1003));
        QCOMPARE(w.Jobs().Running(), 0);
    }
};

QTEST_MAIN(WindowJobsTest)
#include "window_jobs_qtest.moc"
