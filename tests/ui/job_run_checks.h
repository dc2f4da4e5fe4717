#pragma once
// Steps shared by the suites that run whole jobs through the main window: filling
// its fields, following a job's alerts in order together with its busy flag, and
// looking at the files it left.

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lists/list_run.h"
#include "platform/speech/speech_service.h"
#include "platform/text/output_names.h"
#include "support/audio_file_check.h"
#include "support/gui_test_base.h"
#include "ui/sonoleaf_dlg.h"
#include "ui/voice_setting.h"

namespace sonoleaf::testing {

// Real renders and conversions on a busy machine may take a while; every wait ends
// as soon as its condition holds.
inline constexpr int kJobWaitMs = 30000;

// One real speech service for the whole suite, as for the program itself.
inline std::shared_ptr<speech_service::SpeechService> SystemSpeech() {
    static const std::shared_ptr<speech_service::SpeechService> service =
        speech_service::CreateSystemSpeechService();
    return service;
}

// Opens the voice settings through the window, picks the radio button `radioId`
// (gender or audio type) and closes the dialog with OK.
inline bool ChooseSetting(CSonoleafDlg& window, int radioId) {
    Click(*FindControl(window, 1004));
    if (!WaitUntil([&] { return window.voiceSetting->isVisible(); })) return false;
    Click(*FindControl(*window.voiceSetting, radioId));
    Click(*FindControl(*window.voiceSetting, 1));
    return WaitForFlag(window.voiceSettingBusy, 0);
}

inline QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Types `text` into the edit with this id (line edits, browse edits, the text box).
inline void SetField(CSonoleafDlg& window, int id, const QString& text) {
    QWidget* control = FindControl(window, id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
        box->setPlainText(text);
    }
}

// Fills in a length list as a user would: the text file, the audio folder and a
// length of 10 bytes.
inline void FillLengthList(CSonoleafDlg& window, const std::filesystem::path& source,
                           const std::filesystem::path& folder) {
    SetField(window, kTextSourceBrowse, Q(source));
    SetField(window, kAudioFolderBrowse, Q(folder));
    SetField(window, kCharLengthEdit, QStringLiteral("10"));
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A named pipe that no one writes to: a reader that opens it blindly waits for a
// writer. The destructor opens it for writing once, so that such a reader is let go
// and a failed test cannot hang.
class NamedPipe {
  public:
    explicit NamedPipe(std::filesystem::path path) : path_(std::move(path)) {
        ::mkfifo(path_.c_str(), 0600);
    }
    ~NamedPipe() {
        const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        ::unlink(path_.c_str());
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

  private:
    std::filesystem::path path_;
};

// The names of the files in `folder`, sorted.
inline QStringList FileNames(const std::filesystem::path& folder) {
    QStringList names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        // A list's journal stays hidden beside its files until the list is whole.
        if (entry.path().filename().string().starts_with('.')) continue;
        names << QString::fromStdString(entry.path().filename().string());
    }
    names.sort();
    return names;
}

// Waits until an alert is open, then demands that it is the only one, that it says
// `text` and that the busy flag holds `busyWhileOpen` while it is open; then presses
// OK. Empty on success, else what went wrong.
inline QString FollowAlert(const QString& text, const std::atomic<std::int32_t>& busy,
                           std::int32_t busyWhileOpen, int timeoutMs = kJobWaitMs) {
    if (!WaitUntil([] { return !OpenAlerts().isEmpty(); }, timeoutMs)) {
        return QStringLiteral("no alert appeared; expected \"%1\"").arg(text);
    }
    const QStringList open = OpenAlertTexts();
    if (open != QStringList{text}) {
        return QStringLiteral("open alerts [%1]; expected only \"%2\"")
            .arg(open.join(QStringLiteral("] [")), text);
    }
    // A flag is cleared before the closing message and only after a validation
    // message has been dismissed, so while the box is open its value is settled.
    if (busy.load() != busyWhileOpen) {
        return QStringLiteral("busy flag %1 while \"%2\" was open; expected %3")
            .arg(busy.load())
            .arg(text)
            .arg(busyWhileOpen);
    }
    if (!DismissAlert(text, kWaitMs)) return QStringLiteral("\"%1\" did not close").arg(text);
    return {};
}

// Waits for the question "Resume it?" of a list whose journal matches, and answers it.
// Empty on success, else what went wrong.
inline QString AnswerResume(bool yes, int timeoutMs = kJobWaitMs) {
    QMessageBox* box = WaitForAlert(QString::fromStdU16String(kResumeQuestion), timeoutMs);
    if (box == nullptr) return QStringLiteral("no question whether to resume");
    QAbstractButton* button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
    if (button == nullptr) return QStringLiteral("the question has no Yes and No");
    button->click();
    return {};
}

// After the last alert of a run: the job's thread has ended, its flag is clear and
// no box is left open.
inline QString RunEnded(CSonoleafDlg& window, const std::atomic<std::int32_t>& busy) {
    if (!WaitUntil([&] { return window.Jobs().Running() == 0; }, kJobWaitMs)) {
        return QStringLiteral("the job's thread did not end");
    }
    if (busy.load() != 0) return QStringLiteral("busy flag still set at the end");
    if (!OpenAlerts().isEmpty()) {
        return QStringLiteral("unexpected alert [%1]").arg(OpenAlertTexts().join("] ["));
    }
    return {};
}

// The time stamps of every second from `from` to `to`: the names that a job run in
// between may have chosen.
inline QStringList StampsBetween(std::time_t from, std::time_t to) {
    QStringList stamps;
    for (std::time_t t = from; t <= to; ++t) {
        stamps << QString::fromStdU16String(text::MakeTimeStamp(t));
    }
    return stamps;
}

inline bool LooksLikeTimeStamp(const QString& name) {
    static const QRegularExpression stamp(QStringLiteral(
        "^[0-9]{6}_(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day_[A-Z][a-z]+_[0-9]{2}_[0-9]{4}$"));
    return stamp.match(name).hasMatch();
}

// A complete audio file of the expected kind (by content) that decodes to between
// `minSeconds` and `maxSeconds`. Empty on success.
inline QString CheckSpeechFile(const std::filesystem::path& path, bool mp3, double minSeconds,
                               double maxSeconds) {
    const AudioFileReport report = CheckAudioFile(path);
    const QString name = Q(path.filename());
    if (!report.valid) {
        return QStringLiteral("%1 is not valid audio: %2")
            .arg(name, QString::fromStdString(report.problem));
    }
    if (report.mp3 != mp3) {
        return QStringLiteral("%1 holds %2 data").arg(name, report.mp3 ? "MP3" : "WAV");
    }
    if (report.seconds < minSeconds || report.seconds > maxSeconds) {
        return QStringLiteral("%1 lasts %2 s; expected %3 to %4 s")
            .arg(name)
            .arg(report.seconds)
            .arg(minSeconds)
            .arg(maxSeconds);
    }
    return {};
}

}  // namespace sonoleaf::testing

// Qt Test's checks return from the function they are in; these wrap the helpers
// above so that a failed step ends the test function itself.
#define FOLLOW_ALERT(text, busy, busyWhileOpen)                                       \
    do {                                                                              \
        const QString failure_ =                                                      \
            ::sonoleaf::testing::FollowAlert(QString(text), (busy), (busyWhileOpen)); \
        QVERIFY2(failure_.isEmpty(), qPrintable(failure_));                           \
    } while (false)
#define ANSWER_RESUME(yes)                                               \
    do {                                                                 \
        const QString failure_ = ::sonoleaf::testing::AnswerResume(yes); \
        QVERIFY2(failure_.isEmpty(), qPrintable(failure_));              \
    } while (false)
#define EXPECT_RUN_ENDED(window, busy)                                            \
    do {                                                                          \
        const QString failure_ = ::sonoleaf::testing::RunEnded((window), (busy)); \
        QVERIFY2(failure_.isEmpty(), qPrintable(failure_));                       \
    } while (false)
#define EXPECT_SPEECH_FILE(path, mp3, minSeconds, maxSeconds)                                \
    do {                                                                                     \
        const QString failure_ =                                                             \
            ::sonoleaf::testing::CheckSpeechFile((path), (mp3), (minSeconds), (maxSeconds)); \
        QVERIFY2(failure_.isEmpty(), qPrintable(failure_));                                  \
    } while (false)
