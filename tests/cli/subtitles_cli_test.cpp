// Read-along subtitles as a reader meets them: a cue per sentence, in order, whose
// times fall on the speech (the pauses between sentences lie between cues), the same
// however many helpers made the sound, and one file for a whole audiobook.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/audio_analysis.h"
#include "support/cli_process.h"
#include "support/file_contents.h"
#include "support/media_probe.h"
#include "support/srt_reader.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Sentences that each fit a cue: the cues must be exactly these, in this order.
std::vector<std::string> Sentences(int count) {
    const char* animals[] = {"heron", "otter", "badger", "swallow", "beaver"};
    std::vector<std::string> sentences;
    for (int i = 0; i < count; ++i)
        sentences.push_back("The " + std::string(animals[i % 5]) + " number " + std::to_string(i) +
                            " rests beside the quiet river.");
    return sentences;
}

std::string Joined(const std::vector<std::string>& sentences) {
    std::string text;
    for (const std::string& sentence : sentences) text += sentence + " ";
    return text;
}

std::vector<SrtCue> Cues(const fs::path& srt) {
    std::vector<SrtCue> cues;
    std::string error;
    EXPECT_TRUE(ReadSrt(FileBytes(srt), cues, error)) << srt << ": " << error;
    return cues;
}

std::string OneLine(std::string text) {
    for (char& c : text) c = c == '\n' ? ' ' : c;
    return text;
}

double RmsBetween(const Audio& audio, std::int64_t fromMs, std::int64_t toMs) {
    const auto at = [&](std::int64_t ms) {
        return std::min(audio.samples.size(),
                        static_cast<std::size_t>(ms * audio.sampleRate / 1000));
    };
    return Rms(std::span(audio.samples).subspan(at(fromMs), at(toMs) - at(fromMs)));
}

// The cues of `audio`'s subtitles are `sentences`, each on speech, the pauses between.
void ExpectCuesOnTheSpeech(const fs::path& audioFile, const std::vector<std::string>& sentences) {
    SCOPED_TRACE(audioFile.filename());
    const std::vector<SrtCue> cues = Cues(fs::path(audioFile).replace_extension(".srt"));
    ASSERT_EQ(cues.size(), sentences.size());
    Audio audio;
    ASSERT_TRUE(ReadAudioFile(audioFile, audio));
    for (std::size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(OneLine(cues[i].text), sentences[i]);
        EXPECT_GT(RmsBetween(audio, cues[i].startMs, cues[i].endMs), 0.02) << i;
        // The pause after a sentence lies between its cue and the next.
        if (i + 1 < cues.size() && cues[i + 1].startMs - cues[i].endMs > 40) {
            EXPECT_LT(RmsBetween(audio, cues[i].endMs + 10, cues[i + 1].startMs - 10), 0.01) << i;
        }
    }
    EXPECT_LE(cues.back().endMs, static_cast<std::int64_t>(audio.Seconds() * 1000) + 1);
}

TEST(Subtitles, CuesFollowTheSentencesAndTheirSound) {
    TempDir dir;
    const std::vector<std::string> sentences = Sentences(60);  // a long render: segments
    const fs::path source = dir.Path() / "river.txt";
    std::ofstream(source) << Joined(sentences);
    std::vector<std::string> made;
    for (const std::string jobs : {"1", "2"}) {
        const fs::path out = dir.Path() / ("jobs" + jobs);
        const CliResult result = RunCli({"render", "--quiet", "--subtitles", "--format", "wav",
                                         "--jobs", jobs, source.string(), out.string()});
        ASSERT_EQ(result.status, 0) << result.err;
        made.push_back(FileBytes(out / "river.srt"));
    }
    EXPECT_EQ(made[0], made[1]);  // the same however many helpers made the sound
    ExpectCuesOnTheSpeech(dir.Path() / "jobs2" / "river.wav", sentences);

    // A list's files each get theirs.
    const fs::path titled = dir.Path() / "titled.txt";
    std::ofstream(titled) << "<title>" << Joined({sentences.begin(), sentences.begin() + 4})
                          << "</title><title>"
                          << Joined({sentences.begin() + 4, sentences.begin() + 7}) << "</title>";
    ASSERT_EQ(RunCli({"list", "--quiet", "--titles", "--subtitles", "--format", "wav",
                      titled.string(), (dir.Path() / "list").string()})
                  .status,
              0);
    ExpectCuesOnTheSpeech(dir.Path() / "list" / "titled_1.wav",
                          {sentences.begin(), sentences.begin() + 4});
    ExpectCuesOnTheSpeech(dir.Path() / "list" / "titled_2.wav",
                          {sentences.begin() + 4, sentences.begin() + 7});
}

// An audiobook gets one WebVTT file: each chapter's cues come after its start.
TEST(Subtitles, OneFileForAWholeAudiobookAndCuesUpToAStop) {
    TempDir dir;
    const fs::path source = dir.Path() / "tale.txt";
    const std::vector<std::string> sentences = Sentences(6);
    std::ofstream(source) << "<title>" << Joined({sentences.begin(), sentences.begin() + 3})
                          << "</title><title>" << Joined({sentences.begin() + 3, sentences.end()})
                          << "</title>";
    const fs::path out = dir.Path() / "out";
    ASSERT_EQ(RunCli({"list", "--quiet", "--titles", "--format", "m4b", "--subtitles=vtt",
                      source.string(), out.string()})
                  .status,
              0);
    const std::string vtt = FileBytes(out / "tale.vtt");
    ASSERT_TRUE(vtt.starts_with("WEBVTT\n\n")) << vtt;
    auto probe = Probe(out / "tale.m4b");
    const std::int64_t second = std::stoll(probe["chapters.chapter.1.start"]) * 1000 / 22050;
    const std::string fourth = "The swallow number 3";
    const std::size_t at = vtt.find(fourth);
    ASSERT_NE(at, std::string::npos) << vtt;
    const std::size_t arrow = vtt.rfind(" --> ", at);
    const std::string start = vtt.substr(arrow - 12, 12);  // "00:00:12.345"
    const std::int64_t ms = std::stoll(start.substr(0, 2)) * 3600000 +
                            std::stoll(start.substr(3, 2)) * 60000 +
                            std::stoll(start.substr(6, 2)) * 1000 + std::stoll(start.substr(9, 3));
    EXPECT_GE(ms, second);

    // Stopped, a render's subtitles end with the shorter file.
    std::ofstream(source) << Joined(Sentences(120));
    const fs::path stopped = dir.Path() / "stopped";
    {
        CliProcess render({"render", "--quiet", "--subtitles", "--format", "wav", "--jobs", "1",
                           source.string(), stopped.string()});
        while (GrowingSize(stopped / "tale.wav") < 2000000) std::this_thread::sleep_for(10ms);
        ::kill(render.Pid(), SIGTERM);
        render.Finish();
    }
    const std::vector<SrtCue> cues = Cues(stopped / "tale.srt");
    Audio audio;
    ASSERT_TRUE(ReadAudioFile(stopped / "tale.wav", audio));
    ASSERT_FALSE(cues.empty());
    EXPECT_LT(cues.size(), 120u);
    EXPECT_LE(cues.back().endMs, static_cast<std::int64_t>(audio.Seconds() * 1000) + 1);
}

}  // namespace
}  // namespace sonoleaf::testing
