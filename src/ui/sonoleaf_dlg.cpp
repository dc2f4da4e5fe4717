#include "ui/sonoleaf_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <array>
#include <utility>

#include "book/book_import.h"
#include "jobs/alert.h"
#include "jobs/voice_setting_job.h"
#include "lists/list_jobs.h"
#include "pdf/pdf_job.h"
#include "platform/dialogs/browse_edit.h"
#include "platform/dialogs/control_builder.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/gui_thread.h"
#include "platform/dialogs/icon_layout.h"
#include "platform/dialogs/message_box.h"
#include "platform/dialogs/multi_line_edit.h"
#include "platform/dialogs/qt_text.h"
#include "platform/process/run_program.h"
#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"
#include "ui/about_dlg.h"
#include "ui/activity_area.h"
#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/help_file.h"
#include "ui/launcher_entry.h"
#include "ui/templates.h"
#include "ui/voice_setting.h"

namespace sonoleaf {

using namespace ui;

namespace {

// Message map: control id -> handler, connected once at initialisation.
using Handler = void (*)(CSonoleafDlg&);
const std::array<std::pair<int, Handler>, 11> kMessageMap{{
    {kConvertPdfButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::PdfToText); }},
    {kSpeakNowButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::SpeakNow); }},
    {kMakeAudioButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::MakeAudio); }},
    {kVoiceSettingButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::VoiceSetting); }},
    {kSpeakFileButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::SpeakFile); }},
    {kFileToAudioButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::FileToAudio); }},
    {kStopButton, [](CSonoleafDlg& w) { w.OnStopButton(); }},
    {kLengthListButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::LengthList); }},
    {kTitleListButton, [](CSonoleafDlg& w) { w.LaunchJob(Job::TitleList); }},
    {kHelpButton, [](CSonoleafDlg& w) { w.OnHelpButton(); }},
    {kAboutButton, [](CSonoleafDlg& w) { w.OnAboutButton(); }},
}};

// Polls of the shutdown join; Stop is repeated between them, as a job may have
// created its voice (or started its converter) after the first Stop.
constexpr int kJoinPollMs = 20;
constexpr int kStopRepeatMs = 100;

// The activity area fills the free space of the template's lower left, between
// "Convert PDF to Text" and the About and Help buttons (dialog units).
constexpr int kActivityX = 11;
constexpr int kActivityY = 180;
constexpr int kActivityWidth = 228;
constexpr int kActivityHeight = 78;
// Often enough to look alive, rarely enough to cost a render nothing.
constexpr int kProgressPollMs = 250;

// The procedure behind each job's button.
using JobProcedure = void (*)(CSonoleafDlg&);
JobProcedure ProcedureFor(Job job) {
    switch (job) {
        case Job::VoiceSetting:
            return [](CSonoleafDlg& w) { VoiceSettingJob(w); };
        case Job::PdfToText:
            return [](CSonoleafDlg& w) { PdfToTextJob(w); };
        case Job::SpeakNow:
            return [](CSonoleafDlg& w) { SpeakNowJob(w); };
        case Job::MakeAudio:
            return [](CSonoleafDlg& w) { MakeAudioJob(w); };
        case Job::SpeakFile:
            return [](CSonoleafDlg& w) { SpeakFileJob(w); };
        case Job::FileToAudio:
            return [](CSonoleafDlg& w) { FileToAudioJob(w); };
        case Job::LengthList:
            return [](CSonoleafDlg& w) { LengthListJob(w); };
        case Job::TitleList:
            return [](CSonoleafDlg& w) { TitleListJob(w); };
    }
    return [](CSonoleafDlg&) {};
}

// The button that starts a job, whose caption names its row; none for the voice
// settings, which are a dialog rather than work to wait for.
int ButtonOf(Job job) {
    switch (job) {
        case Job::VoiceSetting:
            return 0;
        case Job::PdfToText:
            return kConvertPdfButton;
        case Job::SpeakNow:
            return kSpeakNowButton;
        case Job::MakeAudio:
            return kMakeAudioButton;
        case Job::SpeakFile:
            return kSpeakFileButton;
        case Job::FileToAudio:
            return kFileToAudioButton;
        case Job::LengthList:
            return kLengthListButton;
        case Job::TitleList:
            return kTitleListButton;
    }
    return 0;
}

}  // namespace

CSonoleafDlg::CSonoleafDlg(std::shared_ptr<speech_service::SpeechService> service)
    : TemplateDialog(MainWindowTemplate(), IconFor),
      appIcon(IconFor(kAppIcon)),
      speechEngine(std::make_unique<SpeechEngine>(std::move(service))),
      launcher_(std::make_unique<ui::LauncherEntry>()) {
    // A new window serves its jobs' boxes (an earlier window may have refused them
    // while it shut down).
    dialogs::SetMessageBoxesRefused(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BindControls();
    // Made after the template's controls, so that it comes last; it takes no focus.
    activityArea_ = new ui::ActivityArea(this);
    activityArea_->setGeometry(
        Units().ToPixels(kActivityX, kActivityY, kActivityWidth, kActivityHeight));
    progressTimer_.setInterval(kProgressPollMs);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });
    for (const auto& [id, handler] : kMessageMap) {
        if (auto* button = ControlAs<QAbstractButton>(id)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, handler = handler] { handler(*this); });
        }
    }
    OnInitDialog();
    setAcceptDrops(true);
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

