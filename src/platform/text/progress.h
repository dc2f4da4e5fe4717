#pragma once
// How far the running job has come, reported from wherever the work is done (a list's
// loop, a voice writing its audio) without knowing about jobs or windows. The job
// runner installs a job's JobProgress on the job's thread; the free functions report
// into it and do nothing on a thread without one. Reporting costs a few relaxed
// atomic stores, so that it may sit in any loop; the window reads at its own pace.

#include <atomic>
#include <cstdint>
#include <optional>

namespace sonoleaf::progress {

// What a job counts. A list counts files and, within the file being rendered, the
// text spoken; a render counts the text spoken; a job that cannot tell is busy.
enum class Unit : std::uint8_t { None, Busy, TextBytes, Files };

// One moment of a job's progress, as read by any thread.
struct Reading {
    Unit unit = Unit::None;  // the job's own unit: the broadest one reported
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t textDone = 0;  // of the text being spoken now
    std::uint64_t textTotal = 0;
    bool ended = false;

    // 0..1, or nothing while the job cannot tell (busy, nothing reported yet).
    std::optional<double> Fraction() const;
};

// Written by the job's thread, read by any.
class JobProgress {
  public:
    // A new total of `unit` starts it from 0. Files done start the next file's text.
    void SetTotal(std::uint64_t total, Unit unit);
    void SetDone(std::uint64_t done, Unit unit);
    void Advance(std::uint64_t count, Unit unit);
    Unit OwnUnit() const { return unit_.load(std::memory_order_relaxed); }

    // The job's procedure has returned.
    void End() { ended_.store(true, std::memory_order_release); }

    Reading Read() const;

  private:
    void Widen(Unit unit);

    std::atomic<Unit> unit_{Unit::None};
    std::atomic<std::uint64_t> filesDone_{0};
    std::atomic<std::uint64_t> filesTotal_{0};
    std::atomic<std::uint64_t> textDone_{0};
    std::atomic<std::uint64_t> textTotal_{0};
    std::atomic<bool> ended_{false};
};

// Makes `job` the calling thread's current job progress while it lives, and ends the
// job when it goes. A null `job` leaves the thread without one.
class CurrentJobScope {
  public:
    explicit CurrentJobScope(JobProgress* job);
    ~CurrentJobScope();
    CurrentJobScope(const CurrentJobScope&) = delete;
    CurrentJobScope& operator=(const CurrentJobScope&) = delete;

  private:
    JobProgress* job_;
    JobProgress* previous_;
};

// The calling thread's current job progress, or null.
JobProgress* Current();

// Reports to the calling thread's current job; no-ops without one.
void SetTotal(std::uint64_t total, Unit unit);
void SetDone(std::uint64_t done, Unit unit);
// In the job's own unit (the broadest reported so far).
void SetDone(std::uint64_t done);
void Advance(std::uint64_t count = 1);

}  // namespace sonoleaf::progress
