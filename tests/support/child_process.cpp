#include "support/child_process.h"

#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace sonoleaf::testing {
namespace {

constexpr uid_t kNobody = 65534;

void WriteAll(int fd, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
}

}  // namespace

ChildOutcome RunInChild(const std::function<std::string()>& body, std::chrono::seconds timeout) {
    ChildOutcome outcome;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return outcome;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return outcome;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        WriteAll(pipeFds[1], body());
        ::close(pipeFds[1]);
        std::_Exit(0);
    }
    ::close(pipeFds[1]);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            outcome.timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd watch{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child closed its end
        outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    // Once its pipe is closed the child only has _exit left; a stuck one was killed.
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exited = !outcome.timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

bool DropRootRights() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
           ::geteuid() == kNobody;
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::ifstream in("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                     "/children");
    std::vector<pid_t> pids;
    for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
    return pids;
}

}  // namespace sonoleaf::testing
