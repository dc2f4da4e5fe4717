#include "cli/progress_display.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>

namespace sonoleaf::cli {
namespace {

constexpr int kBarWidth = 30;

class QuietDisplay final : public ProgressDisplay {
  public:
    void Show(std::int64_t, std::int64_t, const char*) override {}
};

// One line each time the numbers change, for logs and batch systems.
class LineDisplay final : public ProgressDisplay {
  public:
    explicit LineDisplay(std::FILE* stream) : stream_(stream) {}
    void Show(std::int64_t done, std::int64_t total, const char* unit) override {
        const bool percent = unit[0] == '%';
        // A share of the text is told in tens, so that a log stays short.
        if (percent) done -= done % 10;
        if (done == lastDone_ && total == lastTotal_) return;
        lastDone_ = done;
        lastTotal_ = total;
        if (percent) {
            std::fprintf(stream_, "%lld%%\n", static_cast<long long>(done));
        } else {
            std::fprintf(stream_, "%lld/%lld %s\n", static_cast<long long>(done),
                         static_cast<long long>(total), unit);
        }
        std::fflush(stream_);
    }

  private:
    std::FILE* stream_;
    std::int64_t lastDone_ = -1;
    std::int64_t lastTotal_ = -1;
};

// One line redrawn in place. Clear and Show may come from different threads (a
// message while the bar is fed), hence the lock.
class BarDisplay final : public ProgressDisplay {
  public:
    explicit BarDisplay(std::FILE* stream) : stream_(stream) {}
    void Show(std::int64_t done, std::int64_t total, const char* unit) override {
        std::lock_guard lock(mutex_);
        if (drawn_ && done == lastDone_ && total == lastTotal_) return;
        lastDone_ = done;
        lastTotal_ = total;
        const std::int64_t filled =
            total > 0 ? std::clamp<std::int64_t>(done * kBarWidth / total, 0, kBarWidth) : 0;
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(kBarWidth - filled), '-');
        if (unit[0] == '%') {
            std::fprintf(stream_, "\r[%s] %lld%%", bar.c_str(), static_cast<long long>(done));
        } else {
            std::fprintf(stream_, "\r[%s] %lld/%lld %s", bar.c_str(), static_cast<long long>(done),
                         static_cast<long long>(total), unit);
        }
        std::fflush(stream_);
        drawn_ = true;
    }
    void Clear() override {
        std::lock_guard lock(mutex_);
        if (!drawn_) return;
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
        drawn_ = false;
    }
    void Finish() override {
        std::lock_guard lock(mutex_);
        if (drawn_) std::fputc('\n', stream_);
        std::fflush(stream_);
        drawn_ = false;
    }

  private:
    std::FILE* stream_;
    std::mutex mutex_;
    bool drawn_ = false;
    std::int64_t lastDone_ = -1;
    std::int64_t lastTotal_ = -1;
};

}  // namespace

bool ShownProgress(const progress::Reading& reading, std::int64_t& done, std::int64_t& total,
                   const char*& unit) {
    if (reading.unit == progress::Unit::Files && reading.filesTotal > 0) {
        done = static_cast<std::int64_t>(reading.filesDone);
        total = static_cast<std::int64_t>(reading.filesTotal);
        unit = "files";
        return true;
    }
    const std::optional<double> fraction = reading.Fraction();
    if (reading.unit != progress::Unit::TextBytes || !fraction) return false;
    done = static_cast<std::int64_t>(*fraction * 100.0);
    total = 100;
    unit = "%";
    return true;
}

std::unique_ptr<ProgressDisplay> MakeProgressDisplay(std::FILE* stream, bool quiet) {
    if (quiet) return std::make_unique<QuietDisplay>();
    if (::isatty(::fileno(stream)) != 0) return std::make_unique<BarDisplay>(stream);
    return std::make_unique<LineDisplay>(stream);
}

}  // namespace sonoleaf::cli
