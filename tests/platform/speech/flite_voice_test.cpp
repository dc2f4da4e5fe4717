// The Flite voices of the real service: which there are and how they rank against
// eSpeak NG's by language, loudness, speed and pitch, stopping, repeatable files,
// markup, and services with one engine only.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "platform/speech/service_helpers.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/speech/voice_ranking.h"
#include "support/audio_file_check.h"

namespace sonoleaf::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::u16string kSentence =
    u"Every morning the baker opens his shop and sells fresh bread to the town.";
constexpr const char16_t* kRms = u"Name=Flite rms (US English) Male";
constexpr const char16_t* kSlt = u"Name=Flite slt (US English) Female";

std::vector<std::u16string> Names(ss::SpeechService& service) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    std::vector<std::u16string> names;
    if (ss::Failed(service.CreateTokenCategory(category)) ||
        ss::Failed(category->SetId(ss::kVoicesCategory, false)) ||
        ss::Failed(category->EnumTokens(nullptr, nullptr, tokens)))
        return names;
    std::shared_ptr<ss::VoiceToken> token;
    while (tokens->Next(1, token, nullptr) == ss::kOk) names.push_back(token->Attribute(u"Name"));
    return names;
}

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FliteVoices, FourEnglishVoicesWithTheirGenders) {
    const auto engine = ss::FliteEngine();
    ASSERT_EQ(engine->Status(), ss::kOk);
    const std::vector<std::pair<std::string, std::u16string>> expected = {{"cmu_us_rms", u"Male"},
                                                                          {"cmu_us_slt", u"Female"},
                                                                          {"cmu_us_kal16", u"Male"},
                                                                          {"cmu_us_awb", u"Male"}};
    const auto voices = engine->Voices();
    ASSERT_EQ(voices.size(), expected.size());
    for (std::size_t i = 0; i < voices.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(voices[i].id, expected[i].first);
        EXPECT_EQ(voices[i].gender, expected[i].second);
        EXPECT_TRUE(voices[i].language.starts_with(u"en-")) << std::string(voices[i].id);
        EXPECT_TRUE(voices[i].name.starts_with(u"Flite ")) << std::string(voices[i].id);
    }
    EXPECT_EQ(voices[3].language, u"en-gb-scotland");
}

// The first voice of each gender, as a profile of that gender takes it.
std::pair<std::string, std::string> FirstByGender(const std::vector<ss::RankedVoice>& ranked) {
    std::pair<std::string, std::string> first;
    for (const auto& r : ranked) {
        if (r.voice.gender == u"Male" && first.first.empty()) first.first = r.voice.id;
        if (r.voice.gender == u"Female" && first.second.empty()) first.second = r.voice.id;
    }
    return first;
}

TEST(FliteVoices, UsersLanguageFirstThenFliteBeforeEspeak) {
    const std::vector<ss::EngineVoice> espeak = {
        {"de+m3", u"eSpeak NG German Male", u"Male", u"de"},
        {"de+f3", u"eSpeak NG German Female", u"Female", u"de"},
        {"en-us+m3", u"eSpeak NG English (America) Male", u"Male", u"en-us"},
        {"en-us+f3", u"eSpeak NG English (America) Female", u"Female", u"en-us"}};
    const std::vector<std::vector<ss::EngineVoice>> engines = {ss::FliteEngine()->Voices(), espeak};
    struct Case {
        const char* language;
        const char* male;
        const char* female;
        std::vector<std::string> order;
    };
    const std::vector<std::string> english = {"cmu_us_rms", "cmu_us_slt", "cmu_us_kal16",
                                              "cmu_us_awb", "en-us+m3",   "en-us+f3",
                                              "de+m3",      "de+f3"};
    const std::vector<std::string> german = {"de+m3",      "de+f3",        "cmu_us_rms",
                                             "cmu_us_slt", "cmu_us_kal16", "cmu_us_awb",
                                             "en-us+m3",   "en-us+f3"};
    for (const Case& c :
         {Case{"en", "cmu_us_rms", "cmu_us_slt", english},
          Case{"en-gb", "cmu_us_rms", "cmu_us_slt", english},
          Case{"EN-US", "cmu_us_rms", "cmu_us_slt", english},
          Case{"de-de", "de+m3", "de+f3", german}, Case{"de", "de+m3", "de+f3", german}}) {
        SCOPED_TRACE(c.language);
        const auto ranked = ss::RankVoices(engines, c.language);
        std::vector<std::string> order;
        for (const auto& r : ranked) order.push_back(r.voice.id);
        EXPECT_EQ(order, c.order);  // every voice kept, none twice
        EXPECT_EQ(FirstByGender(ranked),
                  std::make_pair(std::string(c.male), std::string(c.female)));
        for (const auto& r : ranked)
            EXPECT_EQ(r.engine, r.voice.id.starts_with("cmu_") ? 0U : 1U) << r.voice.id;
    }
}

