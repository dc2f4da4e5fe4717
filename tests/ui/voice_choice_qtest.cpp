// The Voice list and the pronunciation list through the window, on the real speech
// service: the list offers every installed voice, the voice picked reads the file and
// is kept for the next start; "Pronunciations..." opens the user's list, whose rules
// (and bad lines) the next job takes. Settings go to a folder of this test's own.

#include <QComboBox>
#include <QDesktopServices>
#include <QProcess>
#include <QRadioButton>
#include <QUrl>

#include "support/cli_process.h"
#include "support/temp_dir.h"
#include "ui/job_run_checks.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

namespace fs = std::filesystem;

constexpr char kKal16[] = "Flite kal16 (US English) Male";

// Stands in for the desktop's editor: remembers what it was asked to open.
class Editor : public QObject {
    Q_OBJECT

  public slots:
    void Open(const QUrl& url) { opened = url; }

  public:
    QUrl opened;
};

QComboBox& VoiceList(CSonoleafDlg& w) {
    return *FindControlAs<QComboBox>(*w.voiceSetting, 1044);
}

// Runs the job behind the window's button to its end, pressing OK on every alert;
// their texts in order.
QStringList RunJob(CSonoleafDlg& w, int button) {
    Click(*FindControl(w, button));
    QStringList texts;
    WaitUntil(
        [&] {
            for (const QString& text : OpenAlertTexts()) {
                texts << text;
                DismissAlert(text);
            }
            return w.Jobs().Running() == 0 && OpenAlerts().isEmpty();
        },
        kJobWaitMs);
    return texts;
}

bool OpenSettings(CSonoleafDlg& w) {
    Click(*FindControl(w, 1004));
    return WaitUntil([&] { return w.voiceSetting->isVisible(); });
}

}  // namespace

class VoiceChoiceTest : public GuiTestBase {
    Q_OBJECT

    TempDir config_;

  private slots:
    // Before any settings are read: Qt takes their folder once per process.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", Q(config_.Path()).toUtf8()); }

    void voiceByNameReadsTheFileAndIsKept() {
        TempDir out;
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        QVERIFY(OpenSettings(w));
        QComboBox& list = VoiceList(w);
        const CliResult voices = RunCli({"voices"});
        QCOMPARE(list.count(), QString::fromStdString(voices.out).count('\n') + 1);
        QCOMPARE(list.itemText(0), QStringLiteral("By gender (as chosen above)"));
        const int kal16 = list.findText(kKal16, Qt::MatchStartsWith);
        QCOMPARE(list.itemText(kal16), QStringLiteral("%1 \u2014 en-us").arg(kKal16));
        // A female voice checks Female; Male then goes back to the choice by gender.
        list.setCurrentIndex(list.findText("Flite slt", Qt::MatchStartsWith));
        QVERIFY(FindControlAs<QRadioButton>(*w.voiceSetting, 1027)->isChecked());
        Click(*FindControl(*w.voiceSetting, 1026));
        QCOMPARE(list.currentIndex(), 0);
        list.setCurrentIndex(kal16);
        Click(*FindControl(*w.voiceSetting, 1));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));

        SetField(w, kTypedTextEdit, "Read by name.");
        SetField(w, kAudioFolderBrowse, Q(out.Path()));
        RunJob(w, 1014);
        const auto files = AudioFilesIn(out.Path());
        QCOMPARE(files.size(), std::size_t{1});
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "format_tags=comment", "-of",
                                "csv=p=0", Q(files.front())});
        probe.waitForFinished();
        QCOMPARE(QString(probe.readAllStandardOutput()),
                 QStringLiteral("Read by %1\n").arg(kKal16));

        // The next start reads it back; by gender again is kept as well.
        CloseWindow();
        CSonoleafDlg& again = OpenWindow(SystemSpeech());
        QCOMPARE(again.Profile().voiceName.Load(),
                 std::u16string(u"Flite kal16 (US English) Male"));
        QVERIFY(OpenSettings(again));
        QCOMPARE(VoiceList(again).currentIndex(), kal16);
        VoiceList(again).setCurrentIndex(0);
        Click(*FindControl(*again.voiceSetting, 1));
        QVERIFY(VoiceSetting().voiceName.Load().empty());
    }

    void pronunciationsOpenAndRespellTheNextJob() {
        Editor editor;
        QDesktopServices::setUrlHandler("file", &editor, "Open");
        const fs::path list = config_.Path() / "sonoleaf" / "pronunciations.txt";
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        QVERIFY(ChooseSetting(w, 1029));  // WAV: no tags, the samples alone
        QVERIFY(OpenSettings(w));
        Click(*FindControl(*w.voiceSetting, 1045));
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(editor.opened, QUrl::fromLocalFile(Q(list)));
        QVERIFY(ReadBytes(list).starts_with("# Sonoleaf pronunciations"));
        Click(*FindControl(*w.voiceSetting, 2));

        // Made with the rules as they are when the job starts, then as edited.
        TempDir ruled, plain;
        WriteBytes(list, "Nguyen = win\nbad line\n");
        SetField(w, kTypedTextEdit, "Nguyen's book.");
        SetField(w, kAudioFolderBrowse, Q(ruled.Path()));
        const QStringList told = RunJob(w, 1014);
        QVERIFY2(told.size() == 3 && told[0].contains("line 2: "), qPrintable(told.join('|')));
        WriteBytes(list, "");
        SetField(w, kTypedTextEdit, "win's book.");
        SetField(w, kAudioFolderBrowse, Q(plain.Path()));
        QCOMPARE(RunJob(w, 1014).size(), 2);
        QCOMPARE(ReadBytes(AudioFilesIn(ruled.Path()).at(0)),
                 ReadBytes(AudioFilesIn(plain.Path()).at(0)));
    }
};

QTEST_MAIN(VoiceChoiceTest)
#include "voice_choice_qtest.moc"
