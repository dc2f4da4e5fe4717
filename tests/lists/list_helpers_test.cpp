// Lists rendered in helper processes with the real service: the same bytes whether one
// file or several are rendered at once, Stop starting no further file, a helper
// killed in the middle of a file failing that file alone, and no helper left behind.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "lists/list_run.h"
#include "platform/text/book_metadata.h"
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

std::string Prose(std::size_t bytes) {
    const std::string sentence = "The river ran past the mill, and the miller sang. ";
    std::string text;
    while (text.size() < bytes) text += sentence;
    text.resize(bytes);
    return text;
}

bool ProcessExists(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

class ListHelpers : public ::testing::Test {
  protected:
    // A list run over `source` into a fresh folder with `slots` helpers (0: none).
    std::map<std::string, std::string> RunList(const fs::path& source, int slots, bool titles,
                                               AudioType type) {
        const fs::path out = dir.Path() / ("out" + std::to_string(run++));
        fs::create_directory(out);
        SpeechEngine engine(speech_service::CreateSystemSpeechService());
        engine.EnableRenderHelpers(slots);
        VoiceProfile profile;
        profile.audioType = type;
        engine.CopyProfile(profile);
        if (titles) {
            engine.titleListRunning = true;
            engine.MakeAudioListByTitles(source.u16string(), out.u16string(), 1);
        } else {
            engine.lengthListRunning = true;
            engine.MakeAudioListByLength(source.u16string(), out.u16string(), 300);
        }
        return FilesIn(out);
    }

    TempDir dir;
    AlertCapture alerts;
    int run = 0;
};

TEST_F(ListHelpers, OneOrSeveralAtOnceGiveTheSameBytes) {
    const fs::path plain = dir.Path() / "book.txt";
    std::ofstream(plain, std::ios::binary) << Prose(1500);
    const fs::path titled = dir.Path() / "titled.txt";
    std::ofstream(titled, std::ios::binary)
        << "<title>" << Prose(200) << "</title> skip <title>" << Prose(350) << "</title>"
        << "<title>Three.</title><title>" << Prose(120) << "</title>";
    // English reads with Flite's voice; German with eSpeak NG's.
    for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        for (const AudioType type : {Mp3, Wav}) {
            for (const bool titles : {false, true}) {
                SCOPED_TRACE(std::string(locale) + (type == Mp3 ? " mp3" : " wav") +
                             (titles ? " titles" : " length"));
                const fs::path& source = titles ? titled : plain;
                const auto serial = RunList(source, 1, titles, type);
                const auto parallel = RunList(source, 3, titles, type);
                EXPECT_EQ(serial.size(), titles ? 4u : 5u);
                ASSERT_EQ(serial.size(), parallel.size());
                for (const auto& [name, bytes] : serial) {
                    ASSERT_TRUE(parallel.count(name)) << name;
                    EXPECT_TRUE(parallel.at(name) == bytes) << name << " differs";
                }
            }
        }
    }
    ::unsetenv("LC_ALL");
    EXPECT_TRUE(alerts->Texts().size() > 0);
    for (const std::string& shown : alerts->Texts())
        EXPECT_EQ(shown.find("could not be saved"), std::string::npos) << shown;
}

TEST_F(ListHelpers, StopStartsNoFurtherFileAndLeavesValidFiles) {
    const fs::path source = dir.Path() / "long.txt";
    std::ofstream(source, std::ios::binary) << Prose(6000);
    const fs::path out = dir.Path() / "stopped";
    fs::create_directory(out);
    SpeechEngine engine(speech_service::CreateSystemSpeechService());
    engine.EnableRenderHelpers(2);
    VoiceProfile profile;
    engine.CopyProfile(profile);
    engine.lengthListRunning = true;
    auto list = std::async(std::launch::async, [&] {
        engine.MakeAudioListByLength(source.u16string(), out.u16string(), 300);
    });
    while (!fs::exists(out / "long_2.mp3")) std::this_thread::sleep_for(10ms);
    const auto stopped = std::chrono::steady_clock::now();
    engine.Stop(true);
    list.get();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
    const auto files = FilesIn(out);
    EXPECT_LT(files.size(), 20u);  // 20 chunks in all
    for (const auto& [name, bytes] : files) {
        const AudioFileReport report = CheckAudioFile(out / name);
        EXPECT_TRUE(report.valid) << name << ": " << report.problem;
    }
    ASSERT_EQ(alerts->Texts().size(), 1u);
    EXPECT_EQ(alerts->Texts()[0], "Text file to Audio List operation done");
}

