#include "cli/folder_progress.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace sonoleaf::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::chrono::milliseconds kPollEvery{250};
// File times come from a coarse clock and may lag the one read at the start.
constexpr std::chrono::seconds kClockSlack{1};

}  // namespace

FolderProgress::FolderProgress(ListFiles files, ProgressDisplay& display)
    : files_(std::move(files)),
      display_(display),
      since_(fs::file_time_type::clock::now() - kClockSlack) {
    display_.Show(0, files_.total);
    poller_ = std::thread([this] { Poll(); });
}

FolderProgress::~FolderProgress() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    poller_.join();
    // The job has returned: every file seen is complete.
    display_.Show(std::min(CountMade(), files_.total), files_.total);
    display_.Finish();
}

void FolderProgress::Poll() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kPollEvery, [this] { return ending_; })) {
        lock.unlock();
        const std::int64_t seen = CountMade();
        const std::int64_t done = std::max<std::int64_t>(0, seen - files_.inFlight);
        display_.Show(std::min(done, files_.total), files_.total);
        lock.lock();
    }
}

std::int64_t FolderProgress::CountMade() const {
    const std::string prefix = files_.stem + "_";
    std::int64_t count = 0;
    std::error_code error;
    for (fs::directory_iterator it(files_.folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + files_.extension.size() || !name.starts_with(prefix) ||
            !name.ends_with(files_.extension))
            continue;
        const std::string_view digits(name.data() + prefix.size(),
                                      name.size() - prefix.size() - files_.extension.size());
        std::int64_t number = 0;
        const auto [stop, failed] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (failed != std::errc() || stop != digits.data() + digits.size()) continue;
        if (number < files_.first || number >= files_.first + files_.total) continue;
        std::error_code timeError;
        if (it->last_write_time(timeError) >= since_ && !timeError) ++count;
    }
    return count;
}

}  // namespace sonoleaf::cli
