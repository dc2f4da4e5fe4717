#include "platform/text/progress.h"

#include <algorithm>

namespace sonoleaf::progress {
namespace {

thread_local JobProgress* current = nullptr;

int Breadth(Unit unit) {
    return static_cast<int>(unit);  // the enumeration is in widening order
}

}  // namespace

std::optional<double> Reading::Fraction() const {
    const double text = textTotal > 0 ? static_cast<double>(std::min(textDone, textTotal)) /
                                            static_cast<double>(textTotal)
                                      : 0.0;
    switch (unit) {
        case Unit::Files: {
            if (filesTotal == 0) return std::nullopt;
            // The file being rendered counts with the part of its text spoken.
            const double files = static_cast<double>(std::min(filesDone, filesTotal));
            return std::clamp(
                (files + (filesDone < filesTotal ? text : 0.0)) / static_cast<double>(filesTotal),
                0.0, 1.0);
        }
        case Unit::TextBytes:
            if (textTotal == 0) return std::nullopt;
            return text;
        case Unit::Busy:
        case Unit::None:
            break;
    }
    return std::nullopt;
}

void JobProgress::Widen(Unit unit) {
    Unit now = unit_.load(std::memory_order_relaxed);
    while (Breadth(now) < Breadth(unit) &&
           !unit_.compare_exchange_weak(now, unit, std::memory_order_relaxed)) {
    }
}

void JobProgress::SetTotal(std::uint64_t total, Unit unit) {
    Widen(unit);
    if (unit == Unit::Files) {
        filesTotal_.store(total, std::memory_order_relaxed);
        SetDone(0, Unit::Files);
    } else if (unit == Unit::TextBytes) {
        textDone_.store(0, std::memory_order_relaxed);
        textTotal_.store(total, std::memory_order_release);
    }
}

void JobProgress::SetDone(std::uint64_t done, Unit unit) {
    if (unit == Unit::Files) {
        // The finished file's text must not count again as part of the next one. The
        // release pairs with Read's acquire: who sees the new count sees the reset.
        textTotal_.store(0, std::memory_order_relaxed);
        textDone_.store(0, std::memory_order_relaxed);
        filesDone_.store(done, std::memory_order_release);
    } else if (unit == Unit::TextBytes) {
        textDone_.store(done, std::memory_order_relaxed);
    }
}

void JobProgress::Advance(std::uint64_t count, Unit unit) {
    // Only the job's own thread writes, so load-and-store loses nothing.
    if (unit == Unit::Files) {
        SetDone(filesDone_.load(std::memory_order_relaxed) + count, Unit::Files);
    } else if (unit == Unit::TextBytes) {
        SetDone(textDone_.load(std::memory_order_relaxed) + count, Unit::TextBytes);
    }
}

Reading JobProgress::Read() const {
    Reading reading;
    reading.ended = ended_.load(std::memory_order_acquire);
    reading.unit = unit_.load(std::memory_order_relaxed);
    reading.filesTotal = filesTotal_.load(std::memory_order_relaxed);
    reading.filesDone = filesDone_.load(std::memory_order_acquire);
    reading.textTotal = textTotal_.load(std::memory_order_acquire);
    reading.textDone = textDone_.load(std::memory_order_relaxed);
    return reading;
}

CurrentJobScope::CurrentJobScope(JobProgress* job) : job_(job), previous_(current) {
    current = job;
}

CurrentJobScope::~CurrentJobScope() {
    current = previous_;
    if (job_ != nullptr) job_->End();
}

JobProgress* Current() {
    return current;
}

void SetTotal(std::uint64_t total, Unit unit) {
    if (current != nullptr) current->SetTotal(total, unit);
}

void SetDone(std::uint64_t done, Unit unit) {
    if (current != nullptr) current->SetDone(done, unit);
}

void SetDone(std::uint64_t done) {
    if (current != nullptr) current->SetDone(done, current->OwnUnit());
}

void Advance(std::uint64_t count) {
    if (current != nullptr) current->Advance(count, current->OwnUnit());
}

}  // namespace sonoleaf::progress
