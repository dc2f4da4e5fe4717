// A list through sonoleaf-cli while another run of it holds the folder, and a list
// killed, its finished files then cut short or changed, and resumed.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lists/list_plan.h"
#include "support/cli_process.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;

// A second run was refused nothing: it cleared the first's files in the making. A
// resume skipped every file its journal named, even one cut short or changed since.
TEST(ListRuns, ASecondRunIsRefusedAndAResumeRemakesChangedFiles) {
    TempDir dir;
    const fs::path source = dir.Path() / "long.txt", out = dir.Path() / "out";
    for (int i = 0; i < 200; ++i) std::ofstream(source, std::ios::app) << "The heron " << i << ". ";
    std::vector<std::string> list = {"list",   "--quiet", "--length",      "250",
                                     "--jobs", "2",       source.string(), out.string()};
    fs::create_directory(out);
    {
        const ListRunLock other(out.string(), "long");
        const CliResult refused = RunCli(list);
        EXPECT_TRUE(refused.status == 1 && refused.err == kListUnderWayMessage + std::string("\n"))
            << refused.err;
    }
    std::vector<fs::path> done;  // the files the killed run's journal names as finished
    for (CliProcess killed(list); done.size() < 3; done.clear()) {
        std::ifstream journal(out / ".long.sonoleaf-list");
        for (std::string line; std::getline(journal, line);)
            if (line.starts_with("done "))
                done.push_back(out / ("long_" + line.substr(5, line.find(' ', 5) - 5) + ".mp3"));
        if (done.size() >= 3 && ::kill(killed.Pid(), SIGKILL) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string first = FileBytes(done[0]), second = FileBytes(done[1]);
    fs::resize_file(done[0], first.size() / 2);
    std::ofstream(done[1], std::ios::binary)
        << second.substr(0, 99) << static_cast<char>(second[99] ^ 1) << second.substr(100);
    list.insert(list.begin() + 1, "--resume");
    const CliResult resumed = RunCli(list);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_TRUE(FileBytes(done[0]) == first && FileBytes(done[1]) == second);
}

}  // namespace
}  // namespace sonoleaf::testing
