// "Convert Text file to Audio List" run from a click on the window: the number check,
// the cutting every N bytes (the rest after the last full chunk making one more
// file), the names of the files, "Stop TTS Process" in the middle of a run, and the
// two closing messages with the busy flag at each. What each render got is read back
// from the recording service; a real run shows the files hold speech.

#include <QByteArray>
#include <QByteArrayList>
#include <QTest>
#include <filesystem>
#include <optional>

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

constexpr char kInvalidLength[] = "Invalid Input, Value Must be between 1 and 2^25";
constexpr char kBothPaths[] = "You Have to select both Text file and Output Folder path";
constexpr char kDone[] = "Text file to Audio List operation done";
constexpr char kEnded[] = "Text File to Audio List Operation Ended";

// The text a chunk is handed over as: one character per byte, bytes above 127 as
// U+DC80-U+DCFF.
QString ByteChars(const QByteArray& bytes) {
    QString text;
    for (char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += QChar(value < 0x80 ? char16_t{value} : static_cast<char16_t>(0xDC00 + value));
    }
    return text;
}

QString Prose(int bytes) {
    const QString sentence =
        QStringLiteral("The river ran on past the mill and the old stone bridge. ");
    QString text;
    while (text.size() < bytes) text += sentence;
    return text.left(bytes);
}

}  // namespace

class JobsLengthListTest : public GuiTestBase {
    Q_OBJECT

    TempDir in_;
    TempDir out_;

    CSonoleafDlg& Prepare(const std::shared_ptr<speech_service::SpeechService>& service,
                          const fs::path& source, const QString& length) {
        CSonoleafDlg& w = OpenWindow(service);
        SetField(w, kTextSourceBrowse, Q(source));
        SetField(w, kAudioFolderBrowse, Q(out_.Path()));
        SetField(w, kCharLengthEdit, length);
        return w;
    }

    void ClearOutput() {
        for (const QString& name : FileNames(out_.Path()))
            fs::remove(out_.Path() / name.toStdString());
    }

    // What each render was given, and the file it went to, in order.
    QStringList RenderedTexts() const {
        QStringList texts;
        for (const auto& speak : speech->Speaks()) texts << QString::fromStdU16String(speak.text);
        return texts;
    }
    QStringList RenderedPaths() const {
        QStringList paths;
        for (const auto& speak : speech->Speaks())
            paths << QString::fromStdU16String(speak.outputPath);
        return paths;
    }

  private slots:
    void init() {
        GuiTestBase::init();
        ClearOutput();
    }

