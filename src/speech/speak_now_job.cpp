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
    const VoiceProfile& profile = host.Profile();
    // The profile is used as it is; the pronunciation list is read now, as by every job.
    const std::shared_ptr<const text::Pronunciations> rules = engine.ReadPronunciations();
    std::shared_ptr<ss::Voice> voice;
    ss::HResult spoken = engine.Service().CreateVoice(voice);
    if (ss::Succeeded(spoken) && voice) {
        const LiveVoiceRegistration live(engine.liveVoice, voice);
        voice->SetVolume(static_cast<std::uint16_t>(profile.volume.load()));
        voice->SetRate(profile.speed.load());
        if (rules) voice->UsePronunciations(rules->Source());
        engine.SelectVoiceByGender(*voice, profile.voiceGender.load(), nullptr,
                                   profile.voiceName.Load());
        spoken = voice->Speak(text, ss::kSpeakDefault, nullptr);
    }
    voice.reset();

    busy = 0;
    ShowAlert("Text to Speech operation Completed");
    // Heard nothing: the user learns why, after the job's own message.
    if (ss::Failed(spoken)) ShowAlertText(SpeakFailureMessage(spoken), AlertKind::Failure);
}

}  // namespace sonoleaf
