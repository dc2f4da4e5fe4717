#include "cli/stop_signals.h"

#include <chrono>
#include <csignal>

namespace sonoleaf::cli {
namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
}

constexpr std::chrono::milliseconds kWatchEvery{20};

}  // namespace

StopSignals::StopSignals(std::function<void()> stop) : stop_(std::move(stop)) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    watcher_.join();
}

int StopSignals::Received() const {
    return g_signal.load();
}

void StopSignals::Watch() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kWatchEvery, [this] { return ending_; })) {
        // Again and again while the job runs: a list that raised its running flag
        // after an earlier stop is stopped as well.
        if (g_signal.load() != 0) {
            lock.unlock();
            stop_();
            lock.lock();
        }
    }
}

void IgnoreInterruptForChildren() {
    // An ignored signal stays ignored across exec; a handled one would not.
    std::signal(SIGINT, SIG_IGN);
}

}  // namespace sonoleaf::cli
