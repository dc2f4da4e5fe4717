#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>

#include "platform/process/run_program.h"

namespace sonoleaf::process {
namespace {

using namespace std::chrono_literals;

TEST(RunAndCaptureTest, OutputIsBoundedInSizeAndTime) {
    struct Case {
        const char* script;
        std::size_t maxBytes;
        std::string output;
        bool tooLarge;
        bool timedOut;
        int exitStatus;  // -1: killed
    };
    // Only the runs that must be cut off get a short limit: a loaded machine may take
    // seconds to start a shell.
    const Case cases[] = {
        {"printf 'one\\ntwo'; exit 3", 100, "one\ntwo", false, false, 3},
        {"read line; echo \"[$line]\"", 100, "[]\n", false, false, 0},  // input is empty
        {"yes", 10, "y\ny\ny\ny\ny\n", true, false, -1},
        {"sleep 10", 100, "", false, true, -1},
        {"echo early; exec >&-; sleep 10", 100, "early\n", false, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const CapturedRun run = RunAndCapture("/bin/sh", {"sh", "-c", c.script}, c.maxBytes,
                                              c.timedOut ? 500ms : 60000ms);
        EXPECT_EQ(run.output, c.output);
        EXPECT_EQ(run.outputTooLarge, c.tooLarge);
        EXPECT_EQ(run.timedOut, c.timedOut);
        if (c.exitStatus >= 0) {
            EXPECT_TRUE(run.run.ExitedWith(c.exitStatus));
        } else {
            EXPECT_EQ(run.run.outcome, RunResult::Outcome::Signalled);
            EXPECT_EQ(run.run.signal, SIGKILL);
        }
    }
    const CapturedRun missing = RunAndCapture("/no/such/program", {"x"}, 100, 500ms);
    EXPECT_EQ(missing.run.outcome, RunResult::Outcome::NotStarted);
    EXPECT_EQ(missing.run.startError, ENOENT);
}

}  // namespace
}  // namespace sonoleaf::process
