#pragma once
// The main window (template 102). It owns what lives for the program's whole run:
// the speech engine, the voice settings dialog with its profile, the eight job busy
// flags and the job runner; and it is the host through which jobs reach the window.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>

#include "jobs/job_runner.h"
#include "jobs/progress_board.h"
#include "platform/dialogs/template_dialog.h"
#include "platform/speech/speech_service.h"
#include "speech/speech_job_host.h"

class QLabel;
class QLineEdit;
class QMenu;

namespace sonoleaf {

namespace dialogs {
class BrowseEdit;
class MultiLineEdit;
}  // namespace dialogs

namespace ui {
class ActivityArea;
class LauncherEntry;
}  // namespace ui

class SpeechEngine;
class VoiceSetting;

class CSonoleafDlg : public dialogs::TemplateDialog, public SpeechJobHost {
    Q_OBJECT

  public:
    explicit CSonoleafDlg(std::shared_ptr<speech_service::SpeechService> service);
    ~CSonoleafDlg() override;

    // JobHost: reached from job threads; the widgets are touched on the GUI thread.
    std::u16string ReadControlText(int controlId) override;
    bool IsChecked(int controlId) override;
    bool SaveData() override;
    void ShowVoiceSettingDialog() override;
    VoiceProfile& Profile() override;
    bool Ask(const std::u16string& question) override;
    SpeechEngine& Engine() override;
    std::atomic<std::int32_t>& BusyFlag(Job job) override;

    // Charater Length field <-> charLengthValue; the other controls are bound.
    bool DoDataExchange(bool save) override;

    // Handlers of the message map.
    void OnSysCommand(unsigned commandId, long parameter = 0);
    void OnHelpButton();
    void OnAboutButton();
    void OnStopButton();
    void LaunchJob(Job job);
    QIcon OnQueryDragIcon() const { return appIcon; }

    // The stand-in for the system menu: Minimise, Close, then About.
    std::unique_ptr<QMenu> CreateSystemMenu();

    // Stops all speech, closes the boxes and the settings dialog, joins every job
    // (serving their GUI requests meanwhile), then releases engine and profile. Runs
    // once, when the window closes (or at the latest when it is destroyed).
    void ShutDown();
    bool ShuttingDown() const { return shuttingDown_.load(); }

    JobRunner& Jobs() { return jobRunner; }

    // A file given to the program ("Open With") or dropped onto the window: a book
    // goes where Convert PDF to Text takes it, any other file where the audio jobs take
    // their text. False, and nothing changed, when it names no file.
    bool OpenFile(const QString& path);

    // Members as the jobs and the window's handlers know them.
    QIcon appIcon;
    QPointer<dialogs::MultiLineEdit> typedTextEdit;
    std::unique_ptr<SpeechEngine> speechEngine;
    std::unique_ptr<VoiceSetting> voiceSetting;
    QPointer<dialogs::BrowseEdit> pdfSourceBrowse;
    QPointer<dialogs::BrowseEdit> textFolderBrowse;
    QPointer<dialogs::BrowseEdit> textSourceBrowse;
    QPointer<dialogs::BrowseEdit> audioFolderBrowse;
    std::atomic<std::int32_t> voiceSettingBusy{0};
    std::atomic<std::int32_t> pdfToTextBusy{0};
    std::atomic<std::int32_t> speakNowBusy{0};
    std::atomic<std::int32_t> makeAudioBusy{0};
    std::atomic<std::int32_t> speakFileBusy{0};
    std::atomic<std::int32_t> fileToAudioBusy{0};
    std::atomic<std::int32_t> lengthListBusy{0};
    std::atomic<std::int32_t> titleListBusy{0};
    std::int32_t charLengthValue = 0;
    QPointer<QLineEdit> charLengthEdit;
    QPointer<QLabel> pdfHeading;
    QPointer<QLabel> audioHeading;
    QPointer<QLineEdit> startNumberEdit;
    QFont headingFont;

  protected:
    void done(int result) override;
    // Files dragged over any control land on the window, not as text in a field.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void OnInitDialog();
    void BindControls();
    // Reads the board into the activity area and the taskbar; the timer runs only
    // while a job does.
    void ShowProgress();

    QPixmap background_;
    ProgressBoard progressBoard_;
    QPointer<ui::ActivityArea> activityArea_;
    std::unique_ptr<ui::LauncherEntry> launcher_;
    QTimer progressTimer_;
    std::atomic<bool> shuttingDown_{false};
    bool shutDownDone_ = false;
    JobRunner jobRunner;  // last: its destructor joins what is left
};

}  // namespace sonoleaf
