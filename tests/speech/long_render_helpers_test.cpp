// One long render with its segments made by the render helpers, with the real
// service: the same bytes with one helper or several (and, for Flite, as in the
// program's own process), Stop ending it soon with a valid shorter file, and a
// segment's process killed failing that render alone.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "render/render_pool.h"
#include "speech/speech_engine.h"
#include "support/audio_file_check.h"
#include "support/child_process.h"
#include "support/file_contents.h"
#include "support/recording_alerts.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::u16string Prose(std::size_t bytes) {
    const std::u16string sentence = u"The river ran past the mill, and the miller sang. ";
    std::u16string text;
    while (text.size() < bytes) text += sentence;
    text.resize(bytes);
    return text;
}

class LongRenders : public ::testing::Test {
  protected:
    void TearDown() override { ::unsetenv("LC_ALL"); }

    std::unique_ptr<SpeechEngine> Engine(int slots, AudioType type) {
        auto engine = std::make_unique<SpeechEngine>(speech_service::CreateSystemSpeechService());
        engine->EnableRenderHelpers(slots);
        VoiceProfile profile;
        profile.audioType = type;
        engine->CopyProfile(profile);
        return engine;
    }

    // The bytes of `text` rendered with `slots` helpers (0: in this process).
    std::string Render(const std::u16string& text, int slots, AudioType type) {
        // One name in a folder of its own: the name is the file's title tag.
        const fs::path folder = dir.Path() / ("run" + std::to_string(run++));
        fs::create_directory(folder);
        const fs::path out = folder / (type == Mp3 ? "long.mp3" : "long.wav");
        const RenderResult result =
            Engine(slots, type)->RenderTextToFile(text, out.u16string(), false);
        EXPECT_EQ(result.kind, RenderResult::Kind::Saved);
        EXPECT_TRUE(CheckAudioFile(out).valid);
        return FileBytes(out);
    }

    TempDir dir;
    AlertCapture alerts;
    int run = 0;
};

TEST_F(LongRenders, OneOrSeveralHelpersGiveTheSameBytes) {
    struct Case {
        const char* locale;  // English reads with Flite's voice, German with eSpeak NG's
        AudioType type;
        std::size_t bytes;
        bool sameInProcess;  // Flite starts every piece afresh; eSpeak NG does not
    };
    const Case cases[] = {{"en_US.UTF-8", Wav, 2600, true},
                          {"de_DE.UTF-8", Mp3, 4500, false},
                          {"de_DE.UTF-8", Wav, 4500, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + (c.type == Mp3 ? " mp3" : " wav"));
        ::setenv("LC_ALL", c.locale, 1);
        const std::u16string text = Prose(c.bytes);
        const std::string one = Render(text, 1, c.type);
        EXPECT_TRUE(Render(text, 3, c.type) == one) << "three helpers differ from one";
        if (c.sameInProcess) {
            EXPECT_TRUE(Render(text, 0, c.type) == one) << "in process differs";
        }
    }
}

TEST_F(LongRenders, StopEndsTheRenderSoonWithAValidShorterFile) {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    const auto engine = Engine(2, Mp3);
    const fs::path out = dir.Path() / "stopped.mp3";
    auto render = std::async(std::launch::async, [&] {
        return engine->RenderTextToFile(Prose(60000), out.u16string(), false);
    });
    while (GrowingSize(out) < 100000) std::this_thread::sleep_for(5ms);
    const auto stopped = std::chrono::steady_clock::now();
    engine->Stop(false);
    const RenderResult result = render.get();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
    EXPECT_FALSE(result.IsFailed());
    const AudioFileReport report = CheckAudioFile(out);
    EXPECT_TRUE(report.valid) << report.problem;
    EXPECT_LT(report.seconds, 3000.0);  // the whole text is over an hour
}

// A segment's process that dies is made once more in a fresh one: killed once, the
// file comes out as if nothing had happened; killed every time, that render alone fails.
TEST_F(LongRenders, KilledSegmentIsMadeAgainOnceThenFailsThatRenderAlone) {
    const auto engine = Engine(2, Wav);
    ASSERT_NE(engine->RenderHelpers(), nullptr);
    const pid_t helper = engine->RenderHelpers()->HelperPid();
    const auto renderKilling = [&](const fs::path& out, bool everyTime) {
        auto render = std::async(std::launch::async, [&] {
            return engine->RenderTextToFile(Prose(12000), out.u16string(), false);
        });
        std::set<pid_t> killed;
        while (render.wait_for(1ms) != std::future_status::ready) {
            for (const pid_t segment : ChildrenOf(helper)) {
                if (!everyTime && !killed.empty()) break;
                if (killed.insert(segment).second) ::kill(segment, SIGKILL);
            }
        }
        return render.get();
    };
    const fs::path once = dir.Path() / "once.wav";
    EXPECT_EQ(renderKilling(once, false).kind, RenderResult::Kind::Saved);
    const fs::path clean = dir.Path() / "clean.wav";
    EXPECT_EQ(engine->RenderTextToFile(Prose(12000), clean.u16string(), false).kind,
              RenderResult::Kind::Saved);
    EXPECT_EQ(FileBytes(once), FileBytes(clean));

    const fs::path always = dir.Path() / "always.wav";
    EXPECT_TRUE(renderKilling(always, true).IsFailed());
    if (fs::exists(always)) {
        EXPECT_TRUE(CheckAudioFile(always).valid);
    }
    // The helper goes on with the next render.
    const fs::path next = dir.Path() / "next.wav";
    EXPECT_EQ(engine->RenderTextToFile(Prose(3000), next.u16string(), false).kind,
              RenderResult::Kind::Saved);
    EXPECT_TRUE(CheckAudioFile(next).valid);
    EXPECT_EQ(engine->RenderHelpers()->HelperPid(), helper);
}

}  // namespace
}  // namespace sonoleaf::testing
