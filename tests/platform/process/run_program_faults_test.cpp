// A program that takes long while this one wants to end: the wait for it can be
// given up, it finishes on its own, and later runs are waited for as before.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/process/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sonoleaf::process::RunAndWait;
using sonoleaf::process::RunResult;
using sonoleaf::process::StopWaitingForPrograms;

TEST(RunProgramFaults, GivingUpTheWaitLeavesTheProgramToFinish) {
    sonoleaf::testing::TempDir dir;
    const fs::path script = dir.Path() / "slow";
    const fs::path started = dir.Path() / "started";
    const fs::path finished = dir.Path() / "finished";
    std::ofstream(script) << "#!/bin/sh\n: > \"$1\"\nsleep 2\n: > \"$2\"\n";
    fs::permissions(script, fs::perms::owner_all);

    auto run = std::async(std::launch::async, [&] {
        return RunAndWait(script.string(), {"slow", started.string(), finished.string()});
    });
    for (int i = 0; i < 500 && !fs::exists(started); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(started));
    StopWaitingForPrograms();
    ASSERT_EQ(run.wait_for(1s), std::future_status::ready) << "still waiting for the program";
    EXPECT_EQ(run.get().outcome, RunResult::Outcome::Abandoned);
    EXPECT_FALSE(fs::exists(finished));
    for (int i = 0; i < 1000 && !fs::exists(finished); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(fs::exists(finished)) << "the program went on to its end";

    // A run that starts afterwards is waited for to its end.
    fs::remove(finished);
    const RunResult later =
        RunAndWait(script.string(), {"slow", started.string(), finished.string()});
    EXPECT_TRUE(later.ExitedWith(0));
    EXPECT_TRUE(fs::exists(finished));
}

}  // namespace
