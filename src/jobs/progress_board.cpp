#include "jobs/progress_board.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sonoleaf {
namespace {

constexpr double kEnoughFraction = 0.05;
constexpr std::chrono::duration<double> kEnoughTime{5.0};

}  // namespace

std::shared_ptr<progress::JobProgress> ProgressBoard::Add(std::string caption,
                                                          Clock::time_point started) {
    auto job = std::make_shared<progress::JobProgress>();
    std::lock_guard lock(mutex_);
    entries_.push_back({nextKey_++, std::move(caption), started, job});
    return job;
}

std::vector<JobRow> ProgressBoard::Snapshot(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [](const Entry& entry) { return entry.progress->Read().ended; });
    std::vector<JobRow> rows;
    rows.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        JobRow row;
        row.key = entry.key;
        row.caption = entry.caption;
        row.reading = entry.progress->Read();
        row.fraction = row.reading.Fraction();
        if (row.fraction) row.timeLeft = EstimateTimeLeft(*row.fraction, now - entry.started);
        row.status = StatusText(row.reading, row.fraction, row.timeLeft);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool ProgressBoard::Empty() const {
    std::lock_guard lock(mutex_);
    return entries_.empty();
}

std::optional<std::chrono::seconds> EstimateTimeLeft(double fraction,
                                                     std::chrono::duration<double> elapsed) {
    if (!(fraction > 0.0) || fraction >= 1.0 || elapsed.count() <= 0.0) return std::nullopt;
    if (fraction < kEnoughFraction && elapsed < kEnoughTime) return std::nullopt;
    const double left = elapsed.count() * (1.0 - fraction) / fraction;
    if (!std::isfinite(left) || left > 1e9) return std::nullopt;
    return std::chrono::seconds(std::llround(left));
}

std::string TimeLeftText(std::chrono::seconds left) {
    const long long seconds = left.count();
    if (seconds < 60) return "less than a minute left";
    if (seconds < 60 * 60 - 30) {
        return "about " + std::to_string(std::max(1LL, (seconds + 30) / 60)) + " min left";
    }
    // Past an hour, to the nearest ten minutes.
    const long long tens = (seconds + 300) / 600;
    const long long hours = tens / 6;
    const long long minutes = (tens % 6) * 10;
    std::string text = "about " + std::to_string(hours) + " h";
    if (minutes > 0) text += " " + std::to_string(minutes) + " min";
    return text + " left";
}

std::string StatusText(const progress::Reading& reading, std::optional<double> fraction,
                       std::optional<std::chrono::seconds> timeLeft) {
    std::string text;
    if (reading.unit == progress::Unit::Files && reading.filesTotal > 0) {
        text = std::to_string(std::min(reading.filesDone, reading.filesTotal)) + " of " +
               std::to_string(reading.filesTotal) + (reading.filesTotal == 1 ? " file" : " files");
    } else if (reading.unit == progress::Unit::TextBytes && fraction) {
        text = std::to_string(static_cast<int>(std::floor(*fraction * 100.0))) +
               "% of the text spoken";
    }
    if (timeLeft) text += (text.empty() ? "" : ", ") + TimeLeftText(*timeLeft);
    return text;
}

}  // namespace sonoleaf
