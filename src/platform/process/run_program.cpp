#include "platform/process/run_program.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <thread>

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
    const std::uint64_t generation = abandonGeneration.load();
    RunResult result;
    const std::optional<std::string> path = FindProgram(program);
    if (!path) {
        result.startError = ENOENT;
        return result;
    }

    pid_t child = 0;
    const int started = Spawn(*path, arguments, {}, child);
    if (started != 0) {
        result.startError = started;
        return result;
    }

    int status = 0;
    pid_t waited = 0;
    for (;;) {
        waited = ::waitpid(child, &status, WNOHANG);
        if (waited != 0 && !(waited < 0 && errno == EINTR)) break;
        if (abandonGeneration.load() != generation) {
            // Left to run on; once this process has ended, init reaps it.
            result.outcome = RunResult::Outcome::Abandoned;
            return result;
        }
        std::this_thread::sleep_for(kWaitPoll);
    }
    if (waited < 0) {
        // The child cannot be waited for (SIGCHLD ignored elsewhere): its end is unknown.
        result.outcome = RunResult::Outcome::Signalled;
        return result;
    }
    if (WIFEXITED(status)) {
        result.outcome = RunResult::Outcome::Exited;
        result.exitStatus = WEXITSTATUS(status);
    } else {
        result.outcome = RunResult::Outcome::Signalled;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return result;
}

void StopWaitingForPrograms() {
    ++abandonGeneration;
}

}  // namespace sonoleaf::process
