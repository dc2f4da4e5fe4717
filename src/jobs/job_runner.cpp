#include "jobs/job_runner.h"

#include <chrono>
#include <system_error>

namespace sonoleaf {
namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(5);
}

JobRunner::~JobRunner() {
    JoinAll();
}

bool JobRunner::Launch(std::atomic<std::int32_t>& busyFlag, std::function<void()> procedure,
                       std::shared_ptr<progress::JobProgress> progress) {
    ReapFinished();
    // Claimed here rather than by the job's first step, so that a second click that
    // comes before the thread runs cannot start the job twice.
    std::int32_t idle = 0;
    if (!busyFlag.compare_exchange_strong(idle, 1)) {
        if (progress) progress->End();
        return false;
    }

    std::lock_guard lock(mutex_);
    Worker& worker = workers_.emplace_back();
    try {
        worker.thread =
            std::thread([&worker, &busyFlag, procedure = std::move(procedure), progress] {
                {
                    const progress::CurrentJobScope reporting(progress.get());
                    try {
                        procedure();
                    } catch (...) {
                        // A job reports through alerts only; one that fails unexpectedly
                        // must still leave its button usable.
                        busyFlag = 0;
                    }
                }
                worker.done = true;
            });
    } catch (const std::system_error&) {
        workers_.pop_back();
        if (progress) progress->End();
        busyFlag = 0;
        return false;
    }
    return true;
}

void JobRunner::JoinAll(const std::function<void()>& whileWaiting) {
    if (!whileWaiting) {
        // Nothing to serve meanwhile: join each thread as it comes.
        for (;;) {
            std::list<Worker> taken;
            {
                std::lock_guard lock(mutex_);
                taken.splice(taken.end(), workers_);
            }
            if (taken.empty()) return;
            for (Worker& worker : taken) worker.thread.join();
        }
    }
    for (;;) {
        ReapFinished();
        {
            std::lock_guard lock(mutex_);
            if (workers_.empty()) return;
        }
        whileWaiting();
        std::this_thread::sleep_for(kPollInterval);
    }
}

int JobRunner::Running() const {
    std::lock_guard lock(mutex_);
    int running = 0;
    for (const Worker& worker : workers_) running += worker.done ? 0 : 1;
    return running;
}

void JobRunner::ReapFinished() {
    std::list<Worker> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            const auto next = std::next(it);
            if (it->done) finished.splice(finished.end(), workers_, it);
            it = next;
        }
    }
    // A finished thread only has its last clean-up left; join it outside the lock.
    for (Worker& worker : finished) worker.thread.join();
}

}  // namespace sonoleaf
