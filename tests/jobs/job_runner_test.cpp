#include "jobs/job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sonoleaf {
namespace {

constexpr auto kWait = std::chrono::seconds(10);

// A gate a job waits at until the test opens it (bounded, never hangs).
class Gate {
  public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kWait, [&] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

TEST(JobRunner, ClaimsTheFlagBeforeTheThreadRuns) {
    JobRunner runner;
    std::atomic<std::int32_t> busy{0};
    Gate gate;
    std::atomic<int> runs{0};
    auto job = [&] {
        gate.Wait();
        ++runs;
        busy = 0;
    };
    ASSERT_TRUE(runner.Launch(busy, job));
    // However quick the second click, it finds the flag taken.
    EXPECT_EQ(busy, 1);
    EXPECT_FALSE(runner.Launch(busy, job));
    gate.Open();
    runner.JoinAll();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(runner.Running(), 0);
}

TEST(JobRunner, RefusesOnlyTheBusyJob) {
    JobRunner runner;
    std::atomic<std::int32_t> first{0};
    std::atomic<std::int32_t> second{0};
    Gate gate;
    ASSERT_TRUE(runner.Launch(first, [&] {
        gate.Wait();
        first = 0;
    }));
    ASSERT_TRUE(runner.Launch(second, [&] {
        gate.Wait();
        second = 0;
    }));
    EXPECT_EQ(runner.Running(), 2);
    gate.Open();
    runner.JoinAll();
    EXPECT_EQ(runner.Running(), 0);
}

TEST(JobRunner, LaunchesAgainOnceTheJobHasClearedItsFlag) {
    JobRunner runner;
    std::atomic<std::int32_t> busy{0};
    std::atomic<int> runs{0};
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(runner.Launch(busy, [&] {
            ++runs;
            busy = 0;
        }));
        runner.JoinAll();
    }
    EXPECT_EQ(runs, 20);
}

TEST(JobRunner, JoinAllServesTheCallbackWhileJobsRun) {
    JobRunner runner;
    std::atomic<std::int32_t> busy{0};
    std::atomic<bool> served{false};
    std::atomic<bool> jobSawService{false};
    ASSERT_TRUE(runner.Launch(busy, [&] {
        // Like a job waiting for the GUI thread to answer.
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (!served && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        jobSawService = served.load();
        busy = 0;
    }));
    runner.JoinAll([&] { served = true; });
    EXPECT_TRUE(jobSawService);
    EXPECT_EQ(runner.Running(), 0);
}

TEST(JobRunner, DestructorJoinsEveryThread) {
    std::atomic<std::int32_t> busy{0};
    std::atomic<bool> finished{false};
    {
        JobRunner runner;
        ASSERT_TRUE(runner.Launch(busy, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            finished = true;
            busy = 0;
        }));
    }
    EXPECT_TRUE(finished);
}

TEST(JobRunner, AJobThatThrowsLeavesItsButtonUsable) {
    JobRunner runner;
    std::atomic<std::int32_t> busy{0};
    ASSERT_TRUE(runner.Launch(busy, [] { throw std::runtime_error("unexpected"); }));
    runner.JoinAll();
    EXPECT_EQ(busy, 0);
    EXPECT_TRUE(runner.Launch(busy, [&] { busy = 0; }));
}

TEST(JobRunner, ManyShortJobsAreReapedAsTheyEnd) {
    JobRunner runner;
    std::array<std::atomic<std::int32_t>, 8> flags{};
    std::atomic<int> runs{0};
    for (int round = 0; round < 50; ++round) {
        for (auto& flag : flags) {
            runner.Launch(flag, [&] {
                ++runs;
                flag = 0;
            });
        }
    }
    runner.JoinAll();
    EXPECT_GE(runs, 8);
    EXPECT_EQ(runner.Running(), 0);
}

}  // namespace
}  // namespace sonoleaf
