#include "platform/speech/voice_ranking.h"

#include <algorithm>

#include "platform/speech/locale_language.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

std::string PrimarySubtag(std::string_view tag) {
    std::string primary(tag.substr(0, tag.find('-')));
    std::transform(primary.begin(), primary.end(), primary.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return primary;
}

}  // namespace

std::vector<RankedVoice> RankVoices(const std::vector<std::vector<EngineVoice>>& engineVoices,
                                    std::string_view userLanguage) {
    const std::string wanted = PrimarySubtag(userLanguage);
    std::vector<RankedVoice> ranked;
    std::vector<int> tier;  // 0: the user's language, 1: English, 2: any other
    for (std::size_t engine = 0; engine < engineVoices.size(); ++engine) {
        for (const EngineVoice& voice : engineVoices[engine]) {
            ranked.push_back({engine, voice});
            const std::string language = PrimarySubtag(text::ToNarrow(voice.language));
            tier.push_back(language == wanted ? 0 : language == "en" ? 1 : 2);
        }
    }
    // Engines already come in order, so a stable partition keeps the rest of the order.
    std::vector<RankedVoice> ordered;
    ordered.reserve(ranked.size());
    for (const int wantedTier : {0, 1, 2}) {
        for (std::size_t i = 0; i < ranked.size(); ++i)
            if (tier[i] == wantedTier) ordered.push_back(ranked[i]);
    }
    return ordered;
}

std::string RankingLanguage() {
    const std::string tag = UserLanguageTag();
    return tag.empty() ? "en" : tag;
}

}  // namespace sonoleaf::speech_service
