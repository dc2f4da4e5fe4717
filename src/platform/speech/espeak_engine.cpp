// The eSpeak NG engine: one synthesizer per process, driven in synchronous mode so
// that its samples come back through a callback on the calling thread.

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/speech/locale_language.h"
#include "platform/speech/noise_lock.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

// The variants that give a language voice its gender.
constexpr const char* kMaleVariant = "+m3";
constexpr const char* kFemaleVariant = "+f3";
// Length of the sample buffers handed to the callback; short enough that a stop
// request is seen within a few milliseconds of synthesis.
constexpr int kCallbackBufferMs = 100;

struct CallbackTarget {
    std::vector<std::int16_t>* samples = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

// Only touched while the synthesizer's lock is held, on the synthesizing thread.
CallbackTarget g_target;

int OnSamples(short* wave, int count, espeak_EVENT* /*events*/) {
    if (wave != nullptr && count > 0 && g_target.samples != nullptr)
        g_target.samples->insert(g_target.samples->end(), wave, wave + count);
    return g_target.stop != nullptr && g_target.stop->load() ? 1 : 0;
}

struct LanguageVoice {
    std::string language;    // eSpeak NG's code, e.g. "en-us"
    std::string name;        // e.g. "English (America)"
    std::string identifier;  // its file, e.g. "gmw/en-US": what selects it by name
};

bool IsMbrola(const espeak_VOICE& voice) {
    // MBROLA voices need a separate synthesizer and another rate.
    return std::string_view(voice.identifier ? voice.identifier : "").starts_with("mb/");
}

// The voice as offered, or false for one that cannot be: no language, no name, MBROLA.
bool AsLanguageVoice(const espeak_VOICE& voice, LanguageVoice& found) {
    if (voice.languages == nullptr || voice.languages[0] == '\0' || voice.name == nullptr ||
        voice.identifier == nullptr || IsMbrola(voice))
        return false;
    // The list of languages starts with a priority byte.
    found = {voice.languages + 1, voice.name, voice.identifier};
    return true;
}

std::string PrimarySubtag(std::string_view tag) {
    return std::string(tag.substr(0, tag.find('-')));
}

// The best eSpeak NG language voice for `tag`, if its language is the tag's language.
bool FindLanguageVoice(const std::string& tag, LanguageVoice& found) {
    espeak_VOICE wanted{};
    wanted.languages = tag.c_str();
    const espeak_VOICE** voices = espeak_ListVoices(&wanted);
    for (; voices != nullptr && *voices != nullptr; ++voices) {
        LanguageVoice voice;
        if (!AsLanguageVoice(**voices, voice)) continue;
        if (PrimarySubtag(voice.language) != PrimarySubtag(tag)) continue;
        found = std::move(voice);
        return true;
    }
    return false;
}

// The data folder asked for, empty for eSpeak NG's default. eSpeak NG would pass
// over a folder that does not exist and take its default instead; a folder asked
// for is used or nothing is, so that a wrong setting shows.
std::string RequestedDataPath() {
    for (const char* name : {"SONOLEAF_ESPEAK_DATA", "ESPEAK_DATA_PATH"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

class Espeak final : public SynthesisEngine {
  public:
    Espeak() {
        const std::string path = RequestedDataPath();
        std::error_code error;
        if (!path.empty() && !std::filesystem::is_directory(path, error)) {
            Complain("its data folder " + path + " does not exist");
            return;
        }
        espeak_ng_InitializePath(path.empty() ? nullptr : path.c_str());
        espeak_ng_ERROR_CONTEXT context = nullptr;
        espeak_ng_STATUS status = espeak_ng_Initialize(&context);
        espeak_ng_ClearErrorContext(&context);
        if (status == ENS_OK)
            status =
                espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, kCallbackBufferMs, nullptr);
        if (status != ENS_OK) {
            Complain("it could not start (error " + std::to_string(status) + ")");
            return;
        }
        if (espeak_ng_GetSampleRate() != kSampleRate) {
            Complain("it speaks at another sample rate");
            return;
        }
        espeak_SetSynthCallback(OnSamples);
        ListOfferedVoices();
        if (!voices_.empty()) {
            status_ = kOk;
        } else {
            Complain("it has no voice for English or the user's language");
        }
    }

    HResult Status() const override { return status_; }
    std::string Problem() const override { return problem_; }
    std::vector<EngineVoice> Voices() const override { return voices_; }

    HResult Synthesize(const SynthesisRequest& request, std::vector<std::int16_t>& samples,
                       const std::atomic<bool>& stop) override {
        if (status_ != kOk) return status_;
        if (stop.load()) return kOk;
        const std::string text(request.text);  // the synthesizer wants a terminated string
        std::lock_guard lock(mutex_);
        if (request.voiceId != currentVoice_) {
            currentVoice_.clear();
            currentRate_ = 0;
            if (espeak_ng_SetVoiceByName(std::string(request.voiceId).c_str()) != ENS_OK)
                return kInvalidArg;
            currentVoice_ = request.voiceId;
        }
        const int rate = WordsPerMinute(request.speed);
        if (rate != currentRate_) {
            if (espeak_ng_SetParameter(espeakRATE, rate, 0) != ENS_OK) return kFail;
            currentRate_ = rate;
        }
        unsigned int flags = espeakCHARS_UTF8;
        if (request.ssml) flags |= espeakSSML;
        if (request.endsSentence) flags |= espeakENDPAUSE;
        g_target = {&samples, &stop};
        espeak_ng_STATUS status = ENS_OK;
        {
            // eSpeak NG draws from rand() too; see noise_lock.h.
            std::lock_guard noise(RandomNoiseLock());
            status = espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, flags,
                                          nullptr, nullptr);
        }
        g_target = {};
        if (request.ssml) {
            // Markup may switch voice or speed inside the synthesizer.
            currentVoice_.clear();
            currentRate_ = 0;
        }
        if (status == ENS_OK || status == ENS_SPEECH_STOPPED) return kOk;
        return kFail;
    }

  private:
    void Complain(const std::string& why) {
        problem_ = "eSpeak NG offers no voice: " + why;
        std::fprintf(stderr, "sonoleaf: %s\n", problem_.c_str());
    }

    // The voice's normal speed is eSpeak NG's default rate; the synthesizer cannot
    // follow below its minimum, and three times normal is the fastest asked for.
    static int WordsPerMinute(double speed) {
        const double wpm = std::round(espeakRATE_NORMAL * speed);
        return static_cast<int>(
            std::clamp(wpm, double{espeakRATE_MINIMUM}, 3.0 * espeakRATE_NORMAL));
    }

    // The best voices for the user's language and English first, as before, then one
    // for every other language of the data, so that a book in any of them finds its
    // voice. Each is selected by its file's identifier: a language code such as "en-gb"
    // need not name a voice file.
    void ListOfferedVoices() {
        std::vector<LanguageVoice> offered;
        std::vector<std::string> tags;
        if (const std::string user = UserLanguageTag(); !user.empty()) tags.push_back(user);
        tags.push_back("en-us");
        tags.push_back("en");
        for (const std::string& tag : tags) {
            LanguageVoice voice;
            if (FindLanguageVoice(tag, voice)) offered.push_back(std::move(voice));
        }
        for (const espeak_VOICE** all = espeak_ListVoices(nullptr); all != nullptr && *all; ++all) {
            LanguageVoice voice;
            if (AsLanguageVoice(**all, voice)) offered.push_back(std::move(voice));
        }
        std::vector<std::string> languages;
        for (const LanguageVoice& voice : offered) {
            if (std::find(languages.begin(), languages.end(), voice.language) != languages.end())
                continue;
            languages.push_back(voice.language);
            const std::u16string language = text::ToWide(voice.language);
            const std::u16string name = u"eSpeak NG " + text::ToWide(voice.name);
            voices_.push_back(
                {voice.identifier + kMaleVariant, name + u" Male", u"Male", language});
            voices_.push_back(
                {voice.identifier + kFemaleVariant, name + u" Female", u"Female", language});
        }
    }

    HResult status_ = kEngineMissing;
    std::string problem_;
    std::vector<EngineVoice> voices_;
    std::mutex mutex_;  // the one synthesizer of the process
    std::string currentVoice_;
    int currentRate_ = 0;
};

}  // namespace

std::shared_ptr<SynthesisEngine> EspeakEngine() {
    static const std::shared_ptr<SynthesisEngine> engine = std::make_shared<Espeak>();
    return engine;
}

}  // namespace sonoleaf::speech_service