CSonoleafDlg::~CSonoleafDlg() {
    ShutDown();
}

void CSonoleafDlg::BindControls() {
    typedTextEdit = ControlAs<dialogs::MultiLineEdit>(kTypedTextEdit);
    pdfSourceBrowse = ControlAs<dialogs::BrowseEdit>(kPdfSourceBrowse);
    if (pdfSourceBrowse) {
        QStringList filters;
        for (const std::string_view filter : book::kSourceFileFilters)
            filters << QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()));
        pdfSourceBrowse->SetNameFilters(filters);
    }
    textFolderBrowse = ControlAs<dialogs::BrowseEdit>(kTextFolderBrowse);
    textSourceBrowse = ControlAs<dialogs::BrowseEdit>(kTextSourceBrowse);
    audioFolderBrowse = ControlAs<dialogs::BrowseEdit>(kAudioFolderBrowse);
    charLengthEdit = ControlAs<QLineEdit>(kCharLengthEdit);
    pdfHeading = ControlAs<QLabel>(kPdfHeading);
    audioHeading = ControlAs<QLabel>(kAudioHeading);
    startNumberEdit = ControlAs<QLineEdit>(kStartNumberEdit);
}

void CSonoleafDlg::OnInitDialog() {
    DoDataExchange(false);

    headingFont = QFont(QStringLiteral("Arial"));
    headingFont.setPointSize(15);
    pdfHeading->setFont(headingFont);
    audioHeading->setFont(headingFont);

    background_ = Bitmap(kBackgroundBitmap);
    update();

    voiceSetting = std::make_unique<VoiceSetting>(
        [engine = speechEngine.get()] { return ListVoices(engine->Service()); },
        speechEngine.get());

    for (Job job : {Job::VoiceSetting, Job::PdfToText, Job::SpeakNow, Job::MakeAudio,
                    Job::SpeakFile, Job::FileToAudio, Job::LengthList, Job::TitleList}) {
        BusyFlag(job).store(0);
    }

    setWindowIcon(appIcon);
    if (QWidget* first = Control(kConvertPdfButton)) first->setFocus(Qt::OtherFocusReason);
}

bool CSonoleafDlg::DoDataExchange(bool save) {
    if (charLengthEdit.isNull()) return true;
    return dialogs::ExchangeInteger(save, *charLengthEdit, charLengthValue);
}

std::u16string CSonoleafDlg::ReadControlText(int controlId) {
    std::u16string text;
    dialogs::RunOnGuiThread([&] {
        if (const QWidget* control = Control(controlId)) {
            text = dialogs::ToU16(dialogs::ControlText(*control));
        }
    });
    return text;
}

bool CSonoleafDlg::IsChecked(int controlId) {
    bool checked = false;
    dialogs::RunOnGuiThread([&] {
        if (const auto* box = ControlAs<QAbstractButton>(controlId)) checked = box->isChecked();
    });
    return checked;
}

bool CSonoleafDlg::SaveData() {
    bool saved = false;
    dialogs::RunOnGuiThread([&] { saved = DoDataExchange(true); });
    return saved;
}

void CSonoleafDlg::ShowVoiceSettingDialog() {
    dialogs::OpenAndWait([this]() -> QDialog* {
        if (ShuttingDown() || !voiceSetting) return nullptr;
        voiceSetting->Open();
        return voiceSetting.get();
    });
}

bool CSonoleafDlg::Ask(const std::u16string& question) {
    return !ShuttingDown() && dialogs::AskQuestion(kAlertCaption, question);
}

VoiceProfile& CSonoleafDlg::Profile() {
    return *voiceSetting;
}

SpeechEngine& CSonoleafDlg::Engine() {
    return *speechEngine;
}

std::atomic<std::int32_t>& CSonoleafDlg::BusyFlag(Job job) {
    switch (job) {
        case Job::VoiceSetting:
            return voiceSettingBusy;
        case Job::PdfToText:
            return pdfToTextBusy;
        case Job::SpeakNow:
            return speakNowBusy;
        case Job::MakeAudio:
            return makeAudioBusy;
        case Job::SpeakFile:
            return speakFileBusy;
        case Job::FileToAudio:
            return fileToAudioBusy;
        case Job::LengthList:
            return lengthListBusy;
        case Job::TitleList:
            return titleListBusy;
    }
    return voiceSettingBusy;
}

