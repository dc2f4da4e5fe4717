#pragma once
// The order the service offers voices in: the voices of the user's language first,
// then English ones, then those of every other language; within each, those of the
// better-sounding engine first. The first voice
// of a gender is the one a profile of that gender reads with.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {

struct RankedVoice {
    std::size_t engine = 0;  // index into the engines given to RankVoices
    EngineVoice voice;
};

// `engineVoices` holds each engine's voices (best first), engines best first.
// Voices whose language has the primary subtag of `userLanguage` come first, English
// ones next, the rest last; within each of these an earlier engine's voices come
// before a later one's, each engine's in its own order.
std::vector<RankedVoice> RankVoices(const std::vector<std::vector<EngineVoice>>& engineVoices,
                                    std::string_view userLanguage);

// The language voices are ranked for: the user's locale's, English when it says none.
std::string RankingLanguage();

}  // namespace sonoleaf::speech_service
