// The real speech service: the voices of every engine that works, voices that speak
// through them, and file streams.

#include <algorithm>
#include <cstdio>
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
constexpr std::string_view kEngineNames[] = {"flite", "espeak-ng"};

// The names SONOLEAF_ENGINES gives, in its order; all engines when unset.
std::vector<std::string> ChosenEngineNames() {
    const char* chosen = std::getenv("SONOLEAF_ENGINES");
    if (chosen == nullptr || *chosen == '\0')
        return {std::string(kEngineNames[0]), std::string(kEngineNames[1])};
    std::vector<std::string> names;
    std::string_view rest(chosen);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = rest.substr(0, comma);
        if (!name.empty()) names.emplace_back(name);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return names;
}

bool IsKnownEngine(std::string_view name) {
    return std::find(std::begin(kEngineNames), std::end(kEngineNames), name) !=
           std::end(kEngineNames);
}

// The names in SONOLEAF_ENGINES that name no synthesizer, told once per process.
std::string UnknownEngineNames() {
    std::string unknown;
    for (const std::string& name : ChosenEngineNames())
        if (!IsKnownEngine(name)) unknown += (unknown.empty() ? "'" : ", '") + name + "'";
    if (unknown.empty()) return {};
    return "SONOLEAF_ENGINES names no synthesizer known here: " + unknown +
           " (known: flite, espeak-ng)";
}

// Tells once per process of the names in SONOLEAF_ENGINES that name no synthesizer.
void WarnOfUnknownEngines() {
    static const bool warned = [] {
        if (const std::string unknown = UnknownEngineNames(); !unknown.empty())
            std::fprintf(stderr, "sonoleaf: %s\n", unknown.c_str());
        return true;
    }();
    (void)warned;
}

// The engine of a name of kEngineNames, started now if it was not yet.
std::shared_ptr<SynthesisEngine> EngineNamed(const std::string& name) {
    if (name == "flite") return FliteEngine();
    if (name == "espeak-ng") return EspeakEngine();
    return nullptr;
}

std::vector<std::shared_ptr<SynthesisEngine>> InstalledEngines() {
    WarnOfUnknownEngines();
    std::vector<std::shared_ptr<SynthesisEngine>> engines;
    for (const std::string& name : ChosenEngineNames())
        if (auto engine = EngineNamed(name)) engines.push_back(std::move(engine));
    return engines;
}

// The first working installed engine that offers a voice `wanted` accepts. The engines
// after it are not started: a process that reads with one voice spends nothing on the
// others (eSpeak NG's start alone takes milliseconds, which a list pays per file).
template <typename Wanted>
std::shared_ptr<SynthesisEngine> FirstEngineOffering(Wanted&& wanted) {
    WarnOfUnknownEngines();
    for (const std::string& name : ChosenEngineNames()) {
        std::shared_ptr<SynthesisEngine> engine = EngineNamed(name);
        if (!engine || Failed(engine->Status())) continue;
        for (const EngineVoice& voice : engine->Voices())
            if (wanted(voice)) return engine;
    }
    return nullptr;
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

std::string InstalledEnginesProblem() {
    std::string problem = UnknownEngineNames();
    for (const auto& engine : InstalledEngines()) {
        if (Succeeded(engine->Status())) continue;
        if (!problem.empty()) problem += "; ";
        problem += engine->Problem();
    }
    return problem;
}

std::shared_ptr<SynthesisEngine> InstalledEngineWithVoice(std::string_view voiceId) {
    return FirstEngineOffering([&](const EngineVoice& voice) { return voice.id == voiceId; });
}

std::shared_ptr<SpeechService> CreateSystemSpeechServiceFor(const std::u16string& voiceName) {
    if (!voiceName.empty()) {
        if (auto engine = FirstEngineOffering(
                [&](const EngineVoice& voice) { return voice.name == voiceName; }))
            return CreateSpeechService({std::move(engine)});
    }
    return CreateSystemSpeechService();
}

std::shared_ptr<SpeechService> CreateSystemSpeechService() {
    return CreateSpeechService(InstalledEngines());
}

}  // namespace sonoleaf::speech_service
