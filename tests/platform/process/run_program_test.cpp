#include "platform/process/run_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using sonoleaf::process::FindProgram;
using sonoleaf::process::RunAndWait;
using sonoleaf::process::RunResult;

namespace {

// When started with this variable set, the test program itself writes its exact
// argument vector (from /proc/self/cmdline, argv[0] included) to the named file and
// ends, so that the test can see what a child really received.
constexpr char kEchoVariable[] = "SONOLEAF_ECHO_ARGUMENTS_TO";

__attribute__((constructor)) void EchoArgumentsWhenAsked() {
    const char* target = std::getenv(kEchoVariable);
    if (target == nullptr) return;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(target, std::ios::binary) << all;
    std::_Exit(0);
}

std::vector<std::string> SplitAtNul(const std::string& all) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : all) {
        if (c == '\0') {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return parts;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteScript(const fs::path& path, const std::string& body, bool executable = true) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(
        path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

// Each test runs in a scratch directory of its own, made the current one, with a
// private directory standing in for PATH.
class RunProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sonoleaf-process-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "work");
        fs::create_directory(root_ / "bin");
        oldCwd_ = fs::current_path();
        fs::current_path(root_ / "work");
        if (const char* path = std::getenv("PATH")) oldPath_ = path;
        ::setenv("PATH", (root_ / "bin").c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        ::setenv("PATH", oldPath_.c_str(), 1);
        ::unsetenv(kEchoVariable);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path Work() const { return root_ / "work"; }
    fs::path Bin() const { return root_ / "bin"; }

    fs::path root_;
    fs::path oldCwd_;
    std::string oldPath_;
};

TEST_F(RunProgramTest, ArgumentVectorArrivesExactlyAsGiven) {
    fs::create_symlink(fs::read_symlink("/proc/self/exe"), Work() / "echo-args");
    const fs::path out = root_ / "args.bin";
    ::setenv(kEchoVariable, out.c_str(), 1);
    const std::vector<std::string> arguments = {
        "-s", "/tmp/a b/report.pdf", "\"quoted\" name", "$(touch x); *", "", "-", "tab\there",
    };
    const RunResult result = RunAndWait("echo-args", arguments);
    ASSERT_TRUE(result.ExitedWith(0)) << "start error " << result.startError;
    EXPECT_EQ(SplitAtNul(ReadAll(out)), arguments);
    EXPECT_FALSE(fs::exists(Work() / "x")) << "no shell may take part";
}

TEST_F(RunProgramTest, ExitStatusAndSignalAreTold) {
    struct Case {
        const char* body;
        RunResult::Outcome outcome;
        int status;
        int signal;
    };
    const Case cases[] = {
        {"exit 0", RunResult::Outcome::Exited, 0, 0},
        {"exit 7", RunResult::Outcome::Exited, 7, 0},
        {"exit 255", RunResult::Outcome::Exited, 255, 0},
        {"kill -KILL $$", RunResult::Outcome::Signalled, 0, SIGKILL},
        {"kill -TERM $$", RunResult::Outcome::Signalled, 0, SIGTERM},
    };
    for (const Case& c : cases) {
        WriteScript(Work() / "probe", c.body);
        const RunResult result = RunAndWait("probe", {"probe"});
        EXPECT_EQ(result.outcome, c.outcome) << c.body;
        EXPECT_EQ(result.exitStatus, c.status) << c.body;
        EXPECT_EQ(result.signal, c.signal) << c.body;
    }
}

TEST_F(RunProgramTest, CurrentDirectoryComesBeforePath) {
    WriteScript(Work() / "probe", "exit 3");
    WriteScript(Bin() / "probe", "exit 4");
    EXPECT_TRUE(RunAndWait("probe", {"probe"}).ExitedWith(3));
    EXPECT_EQ(FindProgram("probe"), "./probe");

    fs::remove(Work() / "probe");
    EXPECT_TRUE(RunAndWait("probe", {"probe"}).ExitedWith(4));
    EXPECT_EQ(FindProgram("probe"), (Bin() / "probe").string());
}

TEST_F(RunProgramTest, EntriesThatCannotRunAreSkipped) {
    WriteScript(Work() / "probe", "exit 3", /*executable=*/false);
    fs::create_directory(Bin() / "probe-dir");
    WriteScript(Bin() / "probe", "exit 4");
    EXPECT_TRUE(RunAndWait("probe", {"probe"}).ExitedWith(4));
}

TEST_F(RunProgramTest, MissingProgramIsNotStarted) {
    const RunResult result = RunAndWait("no-such-program", {"no-such-program"});
    EXPECT_EQ(result.outcome, RunResult::Outcome::NotStarted);
    EXPECT_EQ(result.startError, ENOENT);
    EXPECT_FALSE(FindProgram("no-such-program"));
    EXPECT_FALSE(FindProgram(""));
    EXPECT_EQ(RunAndWait("", {""}).outcome, RunResult::Outcome::NotStarted);
}

TEST_F(RunProgramTest, FileThatIsNoProgramIsNotStarted) {
    std::ofstream(Work() / "garbage") << "\x7f\x01 not a program\n";
    fs::permissions(Work() / "garbage", fs::perms::owner_all);
    const RunResult result = RunAndWait("garbage", {"garbage"});
    EXPECT_EQ(result.outcome, RunResult::Outcome::NotStarted);
    EXPECT_NE(result.startError, 0);
}

TEST_F(RunProgramTest, NameWithSlashIsTakenAsItIs) {
    fs::create_directory(Work() / "sub");
    WriteScript(Work() / "sub" / "probe", "exit 5");
    WriteScript(Bin() / "probe", "exit 4");
    EXPECT_TRUE(RunAndWait("sub/probe", {"probe"}).ExitedWith(5));
    EXPECT_TRUE(RunAndWait((Work() / "sub" / "probe").string(), {"probe"}).ExitedWith(5));
    EXPECT_EQ(RunAndWait("nowhere/probe", {"probe"}).outcome, RunResult::Outcome::NotStarted);
}

TEST_F(RunProgramTest, ChildSeesTheInheritedEnvironment) {
    ::setenv("SONOLEAF_PROBE_VALUE", "seen", 1);
    WriteScript(Work() / "probe", "[ \"$SONOLEAF_PROBE_VALUE\" = seen ] && exit 0; exit 1");
    EXPECT_TRUE(RunAndWait("probe", {"probe"}).ExitedWith(0));
    ::unsetenv("SONOLEAF_PROBE_VALUE");
}

}  // namespace
