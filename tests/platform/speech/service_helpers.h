#pragma once
// Shared steps of the speech service tests: the service, voices chosen by gender,
// and renderings read back as samples.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/speech/speech_service.h"
#include "support/audio_analysis.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {

namespace ss = speech_service;

inline std::shared_ptr<ss::SpeechService> Service() {
    static const std::shared_ptr<ss::SpeechService> service = ss::CreateSystemSpeechService();
    return service;
}

inline const ss::WaveFormat kWaveFormat{};

// The first token for `optional` ("Gender=Male"), as the system's voice lookup takes it.
inline std::shared_ptr<ss::VoiceToken> FirstToken(const char16_t* optional) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    std::shared_ptr<ss::VoiceToken> token;
    if (ss::Failed(Service()->CreateTokenCategory(category)) ||
        ss::Failed(category->SetId(ss::kVoicesCategory, false)) ||
        ss::Failed(category->EnumTokens(nullptr, optional, tokens)))
        return nullptr;
    tokens->Next(1, token, nullptr);
    return token;
}

// eSpeak NG's English male voice, for what only eSpeak NG does: SSML prosody and
// breaks, and letters beyond ASCII.
inline constexpr const char16_t* kEspeakEnglishMale = u"Name=eSpeak NG English (America) Male";

struct SpeakSettings {
    std::uint16_t volume = 100;
    std::int32_t rate = 0;
    // The optional attributes the token is chosen by; null: the null token.
    const char16_t* gender = u"Gender=Male";
    std::uint32_t flags = ss::kSpeakDefault;
};

inline std::shared_ptr<ss::Voice> MakeVoice(const SpeakSettings& settings) {
    std::shared_ptr<ss::Voice> voice;
    if (ss::Failed(Service()->CreateVoice(voice))) return nullptr;
    voice->SetVolume(settings.volume);
    voice->SetRate(settings.rate);
    voice->SetVoice(settings.gender != nullptr ? FirstToken(settings.gender) : nullptr);
    return voice;
}

// Renders `text` into `path`; the result of Speak (or of the first failing step).
inline ss::HResult RenderToFile(const std::u16string& text, const std::filesystem::path& path,
                                const SpeakSettings& settings = {}) {
    auto voice = MakeVoice(settings);
    if (!voice) return ss::kFail;
    std::shared_ptr<ss::FileStream> stream;
    ss::HResult hr = Service()->CreateFileStream(stream);
    if (ss::Succeeded(hr))
        hr = stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents);
    if (ss::Succeeded(hr)) hr = voice->SetOutput(stream, true);
    if (ss::Succeeded(hr)) hr = voice->Speak(text, settings.flags, nullptr);
    if (ss::Succeeded(hr)) hr = stream->Close();
    return hr;
}

// Renders `text` and reads the samples back; fails the test when either step fails.
inline Audio Render(const std::u16string& text, const SpeakSettings& settings = {}) {
    TempDir dir;
    const auto path = dir.Path() / "speech.wav";
    Audio audio;
    EXPECT_EQ(RenderToFile(text, path, settings), ss::kOk);
    EXPECT_TRUE(ReadAudioFile(path, audio));
    return audio;
}

// eSpeak NG carries state from one synthesis into the next: its glottal phase, so
// that two renderings of one text differ by a few samples, and the word context of
// the last clause, which can change the first words of the next text. Renderings
// to compare therefore each follow the same text, and "same speech" means the same
// length within a few milliseconds and the same loudness contour.
inline Audio RenderAfterItself(const std::u16string& text, const SpeakSettings& settings = {}) {
    Render(text, settings);
    return Render(text, settings);
}

inline void ExpectSameSpeech(const Audio& actual, const Audio& expected) {
    const double tolerance = 0.002 * static_cast<double>(expected.samples.size()) + 100;
    EXPECT_NEAR(static_cast<double>(actual.samples.size()),
                static_cast<double>(expected.samples.size()), tolerance);
    const double similarity = EnvelopeCorrelation(actual.samples, expected.samples, 22050);
    EXPECT_GT(similarity, 0.97);
}

inline bool IsSameSpeech(const Audio& actual, const Audio& expected) {
    const double tolerance = 0.002 * static_cast<double>(expected.samples.size()) + 100;
    return std::abs(static_cast<double>(actual.samples.size()) -
                    static_cast<double>(expected.samples.size())) <= tolerance &&
           EnvelopeCorrelation(actual.samples, expected.samples, 22050) > 0.97;
}

}  // namespace sonoleaf::testing