TEST(FliteVoices, ServiceOffersVoicesInRankedOrder) {
    std::vector<std::u16string> expected;
    for (const auto& r : ss::RankVoices({ss::FliteEngine()->Voices(), ss::EspeakEngine()->Voices()},
                                        ss::RankingLanguage()))
        expected.push_back(r.voice.name);
    EXPECT_EQ(Names(*Service()), expected);
}

TEST(FliteVoices, VolumeScalesAndRateShortens) {
    const Audio eighty = Render(kSentence, {.volume = 80, .gender = kRms});
    const Audio forty = Render(kSentence, {.volume = 40, .gender = kRms});
    ASSERT_GT(Rms(eighty.samples), 0.01);
    EXPECT_NEAR(Rms(forty.samples) / Rms(eighty.samples), 0.5, 0.01);

    const auto seconds = [](const Audio& a) {
        return static_cast<double>(LoudSpan(a.samples, a.sampleRate).Length()) / a.sampleRate;
    };
    const double normal = seconds(Render(kSentence, {.rate = 0, .gender = kRms}));
    const double faster = seconds(Render(kSentence, {.rate = 5, .gender = kRms}));
    const double slower = seconds(Render(kSentence, {.rate = -5, .gender = kRms}));
    EXPECT_NEAR(faster / normal, std::pow(3.0, -0.5), 0.1 * std::pow(3.0, -0.5));
    EXPECT_NEAR(slower / normal, std::pow(3.0, 0.5), 0.1 * std::pow(3.0, 0.5));
}

TEST(FliteVoices, SltSpeaksClearlyHigherThanRms) {
    const Audio male = Render(kSentence, {.gender = kRms});
    const Audio female = Render(kSentence, {.gender = kSlt});
    const double malePitch = MedianPitch(male.samples, male.sampleRate);
    const double femalePitch = MedianPitch(female.samples, female.sampleRate);
    RecordProperty("rms_pitch_hz", std::to_string(malePitch));
    RecordProperty("slt_pitch_hz", std::to_string(femalePitch));
    EXPECT_GT(malePitch, 60.0);
    EXPECT_GT(femalePitch, 1.4 * malePitch) << "rms " << malePitch << " Hz";
}

// One sentence of about 950 bytes: a single piece that takes Flite a good while.
std::u16string LongSentence() {
    std::u16string text = u"The river wound past the mill";
    while (text.size() < 900) text += u", and past the orchards where the old farmer kept bees";
    return text + u".";
}

