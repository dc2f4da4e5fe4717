#pragma once
// Playback on the PulseAudio server's default sink through the simple API. Every call
// of one object must come from the same thread, the speaking one.

#include <memory>

#include "platform/speech/audio_output.h"

struct pa_simple;

namespace sonoleaf::speech_service {

class PulseOutput final : public AudioOutput {
  public:
    // kNoAudioDevice when no server answers (within about a second and a half); a
    // server is never started for this.
    static HResult Open(std::unique_ptr<PulseOutput>& output);
    ~PulseOutput() override;

    std::size_t SliceSamples() const override;
    HResult Write(std::span<const std::int16_t> samples) override;
    HResult Finish() override;
    void Discard() override;

  private:
    struct Closer {
        void operator()(pa_simple* stream) const;
    };
    explicit PulseOutput(std::unique_ptr<pa_simple, Closer> stream);
    std::unique_ptr<pa_simple, Closer> stream_;
};

}  // namespace sonoleaf::speech_service
