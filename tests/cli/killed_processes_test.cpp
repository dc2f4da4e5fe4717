// Processes killed as the memory killer kills them, at moments a seeded generator
// picks (the same every run): the render helper, a file's process, the command line
// itself. A list resumed until whole ends with an uninterrupted run's files, byte for
// byte; no run ever reports success with a file other than that run's; and no kill of
// a helper ends the command line by SIGPIPE.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/cli_process.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string TitledText() {
    std::string text;
    for (const char* word : {"heron", "otter", "willow"}) {
        text += std::string("<title>The ") + word + "\n\n";
        for (int i = 0; i < 20; ++i)
            text += "Sentence " + std::to_string(i) + " tells of the " + word + " by the river. ";
        text += "\n</title>\n";
    }
    return text;
}

// The program's first child of that name: its render helper.
pid_t HelperOf(pid_t cli) {
    for (const pid_t child : ChildrenOf(cli)) {
        std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.starts_with("sonoleaf-render")) return child;
    }
    return 0;
}

TEST(KilledProcesses, ListResumedUntilWholeIsTheUninterruptedRun) {
    TempDir dir;
    const fs::path source = dir.Path() / "river.txt";
    std::ofstream(source) << TitledText();
    for (const std::string format : {"mp3", "m4b"}) {
        SCOPED_TRACE(format);
        const auto list = [&](const fs::path& folder, bool resume) {
            std::vector<std::string> arguments = {"list", "--quiet",  "--titles", "--jobs",
                                                  "2",    "--format", format,     "--subtitles"};
            if (resume) arguments.push_back("--resume");
            arguments.push_back(source.string());
            arguments.push_back(folder.string());
            return arguments;
        };
        const fs::path whole = dir.Path() / ("whole-" + format);
        const auto started = Clock::now();
        ASSERT_EQ(RunCli(list(whole, false)).status, 0);
        const auto length =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        const auto reference = FilesIn(whole);

        std::mt19937 random(format == "mp3" ? 1208 : 2026);
        for (int round = 0; round < 2; ++round) {
            const fs::path killed = dir.Path() / ("killed-" + format + std::to_string(round));
            bool whole = false;
            for (int run = 0; run < 8 && !whole; ++run) {
                CliProcess cli(list(killed, run > 0));
                std::this_thread::sleep_for(
                    std::uniform_int_distribution<long>(50, length.count())(random) * 1ms);
                const int target = std::uniform_int_distribution<int>(0, 2)(random);
                const pid_t helper = HelperOf(cli.Pid());
                const std::vector<pid_t> files =
                    helper != 0 ? ChildrenOf(helper) : std::vector<pid_t>{};
                const pid_t victim = target == 0   ? helper
                                     : target == 1 ? (files.empty() ? 0 : files.front())
                                                   : cli.Pid();
                SCOPED_TRACE("round " + std::to_string(round) + ", run " + std::to_string(run) +
                             ", killed the " +
                             (target == 0   ? "helper"
                              : target == 1 ? "file's process"
                                            : "program"));
                if (victim != 0) ::kill(victim, SIGKILL);
                const CliResult result = cli.Finish();
                EXPECT_NE(result.signal, SIGPIPE) << result.err;
                // Success is only ever told over the whole files.
                if (result.status == 0) {
                    EXPECT_EQ(FilesIn(killed), reference);
                    whole = true;
                }
            }
            if (!whole) {
                const CliResult last = RunCli(list(killed, true));
                ASSERT_EQ(last.status, 0) << last.err;
            }
            EXPECT_EQ(FilesIn(killed), reference);
        }
    }
}

}  // namespace
}  // namespace sonoleaf::testing
