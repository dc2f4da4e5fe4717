#pragma once
// Starts each job on a worker thread of its own and joins them all at shutdown.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/text/progress.h"

namespace sonoleaf {

class JobRunner {
  public:
    JobRunner() = default;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;
    ~JobRunner();  // joins every thread

    // Claims `busyFlag` (0 -> 1) atomically and runs `procedure` on a new thread.
    // Returns false, starting nothing, when the flag was not 0. The procedure clears
    // the flag itself on every path; if the thread cannot start, the flag is 0 again.
    // `progress`, when given, is the thread's current job progress while the
    // procedure runs, and is ended when it returns (or when the job does not start).
    bool Launch(std::atomic<std::int32_t>& busyFlag, std::function<void()> procedure,
                std::shared_ptr<progress::JobProgress> progress = nullptr);

    // Joins every job thread. `whileWaiting` runs between polls (the GUI thread keeps
    // serving the jobs' requests there).
    void JoinAll(const std::function<void()>& whileWaiting = {});

    // Threads started and not yet ended.
    int Running() const;

  private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void ReapFinished();

    mutable std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace sonoleaf