void CSonoleafDlg::LaunchJob(Job job) {
    if (ShuttingDown()) return;
    const JobProcedure procedure = ProcedureFor(job);
    const auto* button = ControlAs<QAbstractButton>(ButtonOf(job));
    if (button == nullptr) {
        jobRunner.Launch(BusyFlag(job), [this, procedure] { procedure(*this); });
        return;
    }
    // A job that does not start ends its progress at once; the next reading drops it.
    jobRunner.Launch(
        BusyFlag(job), [this, procedure] { procedure(*this); },
        progressBoard_.Add(button->text().toStdString()));
    ShowProgress();
    if (!progressBoard_.Empty()) progressTimer_.start();
}

void CSonoleafDlg::ShowProgress() {
    const std::vector<JobRow> jobs = progressBoard_.Snapshot();
    if (activityArea_) activityArea_->Show(jobs);
    launcher_->Show(jobs);
    if (jobs.empty()) progressTimer_.stop();
}

void CSonoleafDlg::OnStopButton() {
    StopTtsProcess(*this);
}

void CSonoleafDlg::OnHelpButton() {
    // The viewer runs on its own; whatever it does with a missing file is all the
    // user sees.
    OpenHelp();
}

void CSonoleafDlg::OnAboutButton() {
    CAboutDlg about(this);
    about.setWindowModality(Qt::WindowModal);  // alerts of running jobs stay usable
    about.exec();
}

void CSonoleafDlg::OnSysCommand(unsigned commandId, long) {
    if ((commandId & 0xFFF0) == kIdmAboutBox) {
        OnAboutButton();
        return;
    }
    switch (commandId & 0xFFF0) {
        case kScMinimize:
            showMinimized();
            break;
        case kScClose:
            close();
            break;
        default:
            break;
    }
}

std::unique_ptr<QMenu> CSonoleafDlg::CreateSystemMenu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("systemMenu"));
    const auto add = [this, &menu](const QString& text, unsigned command) {
        QAction* action = menu->addAction(text);
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { OnSysCommand(command); });
    };
    add(tr("Minimise"), kScMinimize);
    add(tr("Close"), kScClose);
    add(QStringLiteral("About"), kIdmAboutBox);
    return menu;
}

void CSonoleafDlg::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = CreateSystemMenu();
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                  : mapToGlobal(QPoint(0, 0));
    menu->exec(at);
}

void CSonoleafDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (isMinimized()) {
        // Linux never paints a minimised window; kept for platforms that do.
        const QSize iconSize(32, 32);
        painter.drawPixmap(dialogs::CentredIconOrigin(size(), iconSize), appIcon.pixmap(iconSize));
        return;
    }
    if (!background_.isNull()) painter.drawTiledPixmap(rect(), background_);
}

void CSonoleafDlg::done(int result) {
    TemplateDialog::done(result);
    ShutDown();
}

void CSonoleafDlg::ShutDown() {
    if (shutDownDone_ || shuttingDown_.exchange(true)) return;
    dialogs::SetMessageBoxesRefused(true);
    StopTtsProcess(*this);
    // A converter that takes long finishes its file on its own; the window's end does
    // not wait for it.
    process::StopWaitingForPrograms();
    dialogs::CloseAllMessageBoxes();
    if (voiceSetting && voiceSetting->isVisible()) voiceSetting->OnCancel();

    QElapsedTimer sinceStop;
    sinceStop.start();
    jobRunner.JoinAll([this, &sinceStop] {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, kJoinPollMs);
        }
        if (sinceStop.elapsed() >= kStopRepeatMs) {
            StopTtsProcess(*this);
            process::StopWaitingForPrograms();
            dialogs::CloseAllMessageBoxes();
            sinceStop.restart();
        }
    });

    ShowProgress();  // the taskbar, too, learns that nothing runs any more
    voiceSetting.reset();
    speechEngine.reset();
    shutDownDone_ = true;
}

namespace {

// The first local file a drag carries, if any.
QString DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) return url.toLocalFile();
    return {};
}

}  // namespace

bool CSonoleafDlg::OpenFile(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) return false;
    const QString suffix = file.suffix().toLower();
    const bool book = suffix == QStringLiteral("pdf") || suffix == QStringLiteral("epub");
    QLineEdit* field = book ? pdfSourceBrowse.data() : textSourceBrowse.data();
    if (field == nullptr) return false;
    field->setText(QDir::toNativeSeparators(file.absoluteFilePath()));
    return true;
}

bool CSonoleafDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
        event->type() == QEvent::Drop) {
        auto* drag = static_cast<QDropEvent*>(event);
        const QString file = DraggedFile(drag->mimeData());
        if (!file.isEmpty()) {
            drag->acceptProposedAction();
            if (event->type() == QEvent::Drop) OpenFile(file);
            return true;
        }
    }
    return dialogs::TemplateDialog::eventFilter(watched, event);
}

}  // namespace sonoleaf
