#include "ui/voice_setting.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHideEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QUrl>
#include <array>
#include <utility>

#include "platform/dialogs/message_box.h"
#include "platform/text/pronunciations.h"
#include "platform/text/text_convert.h"
#include "speech/voice_sample.h"
#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/templates.h"
#include "ui/voice_choice_store.h"

namespace sonoleaf {

using ui::kFemaleRadio;
using ui::kListenButton;
using ui::kM4bRadio;
using ui::kMaleRadio;
using ui::kMp3Radio;
using ui::kPronunciationsButton;
using ui::kSpeedTrackbar;
using ui::kSubtitlesCheck;
using ui::kVoiceNameCombo;
using ui::kVolumeTrackbar;
using ui::kWavRadio;

namespace {

using Handler = void (VoiceSetting::*)();
const std::array<std::pair<int, Handler>, 4> kMessageMap{{
    {dialogs::kIdOk, &VoiceSetting::OnOK},
    {dialogs::kIdCancel, &VoiceSetting::OnCancel},
    {kPronunciationsButton, &VoiceSetting::OnPronunciations},
    {kListenButton, &VoiceSetting::OnListen},
}};

constexpr char kByGender[] = "By gender (as chosen above)";

std::int32_t GenderOf(const VoiceEntry& voice) {
    return voice.gender == u"Male" ? Male : voice.gender == u"Female" ? Female : 0;
}

}  // namespace

VoiceSetting::VoiceSetting(std::function<std::vector<VoiceEntry>()> voices, SpeechEngine* engine)
    : TemplateDialog(ui::VoiceSettingTemplate(), ui::IconFor), listVoices_(std::move(voices)) {
    setWindowIcon(ui::IconFor(ui::kAppIcon));
    if (engine != nullptr) sample_ = std::make_unique<VoiceSample>(*engine);
    if (auto* listen = ControlAs<QPushButton>(kListenButton)) {
        listen->setAccessibleDescription(
            QStringLiteral("Speaks a sample sentence with the voice, volume and speed chosen"));
    }
    voiceName.Store(ui::SavedVoiceName());
    for (const auto& [id, handler] : kMessageMap) {
        if (auto* button = ControlAs<QAbstractButton>(id)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, handler] { (this->*handler)(); });
        }
    }
    if (auto* combo = ControlAs<QComboBox>(kVoiceNameCombo)) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { ShowPickedGender(); });
    }
    for (const auto& [id, gender] :
         {std::pair{kMaleRadio, Male}, std::pair{kFemaleRadio, Female}}) {
        // Toggled, not clicked: the arrow keys move the check without a click.
        if (auto* radio = ControlAs<QAbstractButton>(id)) {
            connect(radio, &QAbstractButton::toggled, this, [this, gender = gender](bool on) {
                if (on) GenderChecked(gender);
            });
        }
    }
}

bool VoiceSetting::DoDataExchange(bool) {
    volumeTrackbar = ControlAs<QSlider>(kVolumeTrackbar);
    speedTrackbar = ControlAs<QSlider>(kSpeedTrackbar);
    maleButton = ControlAs<QRadioButton>(kMaleRadio);
    femaleButton = ControlAs<QRadioButton>(kFemaleRadio);
    mp3Button = ControlAs<QRadioButton>(kMp3Radio);
    wavButton = ControlAs<QRadioButton>(kWavRadio);
    m4bButton = ControlAs<QRadioButton>(kM4bRadio);
    subtitlesCheck = ControlAs<QCheckBox>(kSubtitlesCheck);
    voiceCombo = ControlAs<QComboBox>(kVoiceNameCombo);

    volumeTrackbar->setRange(0, 100);
    volumeTrackbar->setValue(volume.load());
    speedTrackbar->setRange(-10, 10);
    speedTrackbar->setValue(speed.load());
    (voiceGender.load() == Male ? maleButton : femaleButton)->setChecked(true);
    const std::int32_t type = audioType.load();
    (type == Mp3 ? mp3Button : type == Wav ? wavButton : m4bButton)->setChecked(true);
    subtitlesCheck->setChecked(subtitles.load() != 0);

    // The voices as installed now; a kept voice no longer there is by gender again.
    listed_ = listVoices_ ? listVoices_() : std::vector<VoiceEntry>{};
    {
        const QSignalBlocker quiet(voiceCombo.data());
        voiceCombo->clear();
        voiceCombo->addItem(QString::fromUtf8(kByGender));
        for (const VoiceEntry& voice : listed_) {
            voiceCombo->addItem(
                QString::fromStdU16String(voice.name + u" \u2014 " + voice.language));
        }
        const std::u16string chosen = voiceName.Load();
        int index = 0;
        for (std::size_t i = 0; i < listed_.size() && !chosen.empty(); ++i) {
            if (listed_[i].name == chosen) index = static_cast<int>(i) + 1;
        }
        voiceCombo->setCurrentIndex(index);
    }
    ShowPickedGender();
    return true;
}

