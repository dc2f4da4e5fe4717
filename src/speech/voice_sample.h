#pragma once
// Speaks one sample sentence with settings not yet taken into the profile (the voice
// settings dialog's Listen button), on a thread of its own, so that the dialog never
// waits for it. A new sample stops the one being spoken and starts over with the
// new settings; Stop and the destructor end the sample at once.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/speech/speech_service.h"

namespace sonoleaf {

class SpeechEngine;

// What a sample is spoken with: the dialog's controls as they are at the click.
struct SampleSettings {
    std::int32_t volume = 0;   // 0 to 100
    std::int32_t speed = 0;    // -10 to 10
    std::int32_t gender = 0;   // a VoiceGender
    std::u16string voiceName;  // a voice by Name; empty: by gender
};

inline constexpr char16_t kSampleSentence[] = u"This is how your books will sound.";

class VoiceSample {
  public:
    explicit VoiceSample(SpeechEngine& engine);
    ~VoiceSample();
    VoiceSample(const VoiceSample&) = delete;
    VoiceSample& operator=(const VoiceSample&) = delete;

    // Returns at once; the sample in progress, if any, is stopped first.
    void Speak(SampleSettings settings);
    // Stops the sample in progress and forgets one not yet begun.
    void Stop();

  private:
    void Run(std::stop_token stop);
    // Pauses the voice speaking, if any; under mutex_.
    void StopSpeakingLocked();

    SpeechEngine& engine_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<SampleSettings> pending_;
    // Counts Speak and Stop calls: a voice made for an older one never speaks.
    std::uint64_t generation_ = 0;
    std::shared_ptr<speech_service::Voice> speaking_;
    std::jthread worker_;  // last: it uses the members above
};

}  // namespace sonoleaf
