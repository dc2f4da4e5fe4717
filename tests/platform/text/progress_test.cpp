#include "platform/text/progress.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

namespace sonoleaf::progress {
namespace {

struct Report {
    enum Kind { Total, Done, DoneOwn, AdvanceOwn } kind;
    std::uint64_t value;
    Unit unit = Unit::None;
};

struct FractionCase {
    const char* name;
    std::vector<Report> reports;
    Unit unit;
    std::optional<double> fraction;
};

class ProgressFraction : public ::testing::TestWithParam<FractionCase> {};

TEST_P(ProgressFraction, FollowsTheReports) {
    JobProgress job;
    {
        const CurrentJobScope scope(&job);
        for (const Report& r : GetParam().reports) {
            switch (r.kind) {
                case Report::Total:
                    SetTotal(r.value, r.unit);
                    break;
                case Report::Done:
                    SetDone(r.value, r.unit);
                    break;
                case Report::DoneOwn:
                    SetDone(r.value);
                    break;
                case Report::AdvanceOwn:
                    Advance(r.value);
                    break;
            }
        }
        const Reading reading = job.Read();
        EXPECT_FALSE(reading.ended);
        EXPECT_EQ(reading.unit, GetParam().unit);
        const std::optional<double> fraction = reading.Fraction();
        ASSERT_EQ(fraction.has_value(), GetParam().fraction.has_value());
        if (fraction) {
            EXPECT_DOUBLE_EQ(*fraction, *GetParam().fraction);
        }
    }
    EXPECT_TRUE(job.Read().ended);
}

constexpr auto F = Unit::Files;
constexpr auto T = Unit::TextBytes;
constexpr auto B = Unit::Busy;
using R = Report;

INSTANTIATE_TEST_SUITE_P(
    Reports, ProgressFraction,
    ::testing::Values(
        FractionCase{"nothing_reported", {}, Unit::None, std::nullopt},
        FractionCase{"busy", {{R::Total, 0, B}}, B, std::nullopt},
        FractionCase{"text_half_spoken", {{R::Total, 200, T}, {R::Done, 100, T}}, T, 0.5},
        FractionCase{"text_of_nothing_tells_nothing", {{R::Total, 0, T}}, T, std::nullopt},
        FractionCase{"text_past_its_total", {{R::Total, 10, T}, {R::Done, 15, T}}, T, 1.0},
        FractionCase{"new_text_starts_from_zero",
                     {{R::Total, 10, T}, {R::Done, 10, T}, {R::Total, 40, T}, {R::Done, 10, T}},
                     T,
                     0.25},
        FractionCase{"files_done", {{R::Total, 4, F}, {R::DoneOwn, 1, {}}}, F, 0.25},
        FractionCase{"file_in_progress_counts_its_text",
                     {{R::Total, 4, F}, {R::DoneOwn, 1, {}}, {R::Total, 100, T}, {R::Done, 50, T}},
                     F,
                     0.375},
        FractionCase{"finished_file_text_does_not_count_twice",
                     {{R::Total, 4, F}, {R::Total, 100, T}, {R::Done, 100, T}, {R::DoneOwn, 1, {}}},
                     F,
                     0.25},
        FractionCase{"text_before_the_file_total_is_the_list_s_part",
                     {{R::Total, 100, T}, {R::Done, 50, T}, {R::Total, 2, F}},
                     F,
                     0.0},
        FractionCase{"advance_in_the_job_s_unit",
                     {{R::Total, 8, F}, {R::AdvanceOwn, 1, {}}, {R::AdvanceOwn, 3, {}}},
                     F,
                     0.5},
        FractionCase{"all_files_done_ignores_stray_text",
                     {{R::Total, 2, F}, {R::DoneOwn, 2, {}}, {R::Total, 10, T}, {R::Done, 5, T}},
                     F,
                     1.0},
        FractionCase{"busy_does_not_narrow_the_unit",
                     {{R::Total, 10, T}, {R::Done, 5, T}, {R::Total, 0, B}},
                     T,
                     0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Progress, ReportsWithoutAJobDoNothing) {
    ASSERT_EQ(Current(), nullptr);
    SetTotal(10, Unit::Files);
    SetDone(3);
    SetDone(3, Unit::TextBytes);
    Advance();
    EXPECT_EQ(Current(), nullptr);
}

TEST(Progress, ScopeBelongsToItsThreadAndRestoresThePrevious) {
    JobProgress outer;
    JobProgress inner;
    const CurrentJobScope outerScope(&outer);
    {
        const CurrentJobScope innerScope(&inner);
        EXPECT_EQ(Current(), &inner);
        std::thread other([] { EXPECT_EQ(Current(), nullptr); });
        other.join();
    }
    EXPECT_EQ(Current(), &outer);
    EXPECT_TRUE(inner.Read().ended);
    EXPECT_FALSE(outer.Read().ended);
}

// Another thread reads while the job's thread reports: no reading ever shows more
// done than the reports allow.
TEST(Progress, ReadingsFromAnotherThreadStayInRange) {
    JobProgress job;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        const CurrentJobScope scope(&job);
        SetTotal(100, Unit::Files);
        for (std::uint64_t k = 0; k < 100; ++k) {
            SetTotal(1000, Unit::TextBytes);
            for (std::uint64_t b = 0; b <= 1000; b += 100) SetDone(b, Unit::TextBytes);
            SetDone(k + 1);
        }
        done = true;
    });
    while (!done) {
        const Reading reading = job.Read();
        const std::optional<double> fraction = reading.Fraction();
        if (!fraction) continue;
        ASSERT_GE(*fraction, 0.0);
        ASSERT_LE(*fraction, 1.0);
        // What is shown never runs ahead of the next file boundary.
        ASSERT_LE(*fraction, static_cast<double>(reading.filesDone + 1) / 100.0 + 1e-9);
    }
    worker.join();
    EXPECT_DOUBLE_EQ(*job.Read().Fraction(), 1.0);
}

}  // namespace
}  // namespace sonoleaf::progress
