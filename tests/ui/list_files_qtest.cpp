// The audio files that jobs leave, through the window and the real service: a list
// keeps the settings it started with while another job changes them, every chunk of
// a list gets a valid file (also one with nothing to pronounce), a render that fails
// before any sound leaves no file, and MP3 files carry the tags a player orders by.

#include <QSlider>
#include <QTest>
#include <filesystem>

#include "support/audio_analysis.h"
#include "support/gui_test_base.h"
#include "support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/job_run_checks.h"
#include "ui/sonoleaf_dlg.h"

using namespace sonoleaf;
using namespace sonoleaf::testing;
namespace fs = std::filesystem;

namespace {

constexpr char kDone[] = "Text file to Audio List operation done";
constexpr char kEnded[] = "Text File to Audio List Operation Ended";
constexpr char kTitlesDone[] = "Audio list by given <title>...</title> tag completed";
constexpr char kTitlesEnded[] = "Text File to Audio List By given Titles Operation Ended";

// Sets every field of the voice settings through the dialog, as a user would.
bool ChooseVoice(CSonoleafDlg& window, int genderRadio, int volume, int speed) {
    Click(*FindControl(window, ui::kVoiceSettingButton));
    if (!WaitUntil([&] { return window.voiceSetting->isVisible(); })) return false;
    Click(*FindControl(*window.voiceSetting, genderRadio));
    FindControlAs<QSlider>(*window.voiceSetting, ui::kVolumeTrackbar)->setValue(volume);
    FindControlAs<QSlider>(*window.voiceSetting, ui::kSpeedTrackbar)->setValue(speed);
    Click(*FindControl(*window.voiceSetting, 1));
    return WaitForFlag(window.voiceSettingBusy, 0);
}

struct Loudness {
    double rms = 0;  // in 16-bit sample units
    double seconds = 0;
};

Loudness Measure(const fs::path& path) {
    Audio audio;
    if (!ReadAudioFile(path, audio)) return {};
    return {Rms(audio.samples) * 32768.0, audio.Seconds()};
}

}  // namespace

class ListFilesTest : public GuiTestBase {
    Q_OBJECT

    TempDir in_;
    TempDir out_;

    CSonoleafDlg& Prepare(const fs::path& source) {
        for (const QString& name : FileNames(out_.Path()))
            fs::remove(out_.Path() / name.toStdString());
        CSonoleafDlg& w = OpenWindow(SystemSpeech());
        SetField(w, kTextSourceBrowse, Q(source));
        SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        return w;
    }

  private slots:
    // "Make Audio" started with other settings while a list renders changes nothing
    // in the list's later files: every file of the same text sounds the same.
    void listKeepsTheSettingsItStartedWith() {
        const QByteArray sentence("One two three, four five six. ");
        constexpr int kFiles = 60;
        const fs::path source = in_.Path() / "same.txt";
        WriteBytes(source, sentence.repeated(kFiles).toStdString());
        CSonoleafDlg& w = Prepare(source);
        QVERIFY(ChooseSetting(w, ui::kWavRadio));
        SetField(w, kCharLengthEdit, QString::number(sentence.size()));
        SetField(w, kTypedTextEdit, QStringLiteral("Quick and quiet."));

        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitUntil([&] { return fs::exists(out_.Path() / "same_2.wav"); }, kJobWaitMs));
        QVERIFY(ChooseVoice(w, ui::kFemaleRadio, 10, 10));
        Click(*FindControl(w, ui::kMakeAudioButton));
        QVERIFY(WaitUntil(
            [] {
                const QStringList open = OpenAlertTexts();
                return !open.isEmpty() && open.first().startsWith("File is saved to: ");
            },
            kJobWaitMs));
        // The files the list had begun by the time "Make Audio" had copied its profile.
        const int before = static_cast<int>(AudioFilesIn(out_.Path()).size()) - 1;
        QVERIFY(ClickOk(*OpenAlerts().first()));
        QVERIFY(DismissAlert(QStringLiteral("Raw Text to Audio Operation Ended"), kJobWaitMs));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QVERIFY2(before < kFiles - 5, "the list ended before \"Make Audio\" ran");

