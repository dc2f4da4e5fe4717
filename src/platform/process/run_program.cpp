#include "platform/process/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <utility>

#include "platform/process/spawn.h"
#include "platform/text/regular_file.h"

namespace sonoleaf::process {
namespace {

// Raised by StopWaitingForPrograms; a run waits only while it has not changed since
// the run began.
std::atomic<std::uint64_t> abandonGeneration{0};

// How often a waiting run looks whether it is still wanted.
constexpr auto kWaitPoll = std::chrono::milliseconds(10);

// The search path as execvp would use it when PATH is not set.
std::string SearchPath() {
    if (const char* path = std::getenv("PATH")) return path;
    return "/usr/local/bin:/usr/bin:/bin";
}

void FillFromStatus(RunResult& result, int status) {
    if (WIFEXITED(status)) {
        result.outcome = RunResult::Outcome::Exited;
        result.exitStatus = WEXITSTATUS(status);
    } else {
        result.outcome = RunResult::Outcome::Signalled;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
}

// Reaps `child`, killing it once `deadline` has passed or nobody waits any longer. False
// when its end cannot be observed.
bool ReapBefore(pid_t child, std::chrono::steady_clock::time_point deadline,
                std::uint64_t generation, int& status) {
    for (;;) {
        const pid_t waited = ::waitpid(child, &status, WNOHANG);
        if (waited == child) return true;
        if (waited < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline ||
            abandonGeneration.load() != generation) {
            ::kill(child, SIGKILL);
            deadline = std::chrono::steady_clock::time_point::max();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

std::optional<std::string> FindProgram(std::string_view program) {
    if (program.empty()) return std::nullopt;
    const std::string name(program);
    if (name.find('/') != std::string::npos) {
        if (text::IsExecutableFile(name)) return name;
        return std::nullopt;
    }
    if (text::IsExecutableFile("./" + name)) return "./" + name;
    const std::string path = SearchPath();
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find(':', begin);
        if (end == std::string::npos) end = path.size();
        const std::string_view dir = std::string_view(path).substr(begin, end - begin);
        // An empty entry names the current directory.
        std::string candidate = dir.empty() ? "." : std::string(dir);
        candidate += '/';
        candidate += name;
        if (text::IsExecutableFile(candidate)) return candidate;
        begin = end + 1;
    }
    return std::nullopt;
}

RunResult RunAndWait(std::string_view program, const std::vector<std::string>& arguments) {
    return RunAndWait(program, arguments, std::chrono::milliseconds::max()).run;
}

TimedRun RunAndWait(std::string_view program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeLimit) {
    using Clock = std::chrono::steady_clock;
    const std::uint64_t generation = abandonGeneration.load();
    // (No limit is the latest time there is, rather than an overflow.)
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        timeLimit >= std::chrono::duration_cast<std::chrono::milliseconds>(
                         Clock::time_point::max() - start)
            ? Clock::time_point::max()
            : start + timeLimit;
    TimedRun timed;
    RunResult& result = timed.run;
    const std::optional<std::string> path = FindProgram(program);
    if (!path) {
        result.startError = ENOENT;
        return timed;
    }

    pid_t child = 0;
    const int started = Spawn(*path, arguments, {}, child);
    if (started != 0) {
        result.startError = started;
        return timed;
    }

    int status = 0;
    pid_t waited = 0;
    for (;;) {
        waited = ::waitpid(child, &status, WNOHANG);
        if (waited != 0 && !(waited < 0 && errno == EINTR)) break;
        if (abandonGeneration.load() != generation) {
            // Left to run on; once this process has ended, init reaps it.
            result.outcome = RunResult::Outcome::Abandoned;
            return timed;
        }
        if (Clock::now() >= deadline) {
            // Reaped here, so that nothing it writes comes after the caller's cleanup.
            timed.timedOut = true;
            ::kill(child, SIGKILL);
            if (!ReapBefore(child, Clock::time_point::max(), generation, status)) {
                result.outcome = RunResult::Outcome::Signalled;
                return timed;
            }
            FillFromStatus(result, status);
            return timed;
        }
        std::this_thread::sleep_for(kWaitPoll);
    }
    if (waited < 0) {
        // The child cannot be waited for (SIGCHLD ignored elsewhere): its end is unknown.
        result.outcome = RunResult::Outcome::Signalled;
        return timed;
    }
    FillFromStatus(result, status);
    return timed;
}

CapturedRun RunAndCapture(std::string_view program, const std::vector<std::string>& arguments,
                          std::size_t maxOutputBytes, std::chrono::milliseconds timeLimit) {
    using Clock = std::chrono::steady_clock;
    const std::uint64_t generation = abandonGeneration.load();
    const Clock::time_point deadline = Clock::now() + timeLimit;
    CapturedRun captured;
    const std::optional<std::string> path = FindProgram(program);
    if (!path) {
        captured.run.startError = ENOENT;
        return captured;
    }
    // Close-on-exec, so that children other threads start meanwhile hold no end of it.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        captured.run.startError = errno;
        return captured;
    }
    text::UniqueDescriptor readEnd(ends[0]);
    text::UniqueDescriptor writeEnd(ends[1]);
    const text::UniqueDescriptor nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    SpawnOptions options;
    options.standardInput = nothing.Get();
    options.standardOutput = writeEnd.Get();
    pid_t child = 0;
    const int started = Spawn(*path, arguments, options, child);
    writeEnd = text::UniqueDescriptor();  // the end of output is then the child's own
    if (started != 0) {
        captured.run.startError = started;
        return captured;
    }

    char buffer[1 << 16];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const bool abandoned = abandonGeneration.load() != generation;
        if (left.count() <= 0 || abandoned) {
            captured.timedOut = !abandoned;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd ready{readEnd.Get(), POLLIN, 0};
        const int polled =
            ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
        if (polled <= 0) continue;  // time passed, or a signal: look again
        const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) break;  // end of output
        const auto size = static_cast<std::size_t>(got);
        if (captured.output.size() + size > maxOutputBytes) {
            captured.output.append(buffer, maxOutputBytes - captured.output.size());
            captured.outputTooLarge = true;
            ::kill(child, SIGKILL);
            break;
        }
        captured.output.append(buffer, size);
    }
    readEnd = text::UniqueDescriptor();
    int status = 0;
    if (!ReapBefore(child, deadline, generation, status)) {
        captured.run.outcome = RunResult::Outcome::Signalled;
        return captured;
    }
    FillFromStatus(captured.run, status);
    if (abandonGeneration.load() != generation)
        captured.run.outcome = RunResult::Outcome::Abandoned;
    if (captured.run.signal == SIGKILL && !captured.outputTooLarge && Clock::now() >= deadline)
        captured.timedOut = true;
    return captured;
}

void StopWaitingForPrograms() {
    ++abandonGeneration;
}

}  // namespace sonoleaf::process