TEST(FliteVoices, StopEndsALongSentenceWithinATenthOfASecond) {
    TempDir dir;
    std::vector<double> latencies;
    for (const auto after : {60ms, 120ms, 180ms, 240ms, 300ms}) {
        auto voice = MakeVoice({.gender = kRms});
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
        ASSERT_EQ(
            stream->BindToFile((dir.Path() / "stop.wav").u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        ASSERT_EQ(voice->SetOutput(stream, true), ss::kOk);
        auto speaking = std::async(std::launch::async,
                                   [&] { return voice->Speak(LongSentence(), 0, nullptr); });
        std::this_thread::sleep_for(after);
        const auto stopped = Clock::now();
        voice->Pause();
        ASSERT_EQ(speaking.wait_for(10s), std::future_status::ready);
        latencies.push_back(std::chrono::duration<double>(Clock::now() - stopped).count());
        EXPECT_EQ(speaking.get(), ss::kOk);
        EXPECT_EQ(stream->Close(), ss::kOk);
        EXPECT_TRUE(CheckAudioFile(dir.Path() / "stop.wav").valid);
    }
    std::sort(latencies.begin(), latencies.end());
    RecordProperty("median_stop_ms", std::to_string(static_cast<int>(latencies[2] * 1000)));
    EXPECT_LT(latencies[2], 0.1);
}

TEST(FliteVoices, SameTextRendersToIdenticalFiles) {
    TempDir dir;
    for (const char* extension : {".wav", ".mp3"}) {
        SCOPED_TRACE(extension);
        const auto first = dir.Path() / (std::string("first") + extension);
        const auto second = dir.Path() / (std::string("second") + extension);
        ASSERT_EQ(RenderToFile(kSentence, first, {.gender = kSlt}), ss::kOk);
        ASSERT_EQ(
            RenderToFile(u"Something else in between.", dir.Path() / "other.wav", {.gender = kSlt}),
            ss::kOk);
        ASSERT_EQ(RenderToFile(kSentence, second, {.gender = kSlt}), ss::kOk);
        const AudioFileReport report = CheckAudioFile(first);
        EXPECT_TRUE(report.valid);
        EXPECT_EQ(report.mp3, std::string(extension) == ".mp3");
        EXPECT_GT(std::filesystem::file_size(first), 10000U);
        EXPECT_TRUE(Bytes(first) == Bytes(second)) << "the two renderings differ";
    }
}

TEST(FliteVoices, RendersOnTwoThreadsEqualRendersAlone) {
    const Audio alone = Render(kSentence, {.gender = kRms});
    // An eSpeak NG voice speaking at the same time must not disturb Flite's noise.
    auto espeak = std::async(std::launch::async, [] {
        for (int i = 0; i < 3; ++i)
            Render(kSentence, {.gender = u"Name=eSpeak NG English (America) Female"});
    });
    auto other = std::async(std::launch::async, [] {
        for (int i = 0; i < 3; ++i) Render(u"A different sentence entirely.", {.gender = kSlt});
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Render(kSentence, {.gender = kRms}).samples, alone.samples);
    espeak.get();
    other.get();
}

TEST(FliteVoices, MarkupIsNeverSpoken) {
    struct Case {
        std::u16string markup;
        std::u16string plain;
    };
    for (const Case& c : {
             Case{u"<speak>Hello <break/> world</speak>", u"Hello world"},
             Case{u"<?xml version=\"1.0\"?><speak version=\"1.0\" xml:lang=\"en-US\">"
                  u"<p><s>Fish &amp; chips.</s></p></speak>",
                  u"Fish & chips."},
             Case{u"<speak><!-- not this --><prosody rate=\"slow\">Tom &#38; Jerry "
                  u"&#x26; &quot;Spike&quot;</prosody></speak>",
                  u"Tom & Jerry & \"Spike\""},
             Case{u"<speak><emphasis level='strong'>One</emphasis> is &lt; two, "
                  u"three &gt; two</speak>",
                  u"One is < two, three > two"},
         }) {
        SCOPED_TRACE(std::string(c.plain.begin(), c.plain.end()));
        const Audio markup = Render(c.markup, {.gender = kRms});
        const Audio plain = Render(c.plain, {.gender = kRms});
        ASSERT_GT(plain.samples.size(), 2205U);
        EXPECT_EQ(markup.samples, plain.samples);
    }
}

TEST(FliteVoices, EachEngineAloneMakesAWorkingService) {
    struct Case {
        const char* what;
        std::shared_ptr<ss::SynthesisEngine> engine;
        const char16_t* prefix;
    };
    TempDir dir;
    for (const Case& c : {Case{"eSpeak NG only", ss::EspeakEngine(), u"eSpeak NG "},
                          Case{"Flite only", ss::FliteEngine(), u"Flite "}}) {
        SCOPED_TRACE(c.what);
        const auto service = ss::CreateSpeechService({c.engine});
        const auto names = Names(*service);
        ASSERT_FALSE(names.empty());
        for (const auto& name : names) EXPECT_TRUE(name.starts_with(c.prefix));
        std::shared_ptr<ss::Voice> voice;
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(service->CreateVoice(voice), ss::kOk);
        ASSERT_EQ(service->CreateFileStream(stream), ss::kOk);
        const auto path = dir.Path() / "alone.wav";
        ASSERT_EQ(
            stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        ASSERT_EQ(voice->SetOutput(stream, true), ss::kOk);
        ASSERT_EQ(voice->Speak(kSentence, 0, nullptr), ss::kOk);
        ASSERT_EQ(stream->Close(), ss::kOk);
        Audio audio;
        ASSERT_TRUE(ReadAudioFile(path, audio));
        EXPECT_GT(audio.Seconds(), 2.0);
    }
}

}  // namespace
}  // namespace sonoleaf::testing
