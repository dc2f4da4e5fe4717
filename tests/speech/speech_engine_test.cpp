#include "speech/speech_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/text_convert.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace ss = speech_service;
using testing::AlertCapture;
using testing::RecordingSpeechService;
using testing::TempDir;
using Log = std::vector<std::string>;

constexpr auto kWait = std::chrono::seconds(10);
const std::string kSetId = "SetId(HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices,false)";

Log Lookup(const std::string& gender, const std::string& chosen) {
    return {"CreateTokenCategory", kSetId,    "EnumTokens(null,Gender=" + gender + ")",
            "Release(category)",   "Next(1)", "SetVoice(" + chosen + ")",
            "Release(tokens)"};
}

Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

bool IsRelease(const std::string& entry) {
    return entry.starts_with("Release(");
}

std::uintmax_t FileSize(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

bool IsWave(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string header(12, '\0');
    file.read(header.data(), 12);
    return file && header.starts_with("RIFF") && header.substr(8, 4) == "WAVE";
}

class SpeechEngineTest : public ::testing::Test {
  protected:
    SpeechEngineTest() : service(std::make_shared<RecordingSpeechService>()), engine(service) {
        engine.CopyProfile(VoiceProfile{});  // volume 80, speed -2, Male, Mp3
    }
    std::u16string OutputPath(const std::u16string& name) const {
        return dir.Wide() + u"//" + name;
    }

    TempDir dir;
    AlertCapture alerts;
    std::shared_ptr<RecordingSpeechService> service;
    SpeechEngine engine;
};

TEST_F(SpeechEngineTest, CopyProfileTakesAllFourFields) {
    VoiceProfile profile;
    profile.volume = 40;
    profile.speed = 7;
    profile.voiceGender = Female;
    profile.audioType = Wav;
    engine.CopyProfile(profile);
    EXPECT_EQ(engine.volume, 40);
    EXPECT_EQ(engine.speed, 7);
    EXPECT_EQ(engine.voiceGender, Female);
    EXPECT_EQ(engine.audioType, Wav);
    EXPECT_EQ(engine.AudioExtension(), u".wav");
    profile.audioType = Mp3;
    engine.CopyProfile(profile);
    EXPECT_EQ(engine.AudioExtension(), u".mp3");
}

struct LookupCase {
    const char* name;
    std::vector<RecordingSpeechService::Token> tokens;
    std::int32_t gender;
    std::string failCall;  // empty: nothing fails
    Log log;
    bool succeeds;
};

class VoiceLookup : public SpeechEngineTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(VoiceLookup, FollowsItsStepsAndStopsAtTheFirstFailure) {
    const LookupCase& c = GetParam();
    service->SetTokens(c.tokens);
    std::shared_ptr<ss::Voice> voice;
    ASSERT_TRUE(ss::Succeeded(service->CreateVoice(voice)));
    service->ClearLog();
    if (!c.failCall.empty()) service->FailCall(c.failCall);

    const ss::HResult result = engine.SelectVoiceByGender(*voice, c.gender);

    EXPECT_EQ(ss::Succeeded(result), c.succeeds);
    if (!c.succeeds) {
        EXPECT_EQ(result, ss::kFail);
    }
    EXPECT_EQ(service->Log(), c.log);
    voice.reset();
    EXPECT_EQ(service->LiveObjects(), 0);
}

const std::vector<RecordingSpeechService::Token> kBoth = {{u"Recorded Male", u"Male"},
                                                          {u"Recorded Female", u"Female"}};
const std::vector<RecordingSpeechService::Token> kNoMale = {{u"Anna", u"Female"},
                                                            {u"Berta", u"Female"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, VoiceLookup,
    ::testing::Values(
        LookupCase{"male", kBoth, Male, "", Lookup("Male", "Recorded Male"), true},
        LookupCase{"female", kBoth, Female, "", Lookup("Female", "Recorded Female"), true},
        LookupCase{"no_male_voice", kNoMale, Male, "", Lookup("Male", "Anna"), true},
        LookupCase{"no_voice_at_all", {}, Male, "", Lookup("Male", "null"), true},
        LookupCase{
            "category_fails", kBoth, Male, "CreateTokenCategory", {"CreateTokenCategory"}, false},
        LookupCase{"set_id_fails",
                   kBoth,
                   Male,
                   "SetId",
                   {"CreateTokenCategory", kSetId, "Release(category)"},
                   false},
        LookupCase{
            "enum_fails",
            kBoth,
            Male,
            "EnumTokens",
            {"CreateTokenCategory", kSetId, "EnumTokens(null,Gender=Male)", "Release(category)"},
            false},
        LookupCase{"next_fails",
                   kBoth,
                   Male,
                   "Next",
                   {"CreateTokenCategory", kSetId, "EnumTokens(null,Gender=Male)",
                    "Release(category)", "Next(1)", "Release(tokens)"},
                   false},
        LookupCase{
            "set_voice_fails",
            kBoth,
            Male,
            "SetVoice",
            {"CreateTokenCategory", kSetId, "EnumTokens(null,Gender=Male)", "Release(category)",
             "Next(1)", "SetVoice(Recorded Male)", "Release(tokens)", "Release(token)"},
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpeechEngineTest, RenderTextToFileCallsTheServiceInOrder) {
    const std::u16string path = OutputPath(u"out.wav");
    engine.RenderTextToFile(u"Hello there", path, true);

    const std::string narrowPath = text::ToNarrow(path);
    EXPECT_EQ(service->Log(), Concat({{"CreateVoice", "SetVolume(80)", "SetRate(-2)"},
                                      Lookup("Male", "Recorded Male"),
                                      {"CreateFileStream", "BindToFile(" + narrowPath + ",3)",
                                       "SetOutput(stream,true)", "Speak(Hello there,0)", "Close",
                                       "Release(voice)", "Release(stream)", "Release(token)"}}));
    EXPECT_EQ(alerts->Texts(), Log{"File is saved to: " + narrowPath});
    EXPECT_TRUE(IsWave(text::ToNarrow(path)));
    EXPECT_EQ(service->LiveObjects(), 0);
    EXPECT_TRUE(engine.renderVoice.Empty());

    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_EQ(speaks[0].tokenName, u"Recorded Male");
    EXPECT_EQ(speaks[0].volume, 80);
    EXPECT_EQ(speaks[0].rate, -2);
    EXPECT_EQ(speaks[0].outputPath, path);
}

TEST_F(SpeechEngineTest, RenderTextToFileWithEmptyTextDoesNothing) {
    engine.RenderTextToFile(u"", OutputPath(u"empty.wav"), true);
    EXPECT_TRUE(service->Log().empty());
    EXPECT_TRUE(alerts->Alerts().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "empty.wav"));
}

TEST_F(SpeechEngineTest, RenderWithoutAnnounceShowsNothing) {
    engine.RenderTextToFile(u"Quiet", OutputPath(u"quiet.wav"), false);
    EXPECT_TRUE(alerts->Alerts().empty());
    EXPECT_TRUE(IsWave(dir.Path() / "quiet.wav"));
}

// A link planted at the output's name is replaced by the file, never followed: what
// it points to stays as it was.
TEST_F(SpeechEngineTest, RenderReplacesALinkAtItsNameAndLeavesItsTargetAlone) {
    const std::filesystem::path victim = dir.Path() / "victim.txt";
    std::ofstream(victim) << "precious";
    std::filesystem::create_symlink(victim, dir.Path() / "planted.wav");
    engine.RenderTextToFile(u"Hello", OutputPath(u"planted.wav"), false);
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.Path() / "planted.wav"));
    EXPECT_TRUE(IsWave(dir.Path() / "planted.wav"));
}

// The steps of a rendering, in order, with whether a failure of that step ends the
// speech steps (SetVolume and SetRate do not).
struct RenderFailure {
    std::string call;
    bool endsSpeech;     // and leaves no file under its name, not even a header
    std::string reason;  // the second line of the message; none when the file is saved
};

const std::string kNoVoice = "No speech voice could be made ready.";
const std::string kNoFile = "The file could not be created.";
const std::string kNoSpeech = "The speech could not be made.";
const std::string kCutShort = "The file could not be written to its end: the disk may be full.";

class RenderFailures : public SpeechEngineTest,
                       public ::testing::WithParamInterface<RenderFailure> {};

TEST_P(RenderFailures, SkipTheRestCleanUpAndSayWhy) {
    const RenderFailure& c = GetParam();
    struct Operation {
        const char* name;
        std::uint32_t flags;
    };
    const std::filesystem::path source = dir.Path() / "source.txt";
    std::ofstream(source) << "Text from a file";

    for (const Operation op :
         {Operation{"text", ss::kSpeakDefault}, Operation{"file", ss::kSpeakIsFileName}}) {
        SCOPED_TRACE(op.name);
        service->ClearLog();
        service->ClearFailures();
        alerts->Clear();
        const std::u16string path =
            OutputPath(text::ToWide(std::string(op.name) + c.call + ".wav"));
        service->FailCall(c.call);
        if (op.flags == ss::kSpeakDefault) {
            engine.RenderTextToFile(u"Some text", path, true);
        } else {
            engine.RenderTextFileToFile(source.u16string(), path);
        }

        const Log log = service->Log();
        const auto failed = std::find_if(log.begin(), log.end(), [&](const std::string& entry) {
            return entry.starts_with(c.call);
        });
        ASSERT_NE(failed, log.end());
        if (c.endsSpeech) {
            EXPECT_TRUE(std::all_of(std::next(failed), log.end(), IsRelease))
                << ::testing::PrintToString(log);
        } else {
            EXPECT_NE(std::find(log.begin(), log.end(), "Close"), log.end());
        }
        EXPECT_EQ(service->LiveObjects(), 0);
        EXPECT_TRUE(engine.renderVoice.Empty());
        EXPECT_TRUE(engine.fileRenderVoice.Empty());
        const std::string expected =
            c.reason.empty()
                ? "File is saved to: " + text::ToNarrow(path)
                : "File could not be saved to: " + text::ToNarrow(path) + "\r\n" + c.reason;
        EXPECT_EQ(alerts->Texts(), Log{expected});
        EXPECT_EQ(std::filesystem::exists(text::ToNarrow(path)), !c.endsSpeech);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RenderFailures,
    ::testing::Values(
        RenderFailure{"CreateVoice", true, kNoVoice}, RenderFailure{"SetVolume", false, ""},
        RenderFailure{"SetRate", false, ""}, RenderFailure{"CreateTokenCategory", true, kNoVoice},
        RenderFailure{"SetId", true, kNoVoice}, RenderFailure{"EnumTokens", true, kNoVoice},
        RenderFailure{"Next", true, kNoVoice}, RenderFailure{"SetVoice", true, kNoVoice},
        RenderFailure{"CreateFileStream", true, kNoFile},
        RenderFailure{"BindToFile", true, kNoFile}, RenderFailure{"SetOutput", true, kNoSpeech},
        RenderFailure{"Speak", true, kNoSpeech}, RenderFailure{"Close", true, kCutShort}),
    [](const auto& info) { return info.param.call; });

TEST_F(SpeechEngineTest, RenderIntoMissingFolderSaysItCouldNotBeSaved) {
    const std::u16string path = dir.Wide() + u"/missing//out.wav";
    engine.RenderTextToFile(u"Hello", path, true);
    EXPECT_EQ(alerts->Texts(), Log{"File could not be saved to: " + text::ToNarrow(path) +
                                   "\r\nThe folder cannot be written to."});
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
    const Log log = service->Log();
    EXPECT_EQ(std::find(log.begin(), log.end(), "Speak(Hello,0)"), log.end());
    EXPECT_EQ(service->LiveObjects(), 0);
}

TEST_F(SpeechEngineTest, RenderTextFileToFileLetsTheServiceReadTheFile) {
    const std::filesystem::path source = dir.Path() / "chapter.txt";
    std::ofstream(source, std::ios::binary) << "\xEF\xBB\xBF"
                                               "Caf\xC3\xA9 chapter";
    const std::u16string path = OutputPath(u"chapter.wav");
    engine.RenderTextFileToFile(source.u16string(), path);

    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_EQ(speaks[0].text, source.u16string());
    EXPECT_EQ(speaks[0].flags, ss::kSpeakIsFileName);
    EXPECT_EQ(speaks[0].spoken, "Caf\xC3\xA9 chapter");
    EXPECT_EQ(speaks[0].outputPath, path);
    EXPECT_EQ(alerts->Texts(), Log{"File is saved to: " + text::ToNarrow(path)});
    EXPECT_TRUE(IsWave(text::ToNarrow(path)));
}

TEST_F(SpeechEngineTest, RenderTextFileOfMissingSourceSaysWhy) {
    const std::u16string path = OutputPath(u"none.wav");
    engine.RenderTextFileToFile(dir.Wide() + u"/absent.txt", path);
    EXPECT_EQ(alerts->Texts(), Log{"File could not be saved to: " + text::ToNarrow(path) +
                                   "\r\nThe text file could not be found."});
    EXPECT_EQ(service->LiveObjects(), 0);
}

TEST_F(SpeechEngineTest, SpeakTextFileSpeaksAloud) {
    engine.SpeakTextFile(u"/books/a.txt");
    EXPECT_EQ(service->Log(), Concat({{"CreateVoice", "SetVolume(80)", "SetRate(-2)"},
                                      Lookup("Male", "Recorded Male"),
                                      {"SetOutput(null,true)", "Speak(/books/a.txt,4)",
                                       "Release(voice)", "Release(token)"}}));
    EXPECT_TRUE(alerts->Alerts().empty());
    EXPECT_TRUE(engine.fileSpeakVoice.Empty());
}

TEST_F(SpeechEngineTest, SpeakTextFileStopsAtAFailedLookup) {
    service->FailCall("SetVoice");
    engine.SpeakTextFile(u"/books/a.txt");
    EXPECT_EQ(service->CallCount("SetOutput"), 0);
    EXPECT_EQ(service->CallCount("Speak"), 0);
    EXPECT_EQ(service->LiveObjects(), 0);
}

TEST_F(SpeechEngineTest, ProfileChoosesVoiceVolumeAndRate) {
    service->SetTokens(kNoMale);
    VoiceProfile profile;
    profile.volume = 35;
    profile.speed = 4;
    engine.CopyProfile(profile);
    engine.RenderTextToFile(u"x", OutputPath(u"x.wav"), false);
    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_EQ(speaks[0].tokenName, u"Anna");  // no male voice: the first of the others
    EXPECT_EQ(speaks[0].volume, 35);
    EXPECT_EQ(speaks[0].rate, 4);
}

TEST_F(SpeechEngineTest, RenderingTwiceToOnePathKeepsTheSecond) {
    const std::u16string path = OutputPath(u"twice.wav");
    engine.RenderTextToFile(u"A long first text, long enough to tell apart", path, false);
    const auto first = FileSize(text::ToNarrow(path));
    engine.RenderTextToFile(u"Short", path, false);
    const auto second = FileSize(text::ToNarrow(path));
    EXPECT_GT(first, second);
    EXPECT_TRUE(IsWave(text::ToNarrow(path)));
}

TEST_F(SpeechEngineTest, StopPausesEveryLiveVoiceAndTheOperationsEnd) {
    service->SetSpeakBlocks(true);
    std::vector<std::thread> calls;
    calls.emplace_back([&] { engine.RenderTextToFile(u"one", OutputPath(u"1.wav"), false); });
    calls.emplace_back([&] { engine.RenderTextToFile(u"two", OutputPath(u"2.wav"), false); });
    calls.emplace_back([&] { engine.SpeakTextFile(u"/books/a.txt"); });
    calls.emplace_back([&] { engine.RenderTextFileToFile(u"/books/a.txt", OutputPath(u"3.wav")); });
    // The file operations fail to read the missing book, so only the two renders wait.
    ASSERT_TRUE(service->WaitForBlockedSpeaks(2, kWait));
    EXPECT_EQ(engine.renderVoice.Size(), 2u);

    engine.lengthListRunning = true;
    engine.titleListRunning = true;
    engine.Stop(false);
    for (std::thread& call : calls) call.join();

    EXPECT_FALSE(engine.lengthListRunning);
    EXPECT_FALSE(engine.titleListRunning);
    EXPECT_EQ(service->BlockedSpeaks(), 0);
    EXPECT_EQ(service->LiveVoices(), 0);
    EXPECT_TRUE(engine.renderVoice.Empty());
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "1.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "2.wav"));
}

TEST_F(SpeechEngineTest, StopPausesTheRenderVoiceOnceMoreWhenTheLengthListIsIdle) {
    struct Case {
        bool lengthListBusy;
        int pauses;
    };
    for (const Case c : {Case{false, 3}, Case{true, 2}}) {
        // A voice held in the set for the whole Stop: one that a render released
        // between two pauses would make the count depend on timing.
        std::shared_ptr<ss::Voice> voice;
        ASSERT_EQ(service->CreateVoice(voice), ss::kOk);
        const LiveVoiceRegistration rendering(engine.renderVoice, voice);
        const int before = service->CallCount("Pause");
        engine.Stop(c.lengthListBusy);
        EXPECT_EQ(service->CallCount("Pause") - before, c.pauses) << c.lengthListBusy;
    }
}

TEST_F(SpeechEngineTest, StopWithNothingRunningCallsNothing) {
    engine.Stop(false);
    EXPECT_TRUE(service->Log().empty());
}

TEST_F(SpeechEngineTest, PausedRenderingStillEndsWithAValidFile) {
    service->SetSpeakBlocks(true);
    std::thread call(
        [&] { engine.RenderTextToFile(u"Stopped midway", OutputPath(u"s.wav"), true); });
    ASSERT_TRUE(service->WaitForBlockedSpeaks(1, kWait));
    engine.Stop(false);
    call.join();
    EXPECT_TRUE(IsWave(dir.Path() / "s.wav"));
    EXPECT_EQ(alerts->Alerts().size(), 1u);
}

}  // namespace
}  // namespace sonoleaf
