// Output files under faults: two streams of the process writing one path, an MP3
// that gets no audio, and an MP3 whose disk fills. Whatever happens, the path ends
// up holding one whole audio file or nothing.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <future>
#include <string>

#include "platform/speech/service_helpers.h"
#include "support/audio_file_check.h"
#include "support/child_process.h"

namespace sonoleaf::testing {
namespace {

using namespace std::chrono_literals;

const std::u16string kSentence = u"The quick brown fox jumps over the lazy dog.";

std::shared_ptr<ss::FileStream> NewStream() {
    std::shared_ptr<ss::FileStream> stream;
    EXPECT_EQ(Service()->CreateFileStream(stream), ss::kOk);
    return stream;
}

ss::HResult Bind(ss::FileStream& stream, const std::filesystem::path& path) {
    return stream.BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                             ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents);
}

TEST(FileFaults, SecondWriterOfAPathWaitsUntilTheFirstHasClosed) {
    TempDir dir;
    for (const char* name : {"same.wav", "same.mp3"}) {
        SCOPED_TRACE(name);
        const auto path = dir.Path() / name;
        auto first = NewStream();
        ASSERT_EQ(Bind(*first, path), ss::kOk);
        auto second = NewStream();
        // The same file, spelt another way.
        const auto otherSpelling = dir.Path() / "." / ("x/../" + std::string(name));
        std::filesystem::create_directory(dir.Path() / "x");
        auto binding = std::async(std::launch::async, [&] { return Bind(*second, otherSpelling); });
        EXPECT_EQ(binding.wait_for(300ms), std::future_status::timeout);
        auto voice = MakeVoice({});
        ASSERT_EQ(voice->SetOutput(first, true), ss::kOk);
        ASSERT_EQ(voice->Speak(u"First.", 0, nullptr), ss::kOk);
        EXPECT_EQ(first->Close(), ss::kOk);
        ASSERT_EQ(binding.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(binding.get(), ss::kOk);
        ASSERT_EQ(voice->SetOutput(second, true), ss::kOk);
        ASSERT_EQ(voice->Speak(kSentence, 0, nullptr), ss::kOk);
        EXPECT_EQ(second->Close(), ss::kOk);
        const auto report = CheckAudioFile(path);
        EXPECT_TRUE(report.valid) << report.problem;
        EXPECT_GT(report.seconds, 1.5) << "the second rendering replaced the first";
    }
}

TEST(FileFaults, RendersIntoOnePathAtOnceLeaveOneWholeRendering) {
    TempDir dir;
    const std::u16string texts[] = {kSentence + u" " + kSentence, u"Short one."};
    for (const char* name : {"both.wav", "both.mp3"}) {
        SCOPED_TRACE(name);
        const auto path = dir.Path() / name;
        for (int round = 0; round < 3; ++round) {
            auto a = std::async(std::launch::async, [&] { return RenderToFile(texts[0], path); });
            auto b = std::async(std::launch::async, [&] { return RenderToFile(texts[1], path); });
            ASSERT_EQ(a.wait_for(30s), std::future_status::ready);
            ASSERT_EQ(b.wait_for(30s), std::future_status::ready);
            EXPECT_EQ(a.get(), ss::kOk);
            EXPECT_EQ(b.get(), ss::kOk);
            const auto report = CheckAudioFile(path);
            EXPECT_TRUE(report.valid) << report.problem;
        }
    }
}

TEST(FileFaults, FileWithoutAudioIsAnEmptyWaveOrNoMp3) {
    TempDir dir;
    for (const bool speakNothing : {false, true}) {
        SCOPED_TRACE(speakNothing ? "paused before speaking" : "closed unspoken");
        const auto wave = dir.Path() / "empty.wav";
        const auto mp3 = dir.Path() / "empty.mp3";
        for (const auto& path : {wave, mp3}) {
            auto stream = NewStream();
            ASSERT_EQ(Bind(*stream, path), ss::kOk);
            if (speakNothing) {
                auto voice = MakeVoice({});
                voice->SetOutput(stream, true);
                voice->Pause();
                EXPECT_EQ(voice->Speak(kSentence, 0, nullptr), ss::kOk);
            }
            EXPECT_EQ(stream->Close(), ss::kOk);
        }
        const auto report = CheckAudioFile(wave);
        EXPECT_TRUE(report.valid) << report.problem;
        EXPECT_EQ(report.seconds, 0.0);
        EXPECT_FALSE(std::filesystem::exists(mp3));
    }
}

// A full disk (a file size limit) fails the MP3 rendering like a WAV one, and leaves
// no MP3 that ends inside a frame.
TEST(FileFaults, Mp3WriteFailureFailsSpeakAndLeavesNoCutFile) {
    TempDir dir;
    const auto path = dir.Path() / "full.mp3";
    const auto outcome = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::u16string text;
        for (int i = 0; i < 20; ++i) text += kSentence + u" ";
        return std::string(ss::Failed(RenderToFile(text, path)) ? "failed" : "succeeded");
    });
    ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
    EXPECT_EQ(outcome.output, "failed");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace sonoleaf::testing
