// The real speech service: the voices of every engine that works, voices that speak
// through them, and file streams.

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/segment_synthesis.h"
#include "platform/speech/sound_file_stream.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/speech/system_voice.h"
#include "platform/speech/voice_ranking.h"
#include "platform/speech/voice_tokens.h"

namespace sonoleaf::speech_service {
namespace {

// The synthesizers the service offers voices of, first-ranked first: Flite sounds far
// more natural than eSpeak NG, which speaks many more languages.
// SONOLEAF_ENGINES ("flite", "espeak-ng", or both, comma-separated) keeps only the
// named ones: for comparing voices, or for a user who prefers one synthesizer.
std::vector<std::shared_ptr<SynthesisEngine>> InstalledEngines() {
    const char* chosen = std::getenv("SONOLEAF_ENGINES");
    const std::string names = chosen != nullptr && *chosen != '\0' ? chosen : "flite,espeak-ng";
    const auto named = [&](std::string_view name) {
        return ("," + names + ",").find("," + std::string(name) + ",") != std::string::npos;
    };
    std::vector<std::shared_ptr<SynthesisEngine>> engines;
    if (named("flite")) engines.push_back(FliteEngine());
    if (named("espeak-ng")) engines.push_back(EspeakEngine());
    return engines;
}

class SystemSpeechService final : public SpeechService {
  public:
    explicit SystemSpeechService(const std::vector<std::shared_ptr<SynthesisEngine>>& engines) {
        std::vector<std::shared_ptr<SynthesisEngine>> working;
        std::vector<std::vector<EngineVoice>> voices;
        for (const auto& engine : engines) {
            if (!engine || Failed(engine->Status())) continue;
            working.push_back(engine);
            voices.push_back(engine->Voices());
        }
        for (RankedVoice& ranked : RankVoices(voices, RankingLanguage()))
            tokens_.push_back(std::make_shared<EngineVoiceToken>(working[ranked.engine],
                                                                 std::move(ranked.voice)));
        if (!tokens_.empty()) status_ = kOk;
    }

    HResult CreateVoice(std::shared_ptr<Voice>& voice) override {
        if (Failed(status_)) return status_;
        std::lock_guard lock(segmentsMutex_);
        voice = std::make_shared<SystemVoice>(tokens_.front(), segments_);
        return kOk;
    }

    HResult CreateFileStream(std::shared_ptr<FileStream>& stream) override {
        if (Failed(status_)) return status_;
        stream = std::make_shared<SoundFileStream>();
        return kOk;
    }

    HResult CreateTokenCategory(std::unique_ptr<TokenCategory>& category) override {
        if (Failed(status_)) return status_;
        category = std::make_unique<VoiceCategory>(tokens_, status_);
        return kOk;
    }

    void UseSegmentSynthesis(std::shared_ptr<SegmentSynthesis> synthesis) override {
        std::lock_guard lock(segmentsMutex_);
        segments_ = std::move(synthesis);
    }

  private:
    std::mutex segmentsMutex_;
    std::shared_ptr<SegmentSynthesis> segments_;  // guarded by segmentsMutex_
    TokenList tokens_;  // in the service's ranking; the first is the default voice
    HResult status_ = kEngineMissing;
};

}  // namespace

std::shared_ptr<SpeechService> CreateSpeechService(
    std::vector<std::shared_ptr<SynthesisEngine>> engines) {
    return std::make_shared<SystemSpeechService>(engines);
}

std::shared_ptr<SynthesisEngine> InstalledEngineWithVoice(std::string_view voiceId) {
    for (const auto& engine : InstalledEngines()) {
        if (Failed(engine->Status())) continue;
        for (const EngineVoice& voice : engine->Voices())
            if (voice.id == voiceId) return engine;
    }
    return nullptr;
}

std::shared_ptr<SpeechService> CreateSystemSpeechService() {
    return CreateSpeechService(InstalledEngines());
}

}  // namespace sonoleaf::speech_service
