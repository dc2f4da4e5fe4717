#include "speech/voice_sample.h"

#include <utility>

#include "speech/speech_engine.h"

namespace sonoleaf {

namespace ss = speech_service;

VoiceSample::VoiceSample(SpeechEngine& engine)
    : engine_(engine), worker_([this](std::stop_token stop) { Run(std::move(stop)); }) {}

VoiceSample::~VoiceSample() {
    Stop();
    worker_.request_stop();
    worker_.join();
}

void VoiceSample::Speak(SampleSettings settings) {
    std::lock_guard lock(mutex_);
    ++generation_;
    pending_ = std::move(settings);
    StopSpeakingLocked();
    wake_.notify_all();
}

void VoiceSample::Stop() {
    std::lock_guard lock(mutex_);
    ++generation_;
    pending_.reset();
    StopSpeakingLocked();
}

void VoiceSample::StopSpeakingLocked() {
    if (speaking_) speaking_->Pause();
    speaking_.reset();
}

void VoiceSample::Run(std::stop_token stop) {
    for (;;) {
        SampleSettings settings;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [&] { return pending_.has_value(); })) return;
            settings = std::move(*pending_);
            pending_.reset();
            generation = generation_;
        }
        std::shared_ptr<ss::Voice> voice;
        if (ss::Failed(engine_.Service().CreateVoice(voice)) || !voice) continue;
        voice->SetVolume(static_cast<std::uint16_t>(settings.volume));
        voice->SetRate(settings.speed);
        engine_.SelectVoiceByGender(*voice, settings.gender, nullptr, settings.voiceName);
        {
            // Stopped or replaced while the voice was made: this one stays silent.
            std::lock_guard lock(mutex_);
            if (generation != generation_ || stop.stop_requested()) continue;
            speaking_ = voice;
        }
        // A failure (no sound output, say) is only not heard: the dialog stays as it is.
        voice->Speak(kSampleSentence, ss::kSpeakDefault, nullptr);
        std::lock_guard lock(mutex_);
        if (speaking_ == voice) speaking_.reset();
    }
}

}  // namespace sonoleaf
