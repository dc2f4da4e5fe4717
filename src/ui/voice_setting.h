#pragma once
// The voice settings dialog (template 130) and the voice profile it holds for the
// whole run. Data exchange always carries the profile into the controls; only OK
// takes the controls' state into the profile. The voice chosen by name is kept for
// the next start of the program; the other settings start at their defaults. Listen
// speaks a sample with the controls' state, without taking it.

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "jobs/voice_profile.h"
#include "platform/dialogs/template_dialog.h"
#include "speech/voice_list.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSlider;

namespace sonoleaf {

class SpeechEngine;
class VoiceSample;

class VoiceSetting : public dialogs::TemplateDialog, public VoiceProfile {
    Q_OBJECT

  public:
    // `voices` lists the installed voices whenever the dialog opens; without it only
    // the choice by gender is offered. `engine` speaks the samples; without it Listen
    // says nothing.
    explicit VoiceSetting(std::function<std::vector<VoiceEntry>()> voices = {},
                          SpeechEngine* engine = nullptr);
    ~VoiceSetting() override;  // stops the sample

    // Profile -> controls, whatever the direction.
    bool DoDataExchange(bool save) override;
    // Takes the thumbs, the radio buttons and the voice, then the framework's OK.
    void OnOK() override;
    // Opens the pronunciation list in the desktop's editor, made first when absent.
    void OnPronunciations();
    // Speaks the sample sentence with the controls' voice, volume and speed; a click
    // while one is spoken stops it and starts over with the controls as they are now.
    void OnListen();

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
    QPointer<QComboBox> voiceCombo;

  protected:
    // However the dialog goes (OK, Cancel, Esc, close box), the sample stops.
    void hideEvent(QHideEvent* event) override;

  private:
    // The voice picked in the list, or null for the choice by gender.
    const VoiceEntry* PickedVoice() const;
    // A voice picked by name checks its gender; a gender it has not goes back to the
    // choice by gender.
    void ShowPickedGender();
    void GenderChecked(std::int32_t gender);

    std::function<std::vector<VoiceEntry>()> listVoices_;
    std::vector<VoiceEntry> listed_;       // the list's entries after its first
    std::unique_ptr<VoiceSample> sample_;  // null without an engine
};

}  // namespace sonoleaf
