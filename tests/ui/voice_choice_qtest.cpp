// The Voice list through the window on the real service, with the settings in a folder
// of this test's own: every installed voice is offered, the one picked reads the file
// and is kept for the next start.

#include <QComboBox>
#include <QProcess>
#include <QRadioButton>

#include "support/cli_process.h"
#include "support/temp_dir.h"
#include "ui/job_run_checks.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

class VoiceChoiceTest : public GuiTestBase {
    Q_OBJECT

    TempDir config_;

  private slots:
    // Before any settings are read: Qt finds their folder once per process.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", Q(config_.Path()).toUtf8()); }

    void voiceByNameIsOfferedReadsAndIsKept() {
        const QString kal16 = QStringLiteral("Flite kal16 (US English) Male");
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        Click(*FindControl(w, 1004));
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        auto* list = FindControlAs<QComboBox>(*w.voiceSetting, 1044);
        QCOMPARE(list->count(), QString::fromStdString(RunCli({"voices"}).out).count('\n') + 1);
        // A voice checks its gender; the other gender goes back to the choice by gender.
        list->setCurrentIndex(list->findText("Flite slt", Qt::MatchStartsWith));
        QVERIFY(FindControlAs<QRadioButton>(*w.voiceSetting, 1027)->isChecked());
        Click(*FindControl(*w.voiceSetting, 1026));
        QCOMPARE(list->currentIndex(), 0);
        list->setCurrentIndex(list->findText(kal16 + QStringLiteral(" \u2014 en-us")));
        Click(*FindControl(*w.voiceSetting, 1));

        TempDir out;
        SetField(w, kTypedTextEdit, "Read by name.");
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        Click(*FindControl(w, 1014));
        QVERIFY(
            WaitUntil([&] { return DismissAllAlerts() + w.Jobs().Running() == 0; }, kJobWaitMs));
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "format_tags=comment", "-of",
                                "csv=p=0", Q(AudioFilesIn(out.Path()).at(0))});
        QVERIFY(probe.waitForFinished());
        QCOMPARE(QString(probe.readAllStandardOutput()), "Read by " + kal16 + "\n");

        CloseWindow();
        QCOMPARE(OpenWindow(SystemSpeech()).Profile().voiceName.Load(), kal16.toStdU16String());
    }
};

QTEST_MAIN(VoiceChoiceTest)
#include "voice_choice_qtest.moc"
