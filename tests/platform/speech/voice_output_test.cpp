// What a voice of the real service says: loudness, speed, pitch by gender, markup,
// text files in their encodings, and awkward texts.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "platform/speech/service_helpers.h"

namespace sonoleaf::testing {
namespace {

using namespace std::string_literals;

const std::u16string kSentence =
    u"Every morning the baker opens his shop and sells fresh bread to the town.";

double SpeechSeconds(const Audio& audio) {
    return static_cast<double>(LoudSpan(audio.samples, audio.sampleRate).Length()) /
           audio.sampleRate;
}

TEST(VoiceOutput, VolumeScalesSamplesLinearly) {
    const Audio full = Render(kSentence, {.volume = 100, .rate = 5});
    const Audio eighty = Render(kSentence, {.volume = 80, .rate = 5});
    const Audio forty = Render(kSentence, {.volume = 40, .rate = 5});
    const Audio none = Render(kSentence, {.volume = 0, .rate = 5});
    ASSERT_GT(Rms(eighty.samples), 0.01);
    EXPECT_NEAR(Rms(forty.samples) / Rms(eighty.samples), 0.5, 0.025);
    EXPECT_NEAR(Rms(eighty.samples) / Rms(full.samples), 0.8, 0.04);
    EXPECT_EQ(Rms(none.samples), 0.0);
    // Silent, not shorter.
    EXPECT_NEAR(static_cast<double>(none.samples.size()), static_cast<double>(full.samples.size()),
                0.01 * static_cast<double>(full.samples.size()));
}

TEST(VoiceOutput, RateOutsideItsRangeIsRefused) {
    std::shared_ptr<ss::Voice> voice;
    ASSERT_EQ(Service()->CreateVoice(voice), ss::kOk);
    EXPECT_EQ(voice->SetRate(11), ss::kInvalidArg);
    EXPECT_EQ(voice->SetRate(-11), ss::kInvalidArg);
    EXPECT_EQ(voice->SetVolume(101), ss::kInvalidArg);
    EXPECT_EQ(voice->SetRate(-10), ss::kOk);
    EXPECT_EQ(voice->SetRate(10), ss::kOk);
}

TEST(VoiceOutput, DurationFallsAsRateRises) {
    std::vector<double> seconds;
    for (const int rate : {-5, 0, 5, 10})
        seconds.push_back(SpeechSeconds(Render(kSentence, {.rate = rate})));
    for (std::size_t i = 1; i < seconds.size(); ++i)
        EXPECT_LT(seconds[i], seconds[i - 1]) << "rate step " << i;
    // 3^(rate/10): +5 takes 3^-0.5 of the time of 0.
    EXPECT_NEAR(seconds[2] / seconds[1], std::pow(3.0, -0.5), 0.15 * std::pow(3.0, -0.5));
}

TEST(VoiceOutput, FemaleVoiceSpeaksHigherThanMale) {
    const Audio male = Render(kSentence, {.rate = 5, .gender = u"Gender=Male"});
    const Audio female = Render(kSentence, {.rate = 5, .gender = u"Gender=Female"});
    const double malePitch = MedianPitch(male.samples, male.sampleRate);
    const double femalePitch = MedianPitch(female.samples, female.sampleRate);
    RecordProperty("male_pitch_hz", std::to_string(malePitch));
    RecordProperty("female_pitch_hz", std::to_string(femalePitch));
    EXPECT_GT(malePitch, 60.0);
    EXPECT_GT(femalePitch, 1.4 * malePitch) << "male " << malePitch << " Hz";
}

TEST(VoiceOutput, NullTokenIsTheServicesDefaultVoice) {
    const Audio byNull = RenderAfterItself(kSentence, {.gender = nullptr});
    const Audio firstRanked = RenderAfterItself(kSentence, {.gender = u"Name"});  // all match
    const Audio female = RenderAfterItself(kSentence, {.gender = u"Gender=Female"});
    ExpectSameSpeech(byNull, firstRanked);
    EXPECT_NEAR(MedianPitch(byNull.samples, 22050), MedianPitch(firstRanked.samples, 22050), 5.0);
    EXPECT_FALSE(IsSameSpeech(female, firstRanked) &&
                 std::abs(MedianPitch(female.samples, 22050) -
                          MedianPitch(firstRanked.samples, 22050)) < 5.0);
}

// eSpeak NG reads SSML; Flite voices read only its words (flite_voice_test.cpp).
TEST(VoiceOutput, MarkupWhenTheFirstCharacterIsAnAngleBracket) {
    const SpeakSettings espeak{.gender = kEspeakEnglishMale};
    const double plain = SpeechSeconds(Render(u"Hello world.", espeak));
    // Tags are not read out; a break adds its silence.
    const double tagged = SpeechSeconds(Render(u"  <speak>Hello world.</speak>", espeak));
    const double withBreak =
        SpeechSeconds(Render(u"<speak>Hello <break time=\"1500ms\"/> world.</speak>", espeak));
    EXPECT_NEAR(tagged, plain, 0.25);
    EXPECT_NEAR(withBreak - plain, 1.5, 0.4);
    // Not first: the text is plain and its "<" is spoken.
    const double spokenBracket = SpeechSeconds(Render(u"Hello <speak> world.", espeak));
    EXPECT_GT(spokenBracket, plain + 0.3);
}

TEST(VoiceOutput, MarkupSpanningManyPiecesKeepsItsElements) {
    std::u16string sentences;
    for (int i = 0; i < 40; ++i)
        sentences += u"This is sentence number " + std::u16string(1, u'a' + i % 26) + u". ";
    const SpeakSettings espeak{.rate = 10, .gender = kEspeakEnglishMale};
    const Audio loud = Render(u"<speak>" + sentences + u"</speak>", espeak);
    const Audio quiet =
        Render(u"<speak><prosody volume=\"x-soft\">" + sentences + u"</prosody></speak>", espeak);
    ASSERT_GT(loud.Seconds(), 10.0);
    // The soft prosody holds to the last piece: the last seconds are soft too.
    const std::size_t tail = 3 * 22050;
    ASSERT_GT(quiet.samples.size(), tail);
    const std::span<const float> loudTail(loud.samples.end() - tail, loud.samples.end());
    const std::span<const float> quietTail(quiet.samples.end() - tail, quiet.samples.end());
    EXPECT_LT(Rms(quietTail), 0.7 * Rms(loudTail));
}

struct EncodedFile {
    const char* name;
    std::string bytes;
};

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(VoiceOutput, TextFilesInEveryEncodingSpeakLikeTheirText) {
    const std::u16string text =
        u"Caf\u00e9 cr\u00e8me, na\u00efve fa\u00e7ade \u2013 \u00bfqu\u00e9? \u201cQuoted.\u201d";
    const EncodedFile files[] = {
        {"utf8.txt",
         "Caf\xC3\xA9 cr\xC3\xA8me, na\xC3\xAFve fa\xC3\xA7"
         "ade \xE2\x80\x93 \xC2\xBFqu\xC3\xA9? \xE2\x80\x9CQuoted.\xE2\x80\x9D"},
        {"utf8-bom.txt",
         "\xEF\xBB\xBF"
         "Caf\xC3\xA9 cr\xC3\xA8me, na\xC3\xAFve fa\xC3\xA7"
         "ade \xE2\x80\x93 \xC2\xBFqu\xC3\xA9? \xE2\x80\x9CQuoted.\xE2\x80\x9D"},
        {"utf16le.txt", Utf16(text, false)},
        {"utf16be.txt", Utf16(text, true)},
        {"cp1252.txt",
         "Caf\xE9 cr\xE8me, na\xEFve fa\xE7"
         "ade \x96 \xBFqu\xE9? \x93Quoted.\x94"},
    };
    // eSpeak NG, which speaks the accented letters that Flite's English passes over.
    const SpeakSettings espeak{.gender = kEspeakEnglishMale};
    const Audio direct = RenderAfterItself(text, espeak);
    ASSERT_GT(direct.samples.size(), 22050u);
    TempDir dir;
    for (const EncodedFile& file : files) {
        SCOPED_TRACE(file.name);
        const auto path = dir.Path() / file.name;
        std::ofstream(path, std::ios::binary) << file.bytes;
        ExpectSameSpeech(
            Render(path.u16string(), {.gender = kEspeakEnglishMale, .flags = ss::kSpeakIsFileName}),
            direct);
    }
    // The comparison tells a wrong decoding apart: UTF-8 read as Windows-1252.
    const std::u16string misread =
        u"Caf\u00c3\u00a9 cr\u00c3\u00a8me, na\u00c3\u00afve fa\u00c3\u00a7ade \u00e2\u20ac\u201c "
        u"\u00c2\u00bfqu\u00c3\u00a9? \u00e2\u20ac\u0153Quoted.\u00e2\u20ac\u009d";
    Render(text, espeak);
    EXPECT_FALSE(IsSameSpeech(Render(misread, espeak), direct));
}

TEST(VoiceOutput, MissingTextFileFails) {
    TempDir dir;
    EXPECT_EQ(RenderToFile((dir.Path() / "none.txt").u16string(), dir.Path() / "x.wav",
                           {.flags = ss::kSpeakIsFileName}),
              ss::kFileNotFound);
}

TEST(VoiceOutput, AwkwardTextsHaveAClearOutcome) {
    struct Case {
        const char* what;
        std::u16string text;
        bool speaks;
    };
    const Case cases[] = {
        {"empty", u"", false},
        {"blank", u" \n\t ", false},
        {"NUL characters", std::u16string(64, u'\0'), false},
        {"unpaired surrogates", std::u16string(u"\xD800\xDFFF\xDBFF"), false},
        {"surrogates around words", std::u16string(u"\xD800Hello\xDC00 world."), true},
        {"bytes of invalid UTF-8",
         std::u16string(u"Na\xDCEFve \xDCFF\xDCFE fa\xDCE7"
                        u"ade."),
         true},
        {"stray markup", u"<speak><voice", false},
        {"unclosed tag in markup", u"<speak>Hello <break time=\"1s\" world.", true},
        {"one long word", std::u16string(5000, u'a'), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Audio audio = Render(c.text, {.rate = 10});
        if (c.speaks) {
            EXPECT_GT(Rms(audio.samples), 0.01);
        } else {
            EXPECT_LT(audio.Seconds(), 0.5);
        }
    }
}

TEST(VoiceOutput, TextFilesWithAwkwardBytesHaveAClearOutcome) {
    TempDir dir;
    const EncodedFile files[] = {
        {"empty.txt", ""},
        {"nul.txt", std::string(1000, '\0')},
        {"invalid-utf8.txt", "Bad \xC3\x28 and \xF0\x28\x8C\x28 bytes \xFF."},
        {"half-bom.txt", "\xFF"},
        {"odd-utf16.txt", "\xFF\xFEH\0i\0."s},
    };
    for (const EncodedFile& file : files) {
        SCOPED_TRACE(file.name);
        const auto path = dir.Path() / file.name;
        std::ofstream(path, std::ios::binary) << file.bytes;
        EXPECT_EQ(RenderToFile(path.u16string(), dir.Path() / "out.wav",
                               {.rate = 10, .flags = ss::kSpeakIsFileName}),
                  ss::kOk);
        Audio audio;
        EXPECT_TRUE(ReadAudioFile(dir.Path() / "out.wav", audio));
    }
}

}  // namespace
}  // namespace sonoleaf::testing
