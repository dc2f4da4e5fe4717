#include "speech/voice_list.h"

#include <algorithm>
#include <memory>

namespace sonoleaf {

namespace ss = speech_service;

std::vector<VoiceEntry> ListVoices(ss::SpeechService& service) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    if (ss::Failed(service.CreateTokenCategory(category)) || !category ||
        ss::Failed(category->SetId(ss::kVoicesCategory, false)) ||
        ss::Failed(category->EnumTokens(nullptr, nullptr, tokens)) || !tokens)
        return {};
    std::vector<VoiceEntry> voices;
    std::shared_ptr<ss::VoiceToken> token;
    while (tokens->Next(1, token, nullptr) == ss::kOk && token) {
        voices.push_back({token->Attribute(u"Name"), token->Attribute(u"Gender"),
                          token->Attribute(u"Language")});
    }
    return voices;
}

bool HasVoiceNamed(const std::vector<VoiceEntry>& voices, const std::u16string& name) {
    return std::any_of(voices.begin(), voices.end(),
                       [&](const VoiceEntry& voice) { return voice.name == name; });
}

}  // namespace sonoleaf