        const Loudness first = Measure(out_.Path() / "same_1.wav");
        for (int k = 2; k <= kFiles; ++k) {
            const Loudness file =
                Measure(out_.Path() / QStringLiteral("same_%1.wav").arg(k).toStdString());
            QVERIFY2(std::abs(file.rms / first.rms - 1) < 0.15,
                     qPrintable(QStringLiteral("file %1: RMS %2 against %3")
                                    .arg(k)
                                    .arg(file.rms)
                                    .arg(first.rms)));
            QVERIFY2(std::abs(file.seconds / first.seconds - 1) < 0.1,
                     qPrintable(QStringLiteral("file %1: %2 s against %3 s")
                                    .arg(k)
                                    .arg(file.seconds)
                                    .arg(first.seconds)));
        }
        qInfo("list files: RMS %.0f (first) and %.0f (last); %d of %d rendered after Make Audio",
              first.rms,
              Measure(out_.Path() / QStringLiteral("same_%1.wav").arg(kFiles).toStdString()).rms,
              kFiles - before, kFiles);
    }

    // A chunk or passage with nothing to pronounce is a short valid file, counted as
    // saved; an empty passage still writes none.
    void everyChunkGetsAValidFile_data() {
        QTest::addColumn<bool>("wav");
        QTest::newRow("MP3") << false;
        QTest::newRow("WAV") << true;
    }
    void everyChunkGetsAValidFile() {
        QFETCH(bool, wav);
        const QString extension = wav ? QStringLiteral(".wav") : QStringLiteral(".mp3");
        const fs::path source = in_.Path() / "b.txt";
        WriteBytes(source, "a\n b");
        CSonoleafDlg& w = Prepare(source);
        if (wav) QVERIFY(ChooseSetting(w, ui::kWavRadio));
        SetField(w, kCharLengthEdit, QStringLiteral("1"));
        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QStringList names;
        for (int k = 1; k <= 4; ++k) names << QStringLiteral("b_%1").arg(k) + extension;
        QCOMPARE(FileNames(out_.Path()), names);
        for (const QString& name : names)
            EXPECT_SPEECH_FILE(out_.Path() / name.toStdString(), !wav, 0.01, 2.0);

        WriteBytes(source, "<title></title><title> \r\n </title><title>One.</title>");
        for (const QString& name : names) fs::remove(out_.Path() / name.toStdString());
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kTitlesDone, w.titleListBusy, 1);
        FOLLOW_ALERT(kTitlesEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"b_2" + extension, "b_3" + extension}));
    }

    // A render that fails before any sound leaves no file, WAV or MP3.
    void failedRenderLeavesNoFile_data() {
        QTest::addColumn<bool>("wav");
        QTest::newRow("MP3") << false;
        QTest::newRow("WAV") << true;
    }
    void failedRenderLeavesNoFile() {
        QFETCH(bool, wav);
        CSonoleafDlg& w = Prepare(in_.Path() / "absent.txt");
        if (wav) QVERIFY(ChooseSetting(w, ui::kWavRadio));
        Click(*FindControl(w, ui::kFileToAudioButton));
        FOLLOW_ALERT(QStringLiteral("File could not be saved to: ") + Q(out_.Path()) + "//absent" +
                         (wav ? ".wav" : ".mp3") + "\r\nThe text file could not be found.",
                     w.fileToAudioBusy, 1);
        FOLLOW_ALERT(QStringLiteral("Text File to Audio Operation Ended"), w.fileToAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.fileToAudioBusy);
        QVERIFY(FileNames(out_.Path()).isEmpty());
    }

    // List files are tagged with their number of the total, so that a player puts
    // book_2 before book_10; WAV files carry no tag.
    void mp3FilesAreTaggedForPlayers() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "First part. Second part. Third.");
        CSonoleafDlg& w = Prepare(source);
        SetField(w, kCharLengthEdit, QStringLiteral("12"));
        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        for (int k = 1; k <= 3; ++k) {
            auto tags =
                ReadId3Texts(out_.Path() / QStringLiteral("book_%1.mp3").arg(k).toStdString());
            QCOMPARE(QString::fromStdString(tags["TIT2"]), QStringLiteral("book %1").arg(k));
            QCOMPARE(QString::fromStdString(tags["TALB"]), QStringLiteral("book"));
            QCOMPARE(QString::fromStdString(tags["TRCK"]), QStringLiteral("%1/3").arg(k));
            QVERIFY2(QString::fromStdString(tags["COMM"]).startsWith("Read by "),
                     tags["COMM"].c_str());
        }

        WriteBytes(source, "<title>One.</title> and <title>Two.</title>");
        SetField(w, kStartNumberEdit, QStringLiteral("9"));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kTitlesDone, w.titleListBusy, 1);
        FOLLOW_ALERT(kTitlesEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QCOMPARE(QString::fromStdString(ReadId3Texts(out_.Path() / "book_10.mp3")["TRCK"]),
                 QStringLiteral("10/10"));
        QCOMPARE(QString::fromStdString(ReadId3Texts(out_.Path() / "book_9.mp3")["TIT2"]),
                 QStringLiteral("book 9"));

        Click(*FindControl(w, ui::kFileToAudioButton));
        FOLLOW_ALERT("File is saved to: " + Q(out_.Path()) + "//book.mp3", w.fileToAudioBusy, 1);
        FOLLOW_ALERT(QStringLiteral("Text File to Audio Operation Ended"), w.fileToAudioBusy, 0);
        EXPECT_RUN_ENDED(w, w.fileToAudioBusy);
        const auto single = ReadId3Texts(out_.Path() / "book.mp3");
        QCOMPARE(QString::fromStdString(single.at("TIT2")), QStringLiteral("book"));
        QVERIFY(single.find("TRCK") == single.end());

        QVERIFY(ChooseSetting(w, ui::kWavRadio));
        Click(*FindControl(w, ui::kTitleListButton));
        FOLLOW_ALERT(kTitlesDone, w.titleListBusy, 1);
        FOLLOW_ALERT(kTitlesEnded, w.titleListBusy, 0);
        EXPECT_RUN_ENDED(w, w.titleListBusy);
        QVERIFY(ReadId3Texts(out_.Path() / "book_9.wav").empty());
        EXPECT_SPEECH_FILE(out_.Path() / "book_9.wav", false, 0.1, 5.0);
    }
};

QTEST_MAIN(ListFilesTest)
#include "list_files_qtest.moc"
