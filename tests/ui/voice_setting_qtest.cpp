// The voice settings dialog: template 130, the profile's defaults, OK and Cancel, its
// opening by the "Voice Setting" job from a worker thread without blocking the main
// window, and its Listen button's sample.

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "speech/speech_engine.h"
#include "speech/voice_list.h"
#include "support/gui_test_base.h"
#include "ui/control_ids.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/template_checks.h"
#include "ui/voice_setting.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;

namespace {

struct Choice {
    int volume;
    int speed;
    bool female;
    bool wav;
};

void SetControls(VoiceSetting& dialog, const Choice& choice) {
    FindControlAs<QSlider>(dialog, 1031)->setValue(choice.volume);
    FindControlAs<QSlider>(dialog, 1032)->setValue(choice.speed);
    Click(*FindControl(dialog, choice.female ? 1027 : 1026));
    Click(*FindControl(dialog, choice.wav ? 1029 : 1028));
}

// What the dialog shows: volume, speed, gender checked, audio type checked.
QString Shown(const VoiceSetting& dialog) {
    const auto checked = [&](int id) {
        return FindControlAs<QRadioButton>(dialog, id)->isChecked();
    };
    return QStringLiteral("%1 %2 %3 %4")
        .arg(FindControlAs<QSlider>(dialog, 1031)->value())
        .arg(FindControlAs<QSlider>(dialog, 1032)->value())
        .arg(checked(1026)   ? "Male"
             : checked(1027) ? "Female"
                             : "none")
        .arg(checked(1028)   ? "MP3"
             : checked(1029) ? "WAV"
             : checked(1030) ? "M4B"
                             : "none");
}

QString ProfileOf(const VoiceProfile& p) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(p.volume.load())
        .arg(p.speed.load())
        .arg(p.voiceGender.load())
        .arg(p.audioType.load());
}

}  // namespace

class VoiceSettingTest : public GuiTestBase {
    Q_OBJECT

