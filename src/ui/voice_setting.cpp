#include "ui/voice_setting.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <array>
#include <utility>

#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/templates.h"

namespace sonoleaf {

using ui::kFemaleRadio;
using ui::kM4bRadio;
using ui::kMaleRadio;
using ui::kMp3Radio;
using ui::kSpeedTrackbar;
using ui::kSubtitlesCheck;
using ui::kVolumeTrackbar;
using ui::kWavRadio;

namespace {

using Handler = void (VoiceSetting::*)();
const std::array<std::pair<int, Handler>, 2> kMessageMap{{
    {dialogs::kIdOk, &VoiceSetting::OnOK},
    {dialogs::kIdCancel, &VoiceSetting::OnCancel},
}};

}  // namespace

VoiceSetting::VoiceSetting() : TemplateDialog(ui::VoiceSettingTemplate(), ui::IconFor) {
    setWindowIcon(ui::IconFor(ui::kAppIcon));
    for (const auto& [id, handler] : kMessageMap) {
        if (auto* button = ControlAs<QAbstractButton>(id)) {
            connect(button, &QAbstractButton::clicked, this,
                    [this, handler] { (this->*handler)(); });
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

    volumeTrackbar->setRange(0, 100);
    volumeTrackbar->setValue(volume.load());
    speedTrackbar->setRange(-10, 10);
    speedTrackbar->setValue(speed.load());
    (voiceGender.load() == Male ? maleButton : femaleButton)->setChecked(true);
    const std::int32_t type = audioType.load();
    (type == Mp3 ? mp3Button : type == Wav ? wavButton : m4bButton)->setChecked(true);
    subtitlesCheck->setChecked(subtitles.load() != 0);
    return true;
}

void VoiceSetting::OnOK() {
    volume.store(volumeTrackbar->value());
    speed.store(speedTrackbar->value());
    voiceGender.store(maleButton->isChecked() ? Male : Female);
    audioType.store(mp3Button->isChecked() ? Mp3 : wavButton->isChecked() ? Wav : M4b);
    subtitles.store(subtitlesCheck->isChecked() ? 1 : 0);  // the window writes SubRip
    TemplateDialog::OnOK();
}

void VoiceSetting::Open() {
    DoDataExchange(false);
    if (QWidget* first = Control(kMaleRadio)) first->setFocus(Qt::OtherFocusReason);
    show();
    raise();
    activateWindow();
}

}  // namespace sonoleaf
