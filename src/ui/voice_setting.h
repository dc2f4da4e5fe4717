#pragma once
// The voice settings dialog (template 130) and the voice profile it holds for the
// whole run. Data exchange always carries the profile into the controls; only OK
// takes the controls' state into the profile.

#include <QPointer>

#include "jobs/voice_profile.h"
#include "platform/dialogs/template_dialog.h"

class QCheckBox;
class QRadioButton;
class QSlider;

namespace sonoleaf {

class VoiceSetting : public dialogs::TemplateDialog, public VoiceProfile {
    Q_OBJECT

  public:
    VoiceSetting();

    // Profile -> controls, whatever the direction.
    bool DoDataExchange(bool save) override;
    // Takes the thumbs and the radio buttons, then the framework's OK.
    void OnOK() override;

    // Shows the dialog (without blocking) with the profile's values.
    void Open();

    // The controls, attached during data exchange.
    QPointer<QSlider> volumeTrackbar;
    QPointer<QSlider> speedTrackbar;
    QPointer<QRadioButton> maleButton;
    QPointer<QRadioButton> femaleButton;
    QPointer<QRadioButton> mp3Button;
    QPointer<QRadioButton> wavButton;
    QPointer<QRadioButton> m4bButton;
    QPointer<QCheckBox> subtitlesCheck;
};

}  // namespace sonoleaf
