// The activity area of the main window: a row per running job with the job's caption
// and a bar, driven by clicks on the window; rows leave with their jobs; the voice
// settings make no row; the area sits in free space and leaves the template's focus
// order alone; the bars are progress bars to a screen reader, named by their job.

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <filesystem>

#include "speech/speech_engine.h"
#include "support/audio_file_check.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/template_checks.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kListCaption[] = "Convert Text file to Audio List";
constexpr char kListDone[] = "Text file to Audio List operation done";
constexpr char kListEnded[] = "Text File to Audio List Operation Ended";

QWidget* Area(const CSonoleafDlg& w) {
    return w.findChild<QWidget*>(QStringLiteral("activityArea"));
}

QList<QProgressBar*> Bars(const CSonoleafDlg& w) {
    return Area(w)->findChildren<QProgressBar*>(QStringLiteral("activityBar"));
}

QProgressBar* BarOf(const CSonoleafDlg& w, const QString& caption) {
    for (QProgressBar* bar : Bars(w)) {
        if (bar->accessibleName() == caption && bar->isVisible()) return bar;
    }
    return nullptr;
}

QString StatusBeside(const QProgressBar& bar) {
    const auto* status = bar.parentWidget()->findChild<QLabel*>(QStringLiteral("activityStatus"));
    return status != nullptr ? status->text() : QString();
}

bool ShowsIdle(const CSonoleafDlg& w) {
    const auto* idle = Area(w)->findChild<QLabel*>(QStringLiteral("activityIdle"));
    return idle != nullptr && idle->isVisible() &&
           idle->text() == QStringLiteral("No job running") && Bars(w).isEmpty();
}

}  // namespace

class ActivityAreaTest : public GuiTestBase {
    Q_OBJECT

    TempDir in_;
    TempDir out_;

