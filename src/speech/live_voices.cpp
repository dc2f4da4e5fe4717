#include "speech/live_voices.h"

#include <algorithm>

namespace sonoleaf {

void LiveVoices::Add(const std::shared_ptr<speech_service::Voice>& voice) {
    if (!voice) return;
    std::lock_guard lock(mutex_);
    voices_.push_back(voice);
}

void LiveVoices::Remove(const std::shared_ptr<speech_service::Voice>& voice) {
    std::lock_guard lock(mutex_);
    const auto found = std::find(voices_.begin(), voices_.end(), voice);
    if (found != voices_.end()) voices_.erase(found);
}

void LiveVoices::PauseAll() {
    // Pausing under the lock keeps every voice alive until its pause has returned,
    // even if its job releases it meanwhile; a pause returns at once.
    std::lock_guard lock(mutex_);
    for (const auto& voice : voices_) voice->Pause();
}

bool LiveVoices::Empty() const {
    std::lock_guard lock(mutex_);
    return voices_.empty();
}

std::size_t LiveVoices::Size() const {
    std::lock_guard lock(mutex_);
    return voices_.size();
}

}  // namespace sonoleaf