    void cutsTheFileEveryNBytes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::newRow("20 bytes at 10") << QByteArray("abcdefghijklmnopqrst") << "10"
                                        << QByteArrayList{"abcdefghij", "klmnopqrst"};
        QTest::newRow("25 bytes at 10: the rest is file 3")
            << QByteArray("abcdefghijklmnopqrstuvwxy") << "10"
            << QByteArrayList{"abcdefghij", "klmnopqrst", "uvwxy"};
        QTest::newRow("exactly the length")
            << QByteArray("abcdefghij") << "10" << QByteArrayList{"abcdefghij"};
        QTest::newRow("shorter than the length")
            << QByteArray("short") << "10" << QByteArrayList{"short"};
        QTest::newRow("empty file") << QByteArray() << "10" << QByteArrayList{};
        QTest::newRow("length 1: CR and LF are bytes")
            << QByteArray("a\r\nb") << "1" << QByteArrayList{"a", "\r", "\n", "b"};
        QTest::newRow("007 is 7") << QByteArray("abcdefghijklmnopqrst") << "007"
                                  << QByteArrayList{"abcdefg", "hijklmn", "opqrst"};
        QTest::newRow("2^25 is accepted") << QByteArray("abcdefghijklmnopqrst") << "33554432"
                                          << QByteArrayList{"abcdefghijklmnopqrst"};
        QTest::newRow("a cut inside a UTF-8 character")
            << QByteArray("caf\xc3\xa9 \xff") << "4" << QByteArrayList{"caf\xc3", "\xa9 \xff"};
    }
    void cutsTheFileEveryNBytes() {
        QFETCH(QByteArray, content);
        QFETCH(QString, length);
        QFETCH(QByteArrayList, chunks);
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, content.toStdString());
        CSonoleafDlg& w = Prepare(speech, source, length);

        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);

        QStringList texts;
        QStringList paths;
        QStringList names;
        for (int k = 1; k <= chunks.size(); ++k) {
            texts << ByteChars(chunks[k - 1]);
            names << QStringLiteral("book_%1.mp3").arg(k);
            paths << Q(out_.Path()) + "//" + names.back();
        }
        QCOMPARE(RenderedTexts(), texts);
        QCOMPARE(RenderedPaths(), paths);
        names.sort();
        QCOMPARE(FileNames(out_.Path()), names);
    }

    // The names: the stem after the last separator and before the last full stop
    // (no fallback), "_", the number without padding, the audio type's extension.
    void namesItsFiles_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("wav");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("archive.tar.gz") << "archive.tar.gz" << 20 << false
                                        << QStringList{"archive.tar_1.mp3", "archive.tar_2.mp3"};
        QTest::newRow("README: empty stem")
            << "README" << 20 << false << QStringList{"_1.mp3", "_2.mp3"};
        QTest::newRow("WAV") << "book.txt" << 20 << true << QStringList{"book_1.wav", "book_2.wav"};
        QTest::newRow("no padding")
            << "book.txt" << 110 << true
            << QStringList{"book_1.wav", "book_10.wav", "book_11.wav", "book_2.wav",
                           "book_3.wav", "book_4.wav",  "book_5.wav",  "book_6.wav",
                           "book_7.wav", "book_8.wav",  "book_9.wav"};
        QTest::newRow("non-Latin name with a blank")
            << "\u043a\u043d\u0438\u0433\u0430 caf\u00e9.txt" << 20 << false
            << QStringList{"\u043a\u043d\u0438\u0433\u0430 caf\u00e9_1.mp3",
                           "\u043a\u043d\u0438\u0433\u0430 caf\u00e9_2.mp3"};
    }
    void namesItsFiles() {
        QFETCH(QString, source);
        QFETCH(int, bytes);
        QFETCH(bool, wav);
        QFETCH(QStringList, names);
        const fs::path sourcePath = in_.Path() / source.toStdString();
        WriteBytes(sourcePath, std::string(static_cast<std::size_t>(bytes), 'x'));
        CSonoleafDlg& w = Prepare(speech, sourcePath, QStringLiteral("10"));
        if (wav) QVERIFY(ChooseSetting(w, ui::kWavRadio));

        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(FileNames(out_.Path()), names);
        QCOMPARE(speech->SpeakCount(), static_cast<int>(names.size()));
    }

    void rejectsBadLengths_data() {
        QTest::addColumn<QString>("length");
        QTest::newRow("0, as the field opens") << "0";
        QTest::newRow("empty") << "";
        QTest::newRow("-5") << "-5";
        QTest::newRow("+5") << "+5";
        QTest::newRow("blank before") << " 5";
        QTest::newRow("blank after") << "5 ";
        QTest::newRow("1e3") << "1e3";
        QTest::newRow("12a") << "12a";
        QTest::newRow("2^25 + 1") << "33554433";
        QTest::newRow("twenty nines") << "99999999999999999999";
    }
    void rejectsBadLengths() {
        QFETCH(QString, length);
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrst");
        CSonoleafDlg& w = Prepare(speech, source, length);

        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kInvalidLength, w.lengthListBusy, 1);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(speech->CallCount("CreateVoice"), 0);
        QVERIFY(FileNames(out_.Path()).isEmpty());
        QVERIFY(!w.speechEngine->lengthListRunning);
    }

    // The number is checked before the paths: with both wrong only its message shows.
    void checksTheNumberBeforeThePaths_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("withSource");
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad number, no paths") << "abc" << false << false << kInvalidLength;
        QTest::newRow("0, no paths") << "0" << false << false << kInvalidLength;
        QTest::newRow("no source") << "10" << false << true << kBothPaths;
        QTest::newRow("no folder") << "10" << true << false << kBothPaths;
    }
    void checksTheNumberBeforeThePaths() {
        QFETCH(QString, length);
        QFETCH(bool, withSource);
        QFETCH(bool, withFolder);
        QFETCH(QString, message);
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrst");
        CSonoleafDlg& w = OpenWindow();
        SetField(w, kCharLengthEdit, length);
        if (withSource) SetField(w, kTextSourceBrowse, Q(source));
        if (withFolder) SetField(w, kAudioFolderBrowse, Q(out_.Path()));

        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(message, w.lengthListBusy, 1);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(speech->CallCount("CreateVoice"), 0);
    }

    // A source that is no readable file yields no audio and no error message.
    void unreadableSourceEndsQuietly_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("does not exist") << "missing";
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a named pipe no one writes to") << "pipe";
    }
    void unreadableSourceEndsQuietly() {
        QFETCH(QString, kind);
        const fs::path source = in_.Path() / "source.txt";
        fs::remove_all(source);
        std::optional<NamedPipe> pipe;
        if (kind == "folder") fs::create_directory(source);
        if (kind == "pipe") pipe.emplace(source);
        CSonoleafDlg& w = Prepare(speech, source, QStringLiteral("10"));
        Click(*FindControl(w, ui::kLengthListButton));
        const QString failure = FollowAlert(kDone, w.lengthListBusy, 1, kWaitMs);
        pipe.reset();  // lets a job go that waits for a writer
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(speech->SpeakCount(), 0);
        QVERIFY(FileNames(out_.Path()).isEmpty());
    }

    // Stop while file 1 is being spoken: no further file, both closing messages. The
    // next run sets its flag again and renders every file anew.
    void stopInTheMiddleRendersNoFurtherFile() {
        const fs::path source = in_.Path() / "book.txt";
        WriteBytes(source, "abcdefghijklmnopqrstuvwxyz0123");
        CSonoleafDlg& w = Prepare(speech, source, QStringLiteral("10"));
        speech->SetSpeakBlocks(true);
        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitForBlockedSpeaks(1));
        Click(*FindControl(w, ui::kStopButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(RenderedTexts(), QStringList{"abcdefghij"});
        QCOMPARE(FileNames(out_.Path()), QStringList{"book_1.mp3"});
        // Its journal stays, so that the list can be resumed.
        QVERIFY(std::filesystem::exists(out_.Path() / ".book.sonoleaf-list"));

        speech->SetSpeakBlocks(false);
        speech->ClearLog();
        Click(*FindControl(w, ui::kLengthListButton));
        ANSWER_RESUME(false);  // No: the list starts over, as it always did
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(RenderedTexts(), (QStringList{"abcdefghij", "klmnopqrst", "uvwxyz0123"}));
        QCOMPARE(FileNames(out_.Path()), (QStringList{"book_1.mp3", "book_2.mp3", "book_3.mp3"}));
    }

    // With the real service every file holds speech, as MP3 or WAV by the audio type.
    void realRunWritesSpeech_data() {
        QTest::addColumn<bool>("wav");
        QTest::newRow("MP3") << false;
        QTest::newRow("WAV") << true;
    }
    void realRunWritesSpeech() {
        QFETCH(bool, wav);
        const fs::path source = in_.Path() / "story.txt";
        WriteBytes(source, "Hello there, this is the first part. And here is the second.");
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QStringLiteral("37"));
        if (wav) QVERIFY(ChooseSetting(w, ui::kWavRadio));
        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        const QString extension = wav ? QStringLiteral(".wav") : QStringLiteral(".mp3");
        QCOMPARE(FileNames(out_.Path()),
                 (QStringList{"story_1" + extension, "story_2" + extension}));
        for (const QString& name : FileNames(out_.Path())) {
            EXPECT_SPEECH_FILE(out_.Path() / name.toStdString(), !wav, 0.8, 8.0);
        }
    }

    // A destination that does not exist: nothing is created, and the closing message
    // says that no file could be saved.
    void realRunIntoAMissingFolder() {
        const fs::path source = in_.Path() / "story.txt";
        WriteBytes(source, "Hello there, this is the first part. And here is the second.");
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QStringLiteral("37"));
        const QString missing = Q(out_.Path() / "not there");
        SetField(w, kAudioFolderBrowse, missing);
        Click(*FindControl(w, ui::kLengthListButton));
        FOLLOW_ALERT(kDone + QStringLiteral("\r\n2 of 2 audio files could not be saved to: ") +
                         missing + QStringLiteral("\r\nThe folder does not exist."),
                     w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QVERIFY(FileNames(out_.Path()).isEmpty());
    }

    // Stopped after its first file, the list asks whether to resume when started again
    // with the same settings; Yes makes only the missing files.
    void stoppedListResumesOnYes() {
        const fs::path source = in_.Path() / "tale.txt";
        WriteBytes(source, Prose(600).toStdString());
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QStringLiteral("200"));
        Click(*FindControl(w, ui::kLengthListButton));
        QVERIFY(WaitUntil([&] { return fs::exists(out_.Path() / "tale_1.mp3"); }, kJobWaitMs));
        Click(*FindControl(w, ui::kStopButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        const auto first = fs::last_write_time(out_.Path() / "tale_1.mp3");

        Click(*FindControl(w, ui::kLengthListButton));
        ANSWER_RESUME(true);
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(FileNames(out_.Path()), (QStringList{"tale_1.mp3", "tale_2.mp3", "tale_3.mp3"}));
        QCOMPARE(fs::last_write_time(out_.Path() / "tale_1.mp3"), first);
        QVERIFY(!fs::exists(out_.Path() / ".tale.sonoleaf-list"));  // whole: the journal went
    }

    // A real rendering stopped midway leaves a complete file, and no further one.
    void realStopLeavesACompleteFile() {
        const fs::path source = in_.Path() / "novel.txt";
        WriteBytes(source, Prose(4500).toStdString());
        CSonoleafDlg& w = Prepare(SystemSpeech(), source, QStringLiteral("1500"));
        const fs::path first = out_.Path() / "novel_1.mp3";
        Click(*FindControl(w, ui::kLengthListButton));
        // Stop once the first audio of file 1 is on disk (under its temporary name: a
        // file takes its own name when it is whole, or cut short by Stop).
        QVERIFY(WaitUntil(
            [&] {
                std::error_code error;
                for (const auto& entry : fs::directory_iterator(out_.Path(), error)) {
                    if (entry.path().filename().string().starts_with(".novel_1.mp3.part-") &&
                        entry.file_size(error) > 0)
                        return true;
                }
                return false;
            },
            kJobWaitMs));
        Click(*FindControl(w, ui::kStopButton));
        FOLLOW_ALERT(kDone, w.lengthListBusy, 1);
        FOLLOW_ALERT(kEnded, w.lengthListBusy, 0);
        EXPECT_RUN_ENDED(w, w.lengthListBusy);
        QCOMPARE(FileNames(out_.Path()), QStringList{"novel_1.mp3"});
        // 1500 characters are well over a minute of speech; the stop cut it short.
        EXPECT_SPEECH_FILE(first, true, 0.01, 60.0);
    }
};

QTEST_MAIN(JobsLengthListTest)
#include "jobs_length_list_qtest.moc"
