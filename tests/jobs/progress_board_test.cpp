#include "jobs/progress_board.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "jobs/job_runner.h"

namespace sonoleaf {
namespace {

using namespace std::chrono_literals;
using progress::Unit;

struct EstimateCase {
    double fraction;
    double elapsedSeconds;
    std::optional<long long> leftSeconds;
};

class TimeLeftEstimate : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(TimeLeftEstimate, FromTheRateSinceTheStart) {
    const EstimateCase& c = GetParam();
    const auto left = EstimateTimeLeft(c.fraction, std::chrono::duration<double>(c.elapsedSeconds));
    ASSERT_EQ(left.has_value(), c.leftSeconds.has_value());
    if (left) {
        EXPECT_EQ(left->count(), *c.leftSeconds);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeLeftEstimate,
    ::testing::Values(EstimateCase{0.5, 60.0, 60},            // half in a minute: a minute more
                      EstimateCase{0.25, 30.0, 90},           // a quarter in 30 s
                      EstimateCase{0.05, 1.0, 19},            // 5% is enough to tell
                      EstimateCase{0.04, 4.0, std::nullopt},  // too little, too early
                      EstimateCase{0.01, 5.0, 495},           // after 5 s any progress tells
                      EstimateCase{0.0, 100.0, std::nullopt},
                      EstimateCase{1.0, 10.0, std::nullopt},  // done: nothing left to tell
                      EstimateCase{0.5, 0.0, std::nullopt}));

struct TextCase {
    long long seconds;
    const char* text;
};

class TimeLeftWords : public ::testing::TestWithParam<TextCase> {};

TEST_P(TimeLeftWords, Rounded) {
    EXPECT_EQ(TimeLeftText(std::chrono::seconds(GetParam().seconds)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeLeftWords,
                         ::testing::Values(TextCase{0, "less than a minute left"},
                                           TextCase{59, "less than a minute left"},
                                           TextCase{60, "about 1 min left"},
                                           TextCase{89, "about 1 min left"},
                                           TextCase{90, "about 2 min left"},
                                           TextCase{44 * 60 + 20, "about 44 min left"},
                                           TextCase{59 * 60 + 40, "about 1 h left"},
                                           TextCase{80 * 60, "about 1 h 20 min left"},
                                           TextCase{2 * 3600 + 4 * 60, "about 2 h left"},
                                           TextCase{26 * 3600, "about 26 h left"}));

struct StatusCase {
    const char* name;
    progress::Reading reading;
    std::optional<long long> leftSeconds;
    const char* status;
};

class RowStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(RowStatus, SaysWhatIsDone) {
    const StatusCase& c = GetParam();
    std::optional<std::chrono::seconds> left;
    if (c.leftSeconds) left = std::chrono::seconds(*c.leftSeconds);
    EXPECT_EQ(StatusText(c.reading, c.reading.Fraction(), left), c.status);
}

progress::Reading Files(std::uint64_t done, std::uint64_t total) {
    progress::Reading r;
    r.unit = Unit::Files;
    r.filesDone = done;
    r.filesTotal = total;
    return r;
}

progress::Reading Text(std::uint64_t done, std::uint64_t total) {
    progress::Reading r;
    r.unit = Unit::TextBytes;
    r.textDone = done;
    r.textTotal = total;
    return r;
}

progress::Reading Busy() {
    progress::Reading r;
    r.unit = Unit::Busy;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowStatus,
    ::testing::Values(StatusCase{"files_with_time", Files(12, 44), 120,
                                 "12 of 44 files, about 2 min left"},
                      StatusCase{"files_too_early", Files(0, 44), std::nullopt, "0 of 44 files"},
                      StatusCase{"one_file", Files(0, 1), std::nullopt, "0 of 1 file"},
                      StatusCase{"text", Text(333, 1000), std::nullopt, "33% of the text spoken"},
                      StatusCase{"text_with_time", Text(500, 1000), 30,
                                 "50% of the text spoken, less than a minute left"},
                      StatusCase{"busy_says_nothing", Busy(), std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressBoard, RowsInStartOrderUntilTheirJobsEnd) {
    ProgressBoard board;
    const auto start = ProgressBoard::Clock::now();
    const auto list = board.Add("Convert Text file to Audio List", start);
    const auto pdf = board.Add("Convert PDF to Text", start);
    list->SetTotal(4, Unit::Files);
    list->SetDone(1, Unit::Files);
    pdf->SetTotal(0, Unit::Busy);

    std::vector<JobRow> rows = board.Snapshot(start + 10s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].caption, "Convert Text file to Audio List");
    ASSERT_TRUE(rows[0].fraction.has_value());
    EXPECT_DOUBLE_EQ(*rows[0].fraction, 0.25);
    ASSERT_TRUE(rows[0].timeLeft.has_value());
    EXPECT_EQ(rows[0].timeLeft->count(), 30);
    EXPECT_EQ(rows[0].status, "1 of 4 files, less than a minute left");
    EXPECT_EQ(rows[1].caption, "Convert PDF to Text");
    EXPECT_FALSE(rows[1].fraction.has_value());
    EXPECT_NE(rows[0].key, rows[1].key);

    list->End();
    rows = board.Snapshot(start + 11s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].caption, "Convert PDF to Text");
    EXPECT_FALSE(board.Empty());
    pdf->End();
    EXPECT_TRUE(board.Snapshot().empty());
    EXPECT_TRUE(board.Empty());
}

// The runner makes the job's progress current on the job's thread and ends it when
// the procedure returns; a launch refused for a busy flag ends it at once.
TEST(ProgressBoard, RunnerInstallsAndEndsTheJobsProgress) {
    ProgressBoard board;
    std::atomic<std::int32_t> busy{0};
    std::atomic<progress::JobProgress*> seen{nullptr};
    const auto job = board.Add("Make Audio");
    {
        JobRunner runner;
        ASSERT_TRUE(runner.Launch(
            busy,
            [&] {
                seen = progress::Current();
                progress::SetTotal(10, Unit::TextBytes);
                progress::SetDone(10, Unit::TextBytes);
                busy = 0;
            },
            job));
        runner.JoinAll();
    }
    EXPECT_EQ(seen.load(), job.get());
    EXPECT_TRUE(job->Read().ended);
    EXPECT_DOUBLE_EQ(*job->Read().Fraction(), 1.0);

    busy = 1;  // the job is already running
    const auto refused = board.Add("Make Audio");
    JobRunner runner;
    EXPECT_FALSE(runner.Launch(
        busy, [] {}, refused));
    EXPECT_TRUE(refused->Read().ended);
    EXPECT_TRUE(board.Snapshot().empty());
}

}  // namespace
}  // namespace sonoleaf