  private slots:
    void controlsOfTemplate_data() { AddControlRows(VoiceSettingControls()); }
    void controlsOfTemplate() {
        QFETCH(int, index);
        VoiceSetting dialog;
        dialog.Open();
        const QString problem = CheckControl(dialog, VoiceSettingControls()[index]);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void frame() {
        VoiceSetting dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Voice Setting"));
        QCOMPARE(dialog.size(), DluToPixels(dialog, 0, 0, 309, 176).size());
        QCOMPARE(dialog.parentWidget(), nullptr);
        QVERIFY(!dialog.isVisible());  // no window until it is opened
        const QString problem = CheckTabOrder(dialog, VoiceSettingControls());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void twoIndependentRadioGroups() {
        VoiceSetting dialog;
        dialog.Open();
        Click(*FindControl(dialog, 1027));
        Click(*FindControl(dialog, 1029));
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Female WAV"));
        Click(*FindControl(dialog, 1026));
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Male WAV"));
        // The audiobook is the third choice of the audio type: OK takes it, and the
        // next opening shows it.
        Click(*FindControl(dialog, 1030));
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Male M4B"));
        Click(*FindControl(dialog, 1));
        QCOMPARE(dialog.audioType.load(), static_cast<int>(M4b));
        dialog.Open();
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Male M4B"));
    }

    void defaults() {
        VoiceSetting dialog;
        QCOMPARE(dialog.volume.load(), 80);
        QCOMPARE(dialog.speed.load(), -2);
        QCOMPARE(dialog.voiceGender.load(), static_cast<int>(Male));
        QCOMPARE(dialog.audioType.load(), static_cast<int>(Mp3));
        dialog.Open();
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Male MP3"));
        const auto* volume = FindControlAs<QSlider>(dialog, 1031);
        const auto* speed = FindControlAs<QSlider>(dialog, 1032);
        QCOMPARE(volume->minimum(), 0);
        QCOMPARE(volume->maximum(), 100);
        QCOMPARE(speed->minimum(), -10);
        QCOMPARE(speed->maximum(), 10);
    }

    // Cancel, Esc and the close box keep the profile; the next opening shows it.
    void cancelKeepsProfile_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Esc") << "escape";
        QTest::newRow("close box") << "close";
    }
    void cancelKeepsProfile() {
        QFETCH(QString, how);
        VoiceSetting dialog;
        dialog.Open();
        SetControls(dialog, {15, 7, true, true});
        if (how == "button") {
            Click(*FindControl(dialog, 2));
        } else if (how == "escape") {
            PressKey(*FindControl(dialog, 1031), Qt::Key_Escape);
        } else {
            dialog.close();
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
        QCOMPARE(ProfileOf(dialog), QStringLiteral("80 -2 1 1"));
        dialog.Open();
        QCOMPARE(Shown(dialog), QStringLiteral("80 -2 Male MP3"));
    }

    void okTakesThumbsAndRadios_data() {
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("female");
        QTest::addColumn<bool>("wav");
        QTest::addColumn<QString>("profile");
        QTest::newRow("female wav") << 35 << 4 << true << true << "35 4 2 2";
        QTest::newRow("lowest ends") << 0 << -10 << false << true << "0 -10 1 2";
        QTest::newRow("highest ends") << 100 << 10 << true << false << "100 10 2 1";
        QTest::newRow("as they were") << 80 << -2 << false << false << "80 -2 1 1";
    }
    void okTakesThumbsAndRadios() {
        QFETCH(int, volume);
        QFETCH(int, speed);
        QFETCH(bool, female);
        QFETCH(bool, wav);
        QFETCH(QString, profile);
        VoiceSetting dialog;
        dialog.Open();
        SetControls(dialog, {volume, speed, female, wav});
        Click(*FindControl(dialog, 1));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(ProfileOf(dialog), profile);
        dialog.Open();
        QCOMPARE(Shown(dialog), QStringLiteral("%1 %2 %3 %4")
                                    .arg(volume)
                                    .arg(speed)
                                    .arg(female ? "Female" : "Male")
                                    .arg(wav ? "WAV" : "MP3"));
    }

    void thumbsMovedByKeysAreTakenOnOk() {
        VoiceSetting dialog;
        dialog.Open();
        QSlider* volume = FindControlAs<QSlider>(dialog, 1031);
        volume->setFocus();
        PressKey(*volume, Qt::Key_End);
        QSlider* speed = FindControlAs<QSlider>(dialog, 1032);
        speed->setFocus();
        PressKey(*speed, Qt::Key_Home);
        // Changes nothing until OK.
        QCOMPARE(ProfileOf(dialog), QStringLiteral("80 -2 1 1"));
        // Enter elsewhere than on a button presses the default button, OK.
        PressKey(*speed, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(ProfileOf(dialog), QStringLiteral("100 -10 1 1"));
    }

    // --- Listen ---------------------------------------------------------------------

    void listenSpeaksWithTheControls_data() {
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("female");
        QTest::addColumn<QString>("byName");  // the voice picked in the list, if any
        QTest::addColumn<QString>("token");
        QTest::newRow("male by gender") << 35 << 4 << false << ""
                                        << "Recorded Male";
        QTest::newRow("female by gender") << 100 << -10 << true << ""
                                          << "Recorded Female";
        QTest::newRow("female by name") << 0 << 10 << false << "Recorded Female"
                                        << "Recorded Female";
    }
    void listenSpeaksWithTheControls() {
        QFETCH(int, volume);
        QFETCH(int, speed);
        QFETCH(bool, female);
        QFETCH(QString, byName);
        QFETCH(QString, token);
        SpeechEngine engine(speech);
        VoiceSetting dialog([this] { return ListVoices(*speech); }, &engine);
        dialog.Open();
        SetControls(dialog, {volume, speed, female, true});
        if (!byName.isEmpty()) {
            auto* combo = FindControlAs<QComboBox>(dialog, ui::kVoiceNameCombo);
            combo->setCurrentIndex(combo->findText(byName, Qt::MatchStartsWith));
        }
        Click(*FindControl(dialog, ui::kListenButton));
        QVERIFY(WaitUntil([&] { return speech->Speaks().size() == 1; }));
        const RecordingSpeechService::SpeakRecord spoken = speech->Speaks().front();
        QCOMPARE(QString::fromStdU16String(spoken.text),
                 QStringLiteral("This is how your books will sound."));
        QCOMPARE(static_cast<int>(spoken.volume), volume);
        QCOMPARE(spoken.rate, speed);
        QCOMPARE(QString::fromStdU16String(spoken.tokenName), token);
        QVERIFY(!spoken.toFile);
        // Heard, not taken: the profile is as it was, the dialog still open.
        QCOMPARE(ProfileOf(dialog), QStringLiteral("80 -2 1 1"));
        QVERIFY(dialog.isVisible());
    }

    // A click while the sample is spoken stops it and starts over with the controls as
    // they are now; the dialog going stops it.
    void listenAgainStartsOverAndClosingStops() {
        speech->SetSpeakBlocks(true);
        SpeechEngine engine(speech);
        VoiceSetting dialog({}, &engine);
        dialog.Open();
        QWidget& listen = *FindControl(dialog, ui::kListenButton);
        Click(listen);
        QVERIFY(WaitForBlockedSpeaks(1));
        FindControlAs<QSlider>(dialog, ui::kVolumeTrackbar)->setValue(20);
        Click(listen);
        QVERIFY(WaitUntil([&] { return speech->Speaks().size() == 2; }));
        QVERIFY(WaitForBlockedSpeaks(1));
        QCOMPARE(speech->CallCount("Pause"), 1);
        QCOMPARE(static_cast<int>(speech->Speaks()[1].volume), 20);
        Click(*FindControl(dialog, 2));  // Cancel
        QVERIFY(!dialog.isVisible());
        QVERIFY(WaitUntil([&] { return speech->BlockedSpeaks() == 0; }));
        QCOMPARE(speech->CallCount("Pause"), 2);
        QCOMPARE(speech->Speaks().size(), std::size_t{2});
    }

    // --- Through the window's "Voice Setting" button ----------------------------------

    void buttonOpensDialogWithoutBlockingWindow() {
        CSonoleafDlg& w = OpenWindow();
        Click(*FindControl(w, 1004));
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        QCOMPARE(w.voiceSettingBusy.load(), 1);
        QCOMPARE(Shown(*w.voiceSetting), QStringLiteral("80 -2 Male MP3"));
        // The main window still takes input while the dialog is open.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        auto* start = FindControlAs<QLineEdit>(w, 1035);
        QTest::keyClicks(start, QStringLiteral("12"));
        QCOMPARE(start->text(), QStringLiteral("12"));
        Click(*FindControl(*w.voiceSetting, 2));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
    }

    void secondClickWhileOpenStartsNothing() {
        CSonoleafDlg& w = OpenWindow();
        QPushButton* button = FindControlAs<QPushButton>(w, 1004);
        Click(*button);
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        QCOMPARE(w.Jobs().Running(), 1);
        for (int i = 0; i < 3; ++i) Click(*button);
        QTest::qWait(50);
        QCOMPARE(w.Jobs().Running(), 1);
        QCOMPARE(VisibleWindows<VoiceSetting>().size(), 1);
        QCOMPARE(w.voiceSettingBusy.load(), 1);
        Click(*FindControl(*w.voiceSetting, 1));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
    }

    void cancelEndsJobAndButtonWorksAgainAtOnce() {
        CSonoleafDlg& w = OpenWindow();
        QPushButton* button = FindControlAs<QPushButton>(w, 1004);
        Click(*button);
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        SetControls(*w.voiceSetting, {10, 10, true, true});
        Click(*FindControl(*w.voiceSetting, 2));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
        QCOMPARE(ProfileOf(w.Profile()), QStringLiteral("80 -2 1 1"));

        Click(*button);
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        QCOMPARE(Shown(*w.voiceSetting), QStringLiteral("80 -2 Male MP3"));
        SetControls(*w.voiceSetting, {55, 3, true, true});
        Click(*FindControl(*w.voiceSetting, 1));
        QVERIFY(WaitForFlag(w.voiceSettingBusy, 0));
        QCOMPARE(ProfileOf(w.Profile()), QStringLiteral("55 3 2 2"));
        QVERIFY(w.isVisible());
    }

    void closingWindowClosesOpenDialog() {
        CSonoleafDlg& w = OpenWindow();
        Click(*FindControl(w, 1004));
        QVERIFY(WaitUntil([&] { return w.voiceSetting->isVisible(); }));
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Jobs().Running(), 0);
        QVERIFY(VisibleWindows<VoiceSetting>().isEmpty());
        QCOMPARE(w.voiceSetting, nullptr);  // released after the jobs were joined
        QCOMPARE(w.speechEngine, nullptr);
    }
};

QTEST_MAIN(VoiceSettingTest)
#include "voice_setting_qtest.moc"
