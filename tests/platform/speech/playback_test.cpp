// Speaking aloud through the PulseAudio server, pausing, voices on several threads,
// and the faults of a missing server or missing synthesizer data.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/speech/service_helpers.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/speech/wave_file_writer.h"

extern char** environ;

namespace sonoleaf::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::u16string kSentence = u"The quick brown fox jumps over the lazy dog.";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Some text of `sentences` ordinary sentences.
std::u16string Sentences(int sentences) {
    static const char16_t* const kWords[] = {u"river",  u"garden",  u"morning", u"window",
                                             u"letter", u"harbour", u"market",  u"silver"};
    std::u16string text;
    for (int i = 0; i < sentences; ++i)
        text += u"The " + std::u16string(kWords[i % 8]) + u" near the " + kWords[(i + 3) % 8] +
                u" was quiet that evening. ";
    return text;
}

const char* TestSink() {
    return std::getenv("SONOLEAF_TEST_SINK");
}

#define REQUIRE_TEST_SINK()                               \
    if (TestSink() == nullptr)                            \
    GTEST_SKIP() << "SONOLEAF_TEST_SINK is not set (run " \
                    "under scripts/with-test-audio)"

std::shared_ptr<ss::Voice> AloudVoice(const SpeakSettings& settings) {
    auto voice = MakeVoice(settings);
    if (voice) voice->SetOutput(nullptr, true);
    return voice;
}

// A null sink of the test's own, made the default of this process while it lives,
// so that sound played by tests running beside it cannot reach its monitor.
class PrivateSink {
  public:
    PrivateSink() {
        const std::string load = Pactl("load-module module-null-sink sink_name=" + name_);
        if (load.empty()) return;
        module_ = load;
        ::setenv("PULSE_SINK", name_.c_str(), 1);
    }
    ~PrivateSink() {
        if (module_.empty()) return;
        ::unsetenv("PULSE_SINK");
        Pactl("unload-module " + module_);
    }
    bool Ready() const { return !module_.empty(); }
    const std::string& Name() const { return name_; }