TEST_F(ListHelpers, KilledFileProcessIsMadeAgainAndNoneOutlivesTheProgram) {
    const fs::path source = dir.Path() / "book.txt";
    std::ofstream(source, std::ios::binary) << Prose(3000);
    const fs::path out = dir.Path() / "killed";
    fs::create_directory(out);
    pid_t helper = 0;
    std::vector<pid_t> seen;
    {
        SpeechEngine engine(speech_service::CreateSystemSpeechService());
        engine.EnableRenderHelpers(2);
        VoiceProfile profile;
        engine.CopyProfile(profile);
        engine.lengthListRunning = true;
        ASSERT_NE(engine.RenderHelpers(), nullptr);
        helper = engine.RenderHelpers()->HelperPid();
        auto list = std::async(std::launch::async, [&] {
            engine.MakeAudioListByLength(source.u16string(), out.u16string(), 1000);
        });
        // Kill the first file's process as soon as there is one.
        while (seen.empty()) {
            seen = ChildrenOf(helper);
            std::this_thread::yield();
        }
        ::kill(seen.front(), SIGKILL);
        list.get();
        ASSERT_EQ(alerts->Texts().size(), 1u);
        EXPECT_EQ(alerts->Texts()[0], "Text file to Audio List operation done");
        const auto files = FilesIn(out);
        EXPECT_EQ(files.size(), 3u);
        for (const auto& [name, bytes] : files)
            EXPECT_TRUE(CheckAudioFile(out / name).valid) << name;
        // One more file, in a new process, after the loss.
        seen = ChildrenOf(helper);
    }
    EXPECT_FALSE(ProcessExists(helper));
    for (const pid_t pid : seen) EXPECT_FALSE(ProcessExists(pid)) << pid;
}

// Other rules make another list key, so that a run is not resumed with them.
TEST(ListKey, HoldsTheRulesFingerprint) {
    TempDir dir;
    SpeechEngine engine(speech_service::CreateSystemSpeechService());
    const auto key = [&](const std::string& rules) {
        std::ofstream(dir.Path() / "rules.txt") << rules;
        engine.UsePronunciationsFile((dir.Path() / "rules.txt").string());
        engine.CopyProfile(VoiceProfile{});
        return ListKeyFor(engine, engine.TakeProfile(), u"/b.txt", u"/", "length=9").settings;
    };
    EXPECT_EQ(key("# no rules: the key of old\n").find("rules"), std::string::npos);
    EXPECT_EQ(key("a = b\n"), key("a = b\n"));
    EXPECT_NE(key("a = b\n"), key("a = c\n"));
}

// A list stopped without subtitles and resumed with them had files of both kinds, and
// one resumed after the book's title or cover changed, files of both tags.
TEST(ListKey, HoldsTheSubtitlesAndTheBooksMetadata) {
    TempDir dir;
    SpeechEngine engine(speech_service::CreateSystemSpeechService());
    std::set<std::string> keys;
    const auto key = [&](std::int32_t subtitles, const char* file = "", const char* bytes = "") {
        if (*file) std::ofstream(dir.Path() / file) << bytes;
        ProfileCopy profile = engine.TakeProfile();
        profile.subtitles = subtitles;
        keys.insert(
            ListKeyFor(engine, profile, (dir.Path() / "b.txt").u16string(), u"/", "").settings);
    };
    key(0), key(1), key(2), key(0, "b.jpg", "cover"), key(0, "b.jpg", "another cover");
    for (text::BookMetadata book; const char16_t* title : {u"Herons", u"Egrets"}) {
        book.title = title;
        key(0, "b.opf", text::BookMetadataOpf(book, "").c_str());
    }
    EXPECT_EQ(keys.size(), 7u);
}

}  // namespace
}  // namespace sonoleaf::testing