  private slots:
    // A list held at its first file shows its row; the bar has risen by the closing
    // message, and the row goes with the job.
    void listShowsARisingBarAndClearsAfter() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrstuvwxyz0123");
        CSonoleafDlg& w = OpenWindow();
        QVERIFY(ShowsIdle(w));
        FillLengthList(w, source, out_.Path());
        speech->SetSpeakBlocks(true);

        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitForBlockedSpeaks(1));
        // The first reading may come before the render has told its length.
        QVERIFY(WaitUntil([&] {
            QProgressBar* bar = BarOf(w, kListCaption);
            return bar != nullptr && bar->maximum() > 0;
        }));
        QCOMPARE(Bars(w).size(), 1);
        QProgressBar* bar = BarOf(w, kListCaption);
        const auto* caption = bar->parentWidget()->findChild<QLabel*>("activityCaption");
        QVERIFY(caption != nullptr);
        QCOMPARE(caption->text(), QString(kListCaption));
        QVERIFY(!Area(w)->findChild<QLabel*>("activityIdle")->isVisible());
        const int held = bar->value();
        QVERIFY(bar->maximum() > 0);
        QVERIFY2(held < bar->maximum(), qPrintable(QString::number(held)));

        speech->SetSpeakBlocks(false);
        QVERIFY(WaitUntil([] { return !OpenAlerts().isEmpty(); }, kJobWaitMs));
        // The job waits for its closing messages, its row still up; by now it is done.
        QVERIFY(WaitUntil([&] {
            QProgressBar* now = BarOf(w, kListCaption);
            return now != nullptr && now->value() == now->maximum();
        }));
        QVERIFY(BarOf(w, kListCaption)->value() > held);
        FOLLOW_ALERT(kListDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kListEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QVERIFY(WaitUntil([&] { return ShowsIdle(w); }));
    }

    // With the real voice the render counts the text spoken: all of it by its end.
    void renderCountsTheTextSpoken() {
        const fs::path source = in_.Path() / "story.txt";
        WriteBytes(source,
                   "The river ran on past the mill. The bridge stood old and grey. "
                   "Nobody crossed it that night.");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTextSourceBrowse, Q(source));
        SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        const QString caption = QStringLiteral("Convert to Audio from Text file");
        Click(*FindControl(w, ui::kFileToAudioButton));
        QVERIFY(WaitUntil([] { return !OpenAlerts().isEmpty(); }, kJobWaitMs));
        QVERIFY(WaitUntil([&] {
            QProgressBar* bar = BarOf(w, caption);
            return bar != nullptr && bar->value() == bar->maximum() && bar->maximum() > 0;
        }));
        QCOMPARE(StatusBeside(*BarOf(w, caption)), QStringLiteral("100% of the text spoken"));
        QVERIFY(WaitUntil(
            [&] {
                DismissAllAlerts();  // where the file went, then the closing message
                return w.Jobs().Running() == 0;
            },
            kJobWaitMs));
        QVERIFY(WaitUntil([&] { return ShowsIdle(w); }));
    }

    // A long render on the render helpers: the bar rises in steps while the segments
    // come back, and the file is saved whole.
    void renderOnEveryCoreShowsItsProgress() {
        const fs::path source = in_.Path() / "chapter.txt";
        std::string text;
        while (text.size() < 4500) text += "The river ran on past the mill, and the miller sang. ";
        WriteBytes(source, text);
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        w.speechEngine->EnableRenderHelpers(2);
        SetField(w, kTextSourceBrowse, Q(source));
        SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        const QString caption = QStringLiteral("Convert to Audio from Text file");
        Click(*FindControl(w, ui::kFileToAudioButton));
        bool betweenSeen = false;
        QVERIFY(WaitUntil(
            [&] {
                const QProgressBar* bar = BarOf(w, caption);
                betweenSeen = betweenSeen ||
                              (bar != nullptr && bar->value() > 0 && bar->value() < bar->maximum());
                return !OpenAlerts().isEmpty();
            },
            4 * kJobWaitMs));  // five minutes of Flite's speech, slow under a sanitizer
        QVERIFY(betweenSeen);
        QCOMPARE(OpenAlertTexts().value(0),
                 "File is saved to: " + Q(out_.Path()) + "//chapter.mp3");
        QVERIFY(WaitUntil(
            [&] {
                DismissAllAlerts();
                return w.Jobs().Running() == 0;
            },
            kJobWaitMs));
        const AudioFileReport report = CheckAudioFile(out_.Path() / "chapter.mp3");
        QVERIFY2(report.valid, report.problem.c_str());
        QVERIFY(report.seconds > 200);  // 4500 bytes of prose: about five minutes
    }

    // The PDF converter tells nothing of its progress: a busy bar while its job runs.
    void pdfJobShowsABusyBar() {
        CSonoleafDlg& w = OpenWindow();
        SetField(w, kPdfSourceBrowse, Q(in_.Path() / "missing.pdf"));
        SetField(w, kTextFolderBrowse, Q(out_.Path()));
        Click(*FindControl(w, ui::kConvertPdfButton));
        QVERIFY(WaitUntil([] { return !OpenAlerts().isEmpty(); }, kJobWaitMs));
        QVERIFY(WaitUntil([&] { return BarOf(w, "Convert PDF to Text") != nullptr; }));
        QProgressBar* bar = BarOf(w, "Convert PDF to Text");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 0);
        DismissAllAlerts();
        EXPECT_RUN_ENDED(w, w.pdfToTextBusy);
        QVERIFY(WaitUntil([&] { return ShowsIdle(w); }));
    }

    void voiceSettingsMakeNoRow() {
        CSonoleafDlg& w = OpenWindow();
        Click(*FindControl(w, ui::kVoiceSettingButton));
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        QTest::qWait(300);  // a poll of the board would have come by now
        QVERIFY(ShowsIdle(w));
        w.voiceSetting->OnCancel();
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
    }

    // Two jobs at once: two rows, each named by its job; each goes with its own job.
    void rowPerRunningJob() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrst");
        CSonoleafDlg& w = OpenWindow();
        FillLengthList(w, source, out_.Path());
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitForBlockedSpeaks(1));
        Click(*FindControl(w, ui::kSpeakNowButton));
        QVERIFY(WaitForBlockedSpeaks(2));
        QVERIFY(WaitUntil([&] { return Bars(w).size() == 2; }));
        QVERIFY(BarOf(w, "Speak Now") != nullptr);
        // Nothing in the area takes focus, so the tab order is the template's; a bar is
        // a progress bar to a screen reader, named by its job's caption.
        for (QWidget* child : Area(w)->findChildren<QWidget*>()) {
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
        }
        const QString order = CheckTabOrder(w, MainWindowControls());
        QVERIFY2(order.isEmpty(), qPrintable(order));
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(BarOf(w, kListCaption));
        QVERIFY(face != nullptr);
        QCOMPARE(face->role(), QAccessible::ProgressBar);
        QCOMPARE(face->text(QAccessible::Name), QString(kListCaption));
        QVERIFY(face->valueInterface() != nullptr);

        speech->SetSpeakBlocks(false);
        QVERIFY(DismissAlert("Text to Speech operation Completed", kJobWaitMs));
        QVERIFY(WaitUntil([&] { return BarOf(w, "Speak Now") == nullptr; }));
        QVERIFY(BarOf(w, kListCaption) != nullptr);  // its job waits at its message
        QVERIFY(DismissAlert(kListDone, kJobWaitMs));
        QVERIFY(DismissAlert(kListEnded, kJobWaitMs));
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QVERIFY(WaitUntil([&] { return ShowsIdle(w); }));
    }

    // The area overlaps no control of the template.
    void staysInTheFreeSpace() {
        CSonoleafDlg& w = OpenWindow();
        const QRect area = Area(w)->geometry();
        QVERIFY(w.rect().contains(area));
        for (const ExpectedControl& c : MainWindowControls()) {
            QWidget* control = Locate(w, c);
            QVERIFY(control != nullptr);
            QVERIFY2(!control->geometry().intersects(area), qPrintable(c.text));
        }
    }
};

QTEST_MAIN(ActivityAreaTest)
#include "activity_area_qtest.moc"