  private:
    static std::string Pactl(const std::string& arguments) {
        std::string output;
        if (FILE* pipe = ::popen(("pactl " + arguments + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
            if (::pclose(pipe) != 0) output.clear();
        }
        while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
            output.pop_back();
        return output;
    }
    std::string name_ = "sonoleaf_playback_" + std::to_string(::getpid());
    std::string module_;
};

// parec recording a sink's monitor into a raw file while it lives.
class Recorder {
  public:
    Recorder(const std::filesystem::path& file, const std::string& sink) {
        const std::string device = sink + ".monitor";
        const std::string target = file.string();
        std::vector<std::string> args = {"parec",
                                         "-d",
                                         device,
                                         "--raw",
                                         "--format=s16le",
                                         "--rate=22050",
                                         "--channels=1",
                                         "--latency-msec=20",
                                         target};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, "parec", nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
    }
    ~Recorder() { Stop(); }
    bool Running() const { return pid_ > 0; }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
    }

  private:
    pid_t pid_ = 0;
};

TEST(Playback, SpeakingAloudReachesTheDefaultSink) {
    REQUIRE_TEST_SINK();
    const std::u16string text = u"Speech for the null sink, two sentences long. It ends here.";
    const Audio rendered = Render(text, {.rate = 3});
    const double expected = static_cast<double>(LoudSpan(rendered.samples, 22050).Length()) / 22050;
    ASSERT_GT(expected, 1.5);

    PrivateSink sink;
    ASSERT_TRUE(sink.Ready()) << "pactl could not add a null sink";
    TempDir dir;
    const auto file = dir.Path() / "sink.raw";
    Recorder recorder(file, sink.Name());
    ASSERT_TRUE(recorder.Running());
    std::this_thread::sleep_for(700ms);  // parec connects
    auto voice = AloudVoice({.rate = 3});
    const auto start = Clock::now();
    ASSERT_EQ(voice->Speak(text, 0, nullptr), ss::kOk);
    const double took = SecondsSince(start);
    std::this_thread::sleep_for(400ms);
    recorder.Stop();

    EXPECT_GT(took, 0.8 * expected) << "Speak returns once the speech has played";
    const auto recorded = ReadRawS16(file);
    const auto span = LoudSpan(recorded, 22050);
    const double heard = static_cast<double>(span.Length()) / 22050;
    EXPECT_NEAR(heard, expected, 0.3);
    EXPECT_GT(Rms(std::span<const float>(recorded).subspan(span.begin, span.Length())),
              0.5 * Rms(rendered.samples));
}

TEST(Playback, PauseEndsALongSpeakAtOnceAndLaterSpeaksReturn) {
    REQUIRE_TEST_SINK();
    const std::u16string text = Sentences(12);  // well over 20 seconds
    auto voice = AloudVoice({});
    auto speaking = std::async(std::launch::async, [&] { return voice->Speak(text, 0, nullptr); });
    ASSERT_EQ(speaking.wait_for(1500ms), std::future_status::timeout) << "still speaking";
    const auto paused = Clock::now();
    EXPECT_EQ(voice->Pause(), ss::kOk);
    ASSERT_EQ(speaking.wait_for(5s), std::future_status::ready);
    const double took = SecondsSince(paused);
    RecordProperty("pause_to_return_ms", std::to_string(static_cast<int>(took * 1000)));
    EXPECT_LT(took, 1.5);
    EXPECT_TRUE(ss::Succeeded(speaking.get()));

    const auto later = Clock::now();
    EXPECT_TRUE(ss::Succeeded(voice->Speak(text, 0, nullptr)));
    EXPECT_LT(SecondsSince(later), 0.5);
}

TEST(Playback, PauseDuringRenderLeavesValidShorterWave) {
    TempDir dir;
    // Some hours of speech; the whole would last a hundred times the first 30 sentences.
    const std::u16string text = Sentences(3000);
    const double wholeSeconds = 100 * Render(Sentences(30)).Seconds();
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "closed" : "dropped");
        const auto path = dir.Path() / (close ? "closed.wav" : "dropped.wav");
        auto voice = MakeVoice({});
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
        ASSERT_EQ(
            stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        ASSERT_EQ(voice->SetOutput(stream, true), ss::kOk);
        auto rendering =
            std::async(std::launch::async, [&] { return voice->Speak(text, 0, nullptr); });
        // Paused once the first audio is in the file, however long the synthesizer
        // takes to start.
        for (int i = 0;
             i < 3000 && std::filesystem::file_size(path) <= ss::WaveFileWriter::kHeaderBytes; ++i)
            std::this_thread::sleep_for(10ms);
        voice->Pause();
        ASSERT_EQ(rendering.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(ss::Succeeded(rendering.get()));
        if (close) {
            EXPECT_EQ(stream->Close(), ss::kOk);
        }
        voice.reset();
        stream.reset();
        Audio audio;
        ASSERT_TRUE(ReadAudioFile(path, audio));
        EXPECT_EQ(audio.sampleRate, 22050);
        EXPECT_GT(audio.Seconds(), 0.5);
        EXPECT_LT(audio.Seconds(), 0.5 * wholeSeconds);
        const auto bytes = std::filesystem::file_size(path);
        EXPECT_EQ(bytes, ss::WaveFileWriter::kHeaderBytes + 2 * audio.samples.size());
    }
}

TEST(Playback, TwoVoicesOnTwoThreadsBothFinish) {
    REQUIRE_TEST_SINK();
    const std::u16string renderText = Sentences(6);
    const Audio alone = Render(renderText, {.rate = 2});
    TempDir dir;
    const auto path = dir.Path() / "side.wav";
    auto aloud = std::async(std::launch::async, [&] {
        auto voice = AloudVoice({.rate = 8, .gender = u"Gender=Female"});
        return voice->Speak(u"Spoken aloud while another voice renders a file.", 0, nullptr);
    });
    auto render =
        std::async(std::launch::async, [&] { return RenderToFile(renderText, path, {.rate = 2}); });
    ASSERT_EQ(aloud.wait_for(30s), std::future_status::ready);
    ASSERT_EQ(render.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(aloud.get(), ss::kOk);
    EXPECT_EQ(render.get(), ss::kOk);
    // Neither voice's settings leaked into the other's speech.
    Audio side;
    ASSERT_TRUE(ReadAudioFile(path, side));
    // The other voice's last words may shift the word context of a piece here, so
    // only what a leak of its settings would change is compared: the fast female
    // voice would make this speech a third shorter and a good deal higher.
    EXPECT_NEAR(side.Seconds(), alone.Seconds(), 0.03 * alone.Seconds());
    EXPECT_NEAR(MedianPitch(side.samples, 22050), MedianPitch(alone.samples, 22050), 8.0);
    EXPECT_NEAR(Rms(side.samples), Rms(alone.samples), 0.05 * Rms(alone.samples));
}

TEST(Playback, PausingWhileAnotherThreadReleasesTheVoiceIsSafe) {
    TempDir dir;
    for (int round = 0; round < 8; ++round) {
        auto voice = MakeVoice({.rate = 10});
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
        ASSERT_EQ(
            stream->BindToFile((dir.Path() / "r.wav").u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        voice->SetOutput(stream, true);
        std::shared_ptr<ss::Voice> pauser = voice;
        auto speaking = std::async(std::launch::async,
                                   [v = voice] { return v->Speak(Sentences(20), 0, nullptr); });
        std::thread stop([p = std::move(pauser), round]() mutable {
            std::this_thread::sleep_for(std::chrono::milliseconds(5 * round));
            p->Pause();
            p.reset();
        });
        voice.reset();
        stream.reset();
        ASSERT_EQ(speaking.wait_for(10s), std::future_status::ready);
        stop.join();
    }
}

// The most memory this process has held, from /proc/self/status.
long PeakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6)) / 1024;
    return -1;
}

TEST(Playback, HugeTextStaysBoundedAndPauses) {
    // 10 MB of text, given directly and as a file.
    std::u16string text;
    const std::u16string sentences = Sentences(40);
    while (text.size() < 10'000'000) text += sentences;
    TempDir dir;
    const auto file = dir.Path() / "huge.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (std::size_t i = 0; i < text.size(); ++i) out.put(static_cast<char>(text[i]));
    }
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "file" : "text");
        auto voice = MakeVoice({.rate = 10, .flags = fromFile ? ss::kSpeakIsFileName : 0});
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
        ASSERT_EQ(
            stream->BindToFile((dir.Path() / "huge.wav").u16string(), ss::kFileModeCreateAlways,
                               ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
            ss::kOk);
        voice->SetOutput(stream, true);
        auto speaking = std::async(std::launch::async, [&] {
            return voice->Speak(fromFile ? file.u16string() : text,
                                fromFile ? ss::kSpeakIsFileName : 0, nullptr);
        });
        // Speech begins long before the end of the text; then a pause ends it.
        const auto wave = dir.Path() / "huge.wav";
        const auto start = Clock::now();
        while (std::filesystem::file_size(wave) < 44 + 10 * 44100 && SecondsSince(start) < 20)
            std::this_thread::sleep_for(20ms);
        RecordProperty(fromFile ? "file_first_10s_ms" : "text_first_10s_ms",
                       std::to_string(static_cast<int>(SecondsSince(start) * 1000)));
        ASSERT_EQ(speaking.wait_for(0s), std::future_status::timeout);
        voice->Pause();
        ASSERT_EQ(speaking.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(ss::Succeeded(speaking.get()));
        EXPECT_EQ(stream->Close(), ss::kOk);
        Audio audio;
        EXPECT_TRUE(ReadAudioFile(dir.Path() / "huge.wav", audio));
        EXPECT_GE(audio.Seconds(), 10.0);
    }
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    // The text and its conversions, never its audio (hours of it) held at once.
    EXPECT_LT(PeakResidentMegabytes(), 400);
#endif
}

