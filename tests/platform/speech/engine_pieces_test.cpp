// What reaches a synthesizer: the service driven over a deterministic engine that
// turns each byte it is given into samples, so that text can be compared exactly.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/speech/service_helpers.h"
#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::testing {
namespace {

using namespace std::string_literals;

class ByteEngine final : public ss::SynthesisEngine {
  public:
    ss::HResult Status() const override { return ss::kOk; }
    std::vector<ss::EngineVoice> Voices() const override {
        return {{"m", u"Bytes Male", u"Male", u"en"}, {"f", u"Bytes Female", u"Female", u"en"}};
    }
    ss::HResult Synthesize(const ss::SynthesisRequest& request, std::vector<std::int16_t>& samples,
                           const std::atomic<bool>& /*stop*/) override {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({std::string(request.text), request.ssml, request.endsSentence,
                                 std::string(request.voiceId), request.speed});
        }
        for (const char byte : request.text)
            samples.insert(samples.end(), 4, static_cast<std::int16_t>(byte * 200));
        return ss::kOk;
    }

    struct Request {
        std::string text;
        bool ssml;
        bool endsSentence;
        std::string voiceId;
        double speed;
    };
    std::vector<Request> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(requests_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<Request> requests_;
};

class EnginePieces : public ::testing::Test {
  protected:
    std::shared_ptr<ByteEngine> engine_ = std::make_shared<ByteEngine>();
    std::shared_ptr<ss::SpeechService> service_ = ss::CreateSpeechService({engine_});
    TempDir dir_;

    std::vector<std::int16_t> Speak(const std::u16string& text, std::uint32_t flags = 0,
                                    std::uint16_t volume = 100, std::int32_t rate = 0) {
        std::shared_ptr<ss::Voice> voice;
        std::shared_ptr<ss::FileStream> stream;
        const auto path = dir_.Path() / "out.wav";
        EXPECT_EQ(service_->CreateVoice(voice), ss::kOk);
        EXPECT_EQ(service_->CreateFileStream(stream), ss::kOk);
        EXPECT_EQ(
            stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        voice->SetVolume(volume);
        voice->SetRate(rate);
        voice->SetOutput(stream, true);
        EXPECT_EQ(voice->Speak(text, flags, nullptr), ss::kOk);
        stream->Close();
        Audio audio;
        EXPECT_TRUE(ReadAudioFile(path, audio));
        std::vector<std::int16_t> samples;
        for (const float s : audio.samples)
            samples.push_back(static_cast<std::int16_t>(std::lround(s * 32768)));
        return samples;
    }

    std::string SpokenText() {
        std::string all;
        for (const auto& request : engine_->Take()) all += request.text;
        return all;
    }
};

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST_F(EnginePieces, TextFilesInEveryEncodingAreSampleIdenticalToTheirText) {
    const std::u16string text =
        u"Caf\u00e9 cr\u00e8me, na\u00efve fa\u00e7ade \u2013 \u00bfqu\u00e9? \u201cQuoted.\u201d";
    const std::string utf8 =
        "Caf\xC3\xA9 cr\xC3\xA8me, na\xC3\xAFve fa\xC3\xA7"
        "ade \xE2\x80\x93 \xC2\xBFqu\xC3\xA9? "
        "\xE2\x80\x9CQuoted.\xE2\x80\x9D";
    const std::pair<const char*, std::string> files[] = {
        {"utf8.txt", utf8},
        {"utf8-bom.txt", "\xEF\xBB\xBF" + utf8},
        {"utf16le.txt", Utf16(text, false)},
        {"utf16be.txt", Utf16(text, true)},
        {"cp1252.txt",
         "Caf\xE9 cr\xE8me, na\xEFve fa\xE7"
         "ade \x96 \xBFqu\xE9? \x93Quoted.\x94"},
    };
    const auto direct = Speak(text);
    EXPECT_EQ(SpokenText(), utf8);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const auto path = dir_.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_EQ(Speak(path.u16string(), ss::kSpeakIsFileName), direct);
        EXPECT_EQ(SpokenText(), utf8);
    }
}

TEST_F(EnginePieces, ByteCharactersReachTheEngineAsTheTextTheyEncode) {
    // U+DC80-U+DCFF stand for single bytes: UTF-8 when they form it, else Windows-1252.
    Speak(u"na\xDCC3\xDCAFve");
    EXPECT_EQ(SpokenText(), "na\xC3\xAFve");
    Speak(
        u"fa\xDCE7"
        u"ade");
    EXPECT_EQ(SpokenText(),
              "fa\xC3\xA7"
              "ade");
    Speak(
        u"a\0b\xD800"
        u"c"s);
    EXPECT_EQ(SpokenText(), "abc");
}

TEST_F(EnginePieces, LongTextsGoInBoundedPiecesThatTogetherAreTheText) {
    std::string expected;
    std::u16string text;
    for (int i = 0; i < 200; ++i) {
        const std::string sentence = "Sentence " + std::to_string(i) + " has a few words in it. ";
        expected += sentence;
        text += std::u16string(sentence.begin(), sentence.end());
    }
    // A run with no sentence end, then one long word.
    for (int i = 0; i < 300; ++i) {
        expected += "word ";
        text += u"word ";
    }
    expected += std::string(3000, 'x');
    text += std::u16string(3000, u'x');
    Speak(text);
    const auto requests = engine_->Take();
    ASSERT_GT(requests.size(), 10u);
    std::string joined;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto& r = requests[i];
        EXPECT_LE(r.text.size(), 1000u);
        EXPECT_FALSE(r.ssml);
        joined += r.text;
        if (joined.size() < 200 * 30) {
            // Among sentences every cut follows a full stop.
            EXPECT_TRUE(r.endsSentence) << i;
            EXPECT_EQ(r.text.substr(r.text.find_last_not_of(' ')), ".") << i;
        }
    }
    EXPECT_TRUE(requests.back().endsSentence);
    EXPECT_EQ(joined, expected);
}

