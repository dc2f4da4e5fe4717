#pragma once
// The running jobs' progress as the window shows it: each job added when it starts,
// read as a snapshot (with a time-left estimate) at the window's pace, and dropped
// once its procedure has ended. Safe to use from any thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/progress.h"

namespace sonoleaf {

struct JobRow {
    int key = 0;          // stays the same for one job
    std::string caption;  // the job's button caption, UTF-8
    progress::Reading reading;
    std::optional<double> fraction;  // 0..1; nothing for a busy job
    std::optional<std::chrono::seconds> timeLeft;
    std::string status;  // e.g. "12 of 44 files, about 2 min left"
};

class ProgressBoard {
  public:
    using Clock = std::chrono::steady_clock;

    // Adds a job started now; returns the progress its thread is to report into.
    std::shared_ptr<progress::JobProgress> Add(std::string caption,
                                               Clock::time_point started = Clock::now());

    // The jobs still running, in the order they started; ended ones are dropped.
    std::vector<JobRow> Snapshot(Clock::time_point now = Clock::now());
    bool Empty() const;

  private:
    struct Entry {
        int key;
        std::string caption;
        Clock::time_point started;
        std::shared_ptr<progress::JobProgress> progress;
    };

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    int nextKey_ = 1;
};

// The time left from the rate since the start, once the job has done enough to tell:
// 5% of its work, or any of it after 5 s.
std::optional<std::chrono::seconds> EstimateTimeLeft(double fraction,
                                                     std::chrono::duration<double> elapsed);
// "less than a minute left", "about 2 min left", "about 1 h 20 min left".
std::string TimeLeftText(std::chrono::seconds left);
// What a row says beside its bar, e.g. "12 of 44 files, about 2 min left".
std::string StatusText(const progress::Reading& reading, std::optional<double> fraction,
                       std::optional<std::chrono::seconds> timeLeft);

}  // namespace sonoleaf
