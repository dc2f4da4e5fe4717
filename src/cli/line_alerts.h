#pragma once
// The window's alert boxes as lines on standard output, for a program with no
// display; it remembers whether any message told of a file that was not made.

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "jobs/alert.h"

namespace sonoleaf::cli {

class LineAlerts : public AlertPresenter {
  public:
    // `beforeLine` runs before each message, e.g. to clear a progress bar.
    LineAlerts(std::FILE* out, std::function<void()> beforeLine)
        : out_(out), beforeLine_(std::move(beforeLine)) {}

    void Present(const std::u16string& caption, const std::u16string& text) override;
    // A message said a file could not be saved, or an input gave nothing to save.
    bool AnyFailure() const { return failed_.load(); }

  private:
    std::FILE* out_;
    std::function<void()> beforeLine_;
    std::mutex mutex_;  // one message at a time, whole
    std::atomic<bool> failed_{false};
};

// Whether a job's message tells of a failure: the window's wording for it.
bool IsFailureMessage(const std::string& text);

}  // namespace sonoleaf::cli
