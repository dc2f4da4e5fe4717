// One audiobook from a list, and lists that resume, as a batch script meets them:
// through sonoleaf-cli, judged by ffprobe and the files left in the folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "support/cli_process.h"
#include "support/file_contents.h"
#include "support/media_probe.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Sentences that differ, so that each file of a list is a sound of its own.
std::string Text(int sentences, const std::string& word) {
    std::string text;
    for (int i = 0; i < sentences; ++i)
        text += "Sentence " + std::to_string(i) + " tells of the " + word + " by the river. ";
    return text;
}

// The whole files (or chapters) of a list in its folder: not its parts in the making.
std::vector<std::string> Made(const fs::path& folder, const std::string& ending) {
    std::vector<std::string> made;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(ending) && name.find(".part-") == std::string::npos)
            made.push_back(name);
    }
    return made;
}

// The files (or chapters) an interrupted list's journal names as finished.
std::vector<std::string> Journaled(const fs::path& folder, const std::string& stem,
                                   const std::string& ending) {
    std::vector<std::string> done;
    std::ifstream journal(folder / ("." + stem + ".sonoleaf-list"));
    for (std::string line; std::getline(journal, line);) {
        if (!line.starts_with("done ")) continue;
        const std::string number = line.substr(5, line.find(' ', 5) - 5);  // "done <n> ..."
        done.push_back(ending == ".chapter" ? "." + stem + "_" + number + ending
                                            : stem + "_" + number + ending);
    }
    return done;
}

// Every entry of a folder, hidden ones too: what a list leaves behind.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A title list in M4B is one file whose chapters are its passages, titled by their
// first lines, each starting where the one before ends, tagged as an audiobook.
TEST(AudiobookList, TitlesBecomeChaptersOfOneTaggedBook) {
    TempDir dir;
    const fs::path source = dir.Path() / "tale.txt";
    std::ofstream(source) << "Not spoken.<title>The Start\n"
                          << Text(2, "cat") << "</title><title>The Middle\n"
                          << Text(3, "dog") << "</title><title>The End\n"
                          << Text(1, "owl") << "</title>";
    const fs::path out = dir.Path() / "out";
    const CliResult result =
        RunCli({"list", "--titles", "--format", "m4b", source.string(), out.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Names(out), std::vector<std::string>{"tale.m4b"});
    auto probe = Probe(out / "tale.m4b");
    EXPECT_EQ(probe["format.tags.major_brand"], "M4B ");
    EXPECT_EQ(probe["format.tags.media_type"], "2");
    EXPECT_EQ(probe["format.tags.title"], "tale");
    EXPECT_EQ(probe["format.tags.genre"], "Audiobook");
    EXPECT_EQ(probe["format.tags.comment"], "Read by Flite rms (US English) Male");
    EXPECT_EQ(probe["streams.stream.0.codec_name"], "aac");
    EXPECT_EQ(probe["streams.stream.0.sample_rate"], "22050");
    const char* titles[] = {"The Start", "The Middle", "The End"};
    std::int64_t end = 0;
    for (int k = 0; k < 3; ++k) {
        const std::string chapter = "chapters.chapter." + std::to_string(k) + ".";
        EXPECT_EQ(probe[chapter + "tags.title"], titles[k]);
        EXPECT_EQ(std::stoll(probe[chapter + "start"]), end);
        const std::int64_t start = end;
        end = std::stoll(probe[chapter + "end"]);
        // The passage's speech, then about a second of silence before the next.
        EXPECT_GT(end - start, 22050 * 2) << titles[k];
    }
    EXPECT_EQ(std::to_string(end), probe["streams.stream.0.duration_ts"]);

    // Rendered whole, the text is one book too: its passages start chapters, and what
    // comes before the first is a chapter titled as the book.
    ASSERT_EQ(RunCli({"render", "--format", "m4b", source.string(), out.string()}).status, 0);
    probe = Probe(out / "tale.m4b");
    const char* rendered[] = {"tale", "The Start", "The Middle", "The End"};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(probe["chapters.chapter." + std::to_string(k) + ".tags.title"], rendered[k]);
}

// A list killed in the middle (an MP3 list by SIGKILL, an audiobook stopped by
// SIGTERM, which leaves a shorter book) and started again with --resume makes only the
// files it is missing, and its result is the uninterrupted run's, byte for byte; a list
// whose source changed meanwhile is made anew.
TEST(AudiobookList, KilledListResumesToTheSameFiles) {
    TempDir dir;
    const fs::path source = dir.Path() / "long.txt";
    std::ofstream(source) << Text(40, "heron");
    for (const std::string format : {"mp3", "m4b"}) {
        SCOPED_TRACE(format);
        const fs::path whole = dir.Path() / ("whole-" + format);
        const fs::path resumed = dir.Path() / ("resumed-" + format);
        const std::vector<std::string> list = {"list",     "--quiet", "--jobs",   "2",
                                               "--length", "250",     "--format", format};
        auto with = [&](const fs::path& folder, std::vector<std::string> extra = {}) {
            std::vector<std::string> arguments = list;
            arguments.insert(arguments.end(), extra.begin(), extra.end());
            arguments.push_back(source.string());
            arguments.push_back(folder.string());
            return arguments;
        };
        ASSERT_EQ(RunCli(with(whole)).status, 0);
        const std::string made = format == "mp3" ? ".mp3" : ".chapter";
        {
            CliProcess killed(with(resumed));
            const auto deadline = std::chrono::steady_clock::now() + 120s;
            while (Journaled(resumed, "long", made).size() < 3 &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(5ms);
            ::kill(killed.Pid(), format == "mp3" ? SIGKILL : SIGTERM);
            const CliResult stopped = killed.Finish();
            if (format == "m4b") {  // stopped: the book holds the chapters finished
                EXPECT_EQ(stopped.status, 128 + SIGTERM);
                const auto chapters = Probe(resumed / "long.m4b");
                EXPECT_TRUE(chapters.contains("chapters.chapter.2.start"));
                EXPECT_FALSE(chapters.contains("chapters.chapter.7.start"));
            }
        }
        // A file made but not yet in the journal when the list was killed is made again.
        std::map<std::string, fs::file_time_type> before;
        for (const std::string& name : Journaled(resumed, "long", made))
            before[name] = fs::last_write_time(resumed / name);
        const CliResult result = RunCli(with(resumed, {"--resume"}));
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Names(resumed), Names(whole));  // no journal, chapter or part is left
        EXPECT_EQ(FilesIn(resumed), FilesIn(whole));
        if (format == "mp3") {
            for (const auto& [name, time] : before)  // made once, not again
                EXPECT_EQ(fs::last_write_time(resumed / name), time) << name;
        }
    }

    // The journal of a run whose source has changed since is no journal of this one.
    const fs::path changed = dir.Path() / "changed";
    {
        CliProcess killed(
            {"list", "--quiet", "--length", "250", source.string(), changed.string()});
        while (!fs::exists(changed) || Made(changed, ".mp3").empty())
            std::this_thread::sleep_for(5ms);
        ::kill(killed.Pid(), SIGKILL);
        killed.Finish();
    }
    std::ofstream(source, std::ios::app) << "One more sentence.";
    const std::string made = Made(changed, ".mp3").front();
    const auto first = fs::last_write_time(changed / made);
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(RunCli({"list", "--quiet", "--resume", "--length", "250", source.string(),
                      changed.string()})
                  .status,
              0);
    EXPECT_NE(fs::last_write_time(changed / made), first);
}

}  // namespace
}  // namespace sonoleaf::testing
