#pragma once
// What the service needs of a synthesizer. Each synthesizer is one engine behind this
// interface; the service lists the voices of every engine that works and speaks
// through the engine that owns the chosen voice.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

// Every engine delivers, and every output takes, 22,050 Hz 16-bit mono samples.
inline constexpr int kSampleRate = 22050;

struct EngineVoice {
    std::string id;  // the engine's own name for the voice
    std::u16string name;
    std::u16string gender;  // "Male" or "Female"
    std::u16string language;
};

struct SynthesisRequest {
    std::string_view text;  // UTF-8: plain text, or SSML when `ssml` is set
    bool ssml = false;
    // The piece ends a sentence (or the text): the engine closes it with a sentence pause.
    bool endsSentence = true;
    std::string_view voiceId;
    double speed = 1.0;  // factor of the voice's normal speed
};

class SynthesisEngine {
  public:
    virtual ~SynthesisEngine() = default;
    // kOk when the engine can synthesize; otherwise the failure every call reports.
    virtual HResult Status() const = 0;
    // Why it cannot, in a few words for the user ("its data folder /x does not
    // exist"); empty when it can.
    virtual std::string Problem() const { return {}; }
    // The engine's voices, best first.
    virtual std::vector<EngineVoice> Voices() const = 0;
    // Synthesizes one piece of text, appending its samples. Engines serialise this
    // internally where the synthesizer is not reentrant. Once `stop` is set, the
    // synthesis ends early and the call returns kOk with what was made so far
    // (possibly nothing).
    virtual HResult Synthesize(const SynthesisRequest& request, std::vector<std::int16_t>& samples,
                               const std::atomic<bool>& stop) = 0;
};

// The process's eSpeak NG engine (eSpeak NG keeps one synthesizer per process). Its
// data folder is eSpeak NG's default unless SONOLEAF_ESPEAK_DATA (or eSpeak NG's own
// ESPEAK_DATA_PATH) names another; a named folder without the data leaves the engine
// failing.
std::shared_ptr<SynthesisEngine> EspeakEngine();

// The process's CMU Flite engine: the US English voices rms, slt and kal16 and the
// Scottish English voice awb, built into the Flite libraries. A voice that cannot be
// loaded is left out; with none the engine fails.
std::shared_ptr<SynthesisEngine> FliteEngine();

// A service over the given engines (best first), their voices ranked by RankVoices
// for the user's language. The system service is this over the installed engines.
std::shared_ptr<SpeechService> CreateSpeechService(
    std::vector<std::shared_ptr<SynthesisEngine>> engines);

// Why the installed synthesizers offer no voice: each one's problem, and a name in
// SONOLEAF_ENGINES that names none of them. Empty when all that were asked for work.
std::string InstalledEnginesProblem();

// The working installed engine that offers the voice `voiceId`; null for none.
std::shared_ptr<SynthesisEngine> InstalledEngineWithVoice(std::string_view voiceId);

// For a process that reads with the one voice named `voiceName`: a service over the
// first installed engine that offers it, the others not started. The whole system
// service when the name is empty (the default voice) or no engine offers it.
std::shared_ptr<SpeechService> CreateSystemSpeechServiceFor(const std::u16string& voiceName);

}  // namespace sonoleaf::speech_service
