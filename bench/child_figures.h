#pragma once
// Runs a piece of work in a child process of its own, so that its peak resident size
// is its own and not the benchmark's; and the processor time of a benchmark with its
// children.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace sonoleaf::bench {

// Processor seconds used so far by this process and every process it has waited for
// (a helper, once ended, brings its files' processes with it).
inline double CpuSeconds() {
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        seconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

struct ChildFigures {
    double seconds = 0;
    double peakMB = 0;
    bool ok = false;
};

// The child's time comes back through a pipe, its peak resident size from the
// kernel's accounting of that child alone.
inline ChildFigures InChild(const std::function<void()>& work) {
    using Clock = std::chrono::steady_clock;
    ChildFigures figures;
    int channel[2];
    if (::pipe(channel) != 0) return figures;
    const pid_t child = ::fork();
    if (child < 0) return figures;
    if (child == 0) {
        ::close(channel[0]);
        const auto start = Clock::now();
        work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const ssize_t written = ::write(channel[1], &seconds, sizeof seconds);
        ::_exit(written == sizeof seconds ? 0 : 1);
    }
    ::close(channel[1]);
    double seconds = 0;
    const bool got = ::read(channel[0], &seconds, sizeof seconds) == sizeof seconds;
    ::close(channel[0]);
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child) return figures;
    figures.seconds = seconds;
    figures.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB
    figures.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

}  // namespace sonoleaf::bench
