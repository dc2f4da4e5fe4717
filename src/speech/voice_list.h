#pragma once
// The voices the speech service offers, in its ranking: the order in which a profile
// of either gender finds them, the first of a gender being the one it reads with. The
// command line prints them; the settings dialog offers them by name.

#include <string>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf {

struct VoiceEntry {
    std::u16string name;
    std::u16string gender;
    std::u16string language;
};

// Empty when the service offers none (or cannot tell).
std::vector<VoiceEntry> ListVoices(speech_service::SpeechService& service);

// Whether one of `voices` has exactly the Name `name`.
bool HasVoiceNamed(const std::vector<VoiceEntry>& voices, const std::u16string& name);

}  // namespace sonoleaf
