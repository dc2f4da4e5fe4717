#pragma once
// The window's alert boxes as lines, for a program with no display: a message on
// standard output, a failure on standard error.

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "jobs/alert.h"

namespace sonoleaf::cli {

class LineAlerts : public AlertPresenter {
  public:
    // `beforeLine` runs before each message, e.g. to clear a progress bar.
    LineAlerts(std::FILE* out, std::FILE* err, std::function<void()> beforeLine)
        : out_(out), err_(err), beforeLine_(std::move(beforeLine)) {}

    void Present(const std::u16string& caption, const std::u16string& text,
                 AlertKind kind) override;

  private:
    std::FILE* out_;
    std::FILE* err_;
    std::function<void()> beforeLine_;
    std::mutex mutex_;  // one message at a time, whole
};

}  // namespace sonoleaf::cli
