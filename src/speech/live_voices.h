#pragma once
// The voices of one engine operation that exist right now. Each call of an operation
// has a voice of its own; Stop pauses all of them. Guarded, so that pausing from the
// GUI thread while a job releases its voice is safe.

#include <memory>
#include <mutex>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf {

class LiveVoices {
  public:
    void Add(const std::shared_ptr<speech_service::Voice>& voice);
    void Remove(const std::shared_ptr<speech_service::Voice>& voice);
    void PauseAll();
    bool Empty() const;
    std::size_t Size() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<speech_service::Voice>> voices_;
};

// Registers a voice for the lifetime of one operation call.
class LiveVoiceRegistration {
  public:
    LiveVoiceRegistration(LiveVoices& voices, std::shared_ptr<speech_service::Voice> voice)
        : voices_(voices), voice_(std::move(voice)) {
        voices_.Add(voice_);
    }
    ~LiveVoiceRegistration() { voices_.Remove(voice_); }
    LiveVoiceRegistration(const LiveVoiceRegistration&) = delete;
    LiveVoiceRegistration& operator=(const LiveVoiceRegistration&) = delete;

  private:
    LiveVoices& voices_;
    std::shared_ptr<speech_service::Voice> voice_;
};

}  // namespace sonoleaf
