#include "jobs/alert.h"
#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"

namespace sonoleaf {

namespace ss = speech_service;

void SpeakNowJob(SpeechJobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::SpeakNow);
    busy = 1;
    const std::u16string text = host.ReadControlText(kTypedTextEdit);
    // Only for the window's own check of the number field; the outcome is not used.
    host.SaveData();

    SpeechEngine& engine = host.Engine();
    engine.CopyProfile(host.Profile());
    const ProfileCopy profile = engine.TakeProfile();
    std::shared_ptr<ss::Voice> voice;
    ss::HResult spoken = engine.Service().CreateVoice(voice);
    if (ss::Succeeded(spoken) && voice) {
        const LiveVoiceRegistration live(engine.liveVoice, voice);
        voice->SetVolume(static_cast<std::uint16_t>(profile.volume));
        voice->SetRate(profile.speed);
        voice->UsePronunciations(profile.pronunciations);
        engine.SelectVoiceByGender(*voice, profile.voiceGender, nullptr, profile.voiceName);
        spoken = voice->Speak(text, ss::kSpeakDefault, nullptr);
    }
    voice.reset();

    busy = 0;
    ShowAlert("Text to Speech operation Completed");
    // Heard nothing: the user learns why, after the job's own message.
    if (ss::Failed(spoken)) ShowAlertText(SpeakFailureMessage(spoken), AlertKind::Failure);
}

}  // namespace sonoleaf