TEST_F(EnginePieces, MarkupPiecesEachCarryTheOpenElements) {
    std::string body;
    for (int i = 0; i < 60; ++i) body += "Markup sentence " + std::to_string(i) + " is here. ";
    const std::string text = "<speak xml:lang=\"en\"><!-- note --><prosody rate=\"fast\">" + body +
                             "</prosody><break time=\"1s\"/>End.</speak>";
    Speak(std::u16string(text.begin(), text.end()));
    const auto requests = engine_->Take();
    ASSERT_GT(requests.size(), 3u);
    std::string content;
    for (const auto& r : requests) {
        EXPECT_TRUE(r.ssml);
        EXPECT_TRUE(r.text.starts_with("<speak xml:lang=\"en\">")) << r.text;
        EXPECT_TRUE(r.text.ends_with("</speak>")) << r.text;
        EXPECT_EQ(r.text.find("<!--"), std::string::npos);
        const bool opensProsody = r.text.find("<prosody rate=\"fast\">") != std::string::npos;
        const bool closesProsody = r.text.find("</prosody>") != std::string::npos;
        EXPECT_EQ(opensProsody, closesProsody) << r.text;
        // What is between the tags, in order, is the text's.
        std::string plain;
        bool inTag = false;
        for (const char c : r.text) {
            if (c == '<') inTag = true;
            if (!inTag) plain += c;
            if (c == '>') inTag = false;
        }
        content += plain;
    }
    EXPECT_EQ(content, body + "End.");
    EXPECT_NE(requests.back().text.find("<break time=\"1s\"/>"), std::string::npos);
}

TEST_F(EnginePieces, RateIsAPowerOfThreeAndVolumeALinearScale) {
    for (const int rate : {-10, -5, 0, 3, 10}) {
        Speak(u"Rate.", 0, 100, rate);
        const auto requests = engine_->Take();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_DOUBLE_EQ(requests[0].speed, std::pow(3.0, rate / 10.0)) << rate;
    }
    const auto full = Speak(u"Volume test.", 0, 100);
    const auto half = Speak(u"Volume test.", 0, 50);
    ASSERT_EQ(full.size(), half.size());
    for (std::size_t i = 0; i < full.size(); ++i) ASSERT_EQ(half[i], full[i] * 50 / 100) << i;
}

TEST_F(EnginePieces, VoicesSpeakThroughTheirTokensVoice) {
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    ASSERT_EQ(service_->CreateTokenCategory(category), ss::kOk);
    ASSERT_EQ(category->SetId(ss::kVoicesCategory, false), ss::kOk);
    ASSERT_EQ(category->EnumTokens(nullptr, u"Gender=Female", tokens), ss::kOk);
    std::shared_ptr<ss::VoiceToken> token;
    ASSERT_EQ(tokens->Next(1, token, nullptr), ss::kOk);
    EXPECT_EQ(token->Attribute(u"Name"), u"Bytes Female");

    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    ASSERT_EQ(service_->CreateVoice(voice), ss::kOk);
    ASSERT_EQ(service_->CreateFileStream(stream), ss::kOk);
    ASSERT_EQ(stream->BindToFile((dir_.Path() / "v.wav").u16string(), ss::kFileModeCreateAlways,
                                 ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
              ss::kOk);
    voice->SetOutput(stream, true);
    voice->Speak(u"Default.", 0, nullptr);
    voice->SetVoice(token);
    voice->Speak(u"Chosen.", 0, nullptr);
    voice->SetVoice(nullptr);
    voice->Speak(u"Default again.", 0, nullptr);
    const auto requests = engine_->Take();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].voiceId, "m");
    EXPECT_EQ(requests[1].voiceId, "f");
    EXPECT_EQ(requests[2].voiceId, "m");
}

TEST(EngineFailure, NoWorkingEngineFailsEveryCall) {
    class Broken final : public ss::SynthesisEngine {
        ss::HResult Status() const override { return ss::kEngineMissing; }
        std::vector<ss::EngineVoice> Voices() const override { return {}; }
        ss::HResult Synthesize(const ss::SynthesisRequest&, std::vector<std::int16_t>&,
                               const std::atomic<bool>&) override {
            return ss::kEngineMissing;
        }
    };
    for (auto service :
         {ss::CreateSpeechService({std::make_shared<Broken>()}), ss::CreateSpeechService({})}) {
        std::shared_ptr<ss::Voice> voice;
        std::shared_ptr<ss::FileStream> stream;
        std::unique_ptr<ss::TokenCategory> category;
        EXPECT_EQ(service->CreateVoice(voice), ss::kEngineMissing);
        EXPECT_EQ(service->CreateFileStream(stream), ss::kEngineMissing);
        EXPECT_EQ(service->CreateTokenCategory(category), ss::kEngineMissing);
        EXPECT_FALSE(voice || stream || category);
    }
}

}  // namespace
}  // namespace sonoleaf::testing