const VoiceEntry* VoiceSetting::PickedVoice() const {
    const int index = voiceCombo ? voiceCombo->currentIndex() : 0;
    if (index < 1 || static_cast<std::size_t>(index) > listed_.size()) return nullptr;
    return &listed_[static_cast<std::size_t>(index) - 1];
}

void VoiceSetting::ShowPickedGender() {
    const VoiceEntry* voice = PickedVoice();
    if (voice == nullptr || !maleButton || !femaleButton) return;
    if (GenderOf(*voice) == Male) maleButton->setChecked(true);
    if (GenderOf(*voice) == Female) femaleButton->setChecked(true);
}

void VoiceSetting::GenderChecked(std::int32_t gender) {
    const VoiceEntry* voice = PickedVoice();
    if (voice != nullptr && GenderOf(*voice) != gender) voiceCombo->setCurrentIndex(0);
}

void VoiceSetting::OnOK() {
    volume.store(volumeTrackbar->value());
    speed.store(speedTrackbar->value());
    voiceGender.store(maleButton->isChecked() ? Male : Female);
    audioType.store(mp3Button->isChecked() ? Mp3 : wavButton->isChecked() ? Wav : M4b);
    subtitles.store(subtitlesCheck->isChecked() ? 1 : 0);  // the window writes SubRip
    const VoiceEntry* voice = PickedVoice();
    voiceName.Store(voice != nullptr ? voice->name : std::u16string());
    ui::SaveVoiceName(voiceName.Load());
    TemplateDialog::OnOK();
}

VoiceSetting::~VoiceSetting() = default;

void VoiceSetting::OnListen() {
    if (!sample_ || !volumeTrackbar || !speedTrackbar || !maleButton) return;
    const VoiceEntry* voice = PickedVoice();
    sample_->Speak({.volume = volumeTrackbar->value(),
                    .speed = speedTrackbar->value(),
                    .gender = maleButton->isChecked() ? Male : Female,
                    .voiceName = voice != nullptr ? voice->name : std::u16string()});
}

void VoiceSetting::hideEvent(QHideEvent* event) {
    if (sample_) sample_->Stop();
    TemplateDialog::hideEvent(event);
}

void VoiceSetting::OnPronunciations() {
    const std::string path = text::DefaultPronunciationsPath();
    const std::u16string shown = text::ToWide(path);
    if (path.empty() || !text::EnsurePronunciationsFile(path)) {
        dialogs::ShowMessageBox(u"Voice Setting",
                                u"The pronunciation list could not be made: " +
                                    (shown.empty() ? u"no home folder is known" : shown));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) {
        dialogs::ShowMessageBox(u"Voice Setting", u"No editor could be started for " + shown +
                                                      u". Open it with any text editor.");
    }
}

void VoiceSetting::Open() {
    DoDataExchange(false);
    if (QWidget* first = Control(kMaleRadio)) first->setFocus(Qt::OtherFocusReason);
    show();
    raise();
    activateWindow();
}

}  // namespace sonoleaf