// The cases below change the process's environment before the service exists, so
// each runs in a child process of its own and reports through its exit code.

int SpeakWithoutServer() {
    ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
    auto voice = AloudVoice({});
    const auto start = Clock::now();
    const ss::HResult hr = voice->Speak(kSentence, 0, nullptr);
    if (hr != ss::kNoAudioDevice) return 1;
    if (SecondsSince(start) > 2.0) return 2;
    TempDir dir;
    return RenderToFile(kSentence, dir.Path() / "x.wav") == ss::kOk ? 0 : 3;
}

// Without its data eSpeak NG fails, and a service of eSpeak NG alone fails every
// call; the system service still speaks with Flite's voices.
int UseServiceWithoutData(const char* variable, const char* folder) {
    ::setenv(variable, folder, 1);
    TempDir dir;
    if (RenderToFile(kSentence, dir.Path() / "flite.wav") != ss::kOk) return 2;
    auto service = ss::CreateSpeechService({ss::EspeakEngine()});
    std::shared_ptr<ss::Voice> voice;
    std::shared_ptr<ss::FileStream> stream;
    std::unique_ptr<ss::TokenCategory> category;
    int failed = 0;
    failed += ss::Failed(service->CreateVoice(voice)) && !voice;
    failed += ss::Failed(service->CreateFileStream(stream)) && !stream;
    failed += ss::Failed(service->CreateTokenCategory(category)) && !category;
    return failed == 3 ? 0 : 1;
}

int RankFemaleVoicesUnderGermanLocale() {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    auto service = ss::CreateSystemSpeechService();
    std::unique_ptr<ss::TokenCategory> category;
    std::unique_ptr<ss::TokenEnumeration> tokens;
    if (ss::Failed(service->CreateTokenCategory(category)) ||
        ss::Failed(category->SetId(ss::kVoicesCategory, false)) ||
        ss::Failed(category->EnumTokens(nullptr, u"Gender=Female", tokens)))
        return 2;
    std::vector<std::u16string> languages;
    std::shared_ptr<ss::VoiceToken> token;
    while (tokens->Next(1, token, nullptr) == ss::kOk)
        if (token->Attribute(u"Gender") == u"Female")
            languages.push_back(token->Attribute(u"Language"));
    return languages.size() >= 2 && languages[0] == u"de" && languages[1].starts_with(u"en") ? 0
                                                                                             : 1;
}

TEST(PlaybackDeathTest, NoServerFailsSpeakingQuicklyButNotRendering) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SpeakWithoutServer()), ::testing::ExitedWithCode(0), "");
}

TEST(PlaybackDeathTest, MissingSynthesizerDataFailsEveryCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* variable;
        const char* folder;
    };
    for (const Case& c :
         {Case{"SONOLEAF_ESPEAK_DATA", "/nonexistent"}, Case{"ESPEAK_DATA_PATH", "/nonexistent"},
          Case{"SONOLEAF_ESPEAK_DATA", "/proc/self"}}) {  // a folder without data
        SCOPED_TRACE(std::string(c.variable) + "=" + c.folder);
        EXPECT_EXIT(std::_Exit(UseServiceWithoutData(c.variable, c.folder)),
                    ::testing::ExitedWithCode(0), "");
    }
}

TEST(PlaybackDeathTest, LocaleLanguageRanksFirstThenEnglish) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(RankFemaleVoicesUnderGermanLocale()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace sonoleaf::testing
