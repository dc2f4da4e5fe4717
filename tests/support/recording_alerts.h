#pragma once
// An alert presenter for unit tests: records every alert in order, notes the value
// of a watched busy flag at the moment each alert appears, and can hold each alert
// open until the test lets it go (as a user who has not pressed OK yet).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jobs/alert.h"

namespace sonoleaf::testing {

class RecordingAlertPresenter : public AlertPresenter {
  public:
    struct Alert {
        std::u16string caption;
        std::u16string text;
        std::int32_t busyFlag = -1;  // the watched flag when it appeared; -1 if none
        AlertKind kind = AlertKind::Message;
    };

    void Present(const std::u16string& caption, const std::u16string& text,
                 AlertKind kind) override;

    // The flag whose value each alert records (not owned; null stops watching).
    void WatchBusyFlag(const std::atomic<std::int32_t>* flag);

    // While on, Present waits until ReleaseAlerts (or at most 30 s). Turning it off
    // releases every waiting alert.
    void SetBlocking(bool on);
    void ReleaseAlerts();  // lets every alert open now go
    int Open() const;      // alerts waiting now

    std::vector<Alert> Alerts() const;
    std::vector<std::string> Texts() const;  // the texts as UTF-8
    // Waits until at least `count` alerts have appeared; false on timeout.
    bool WaitForAlerts(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForOpen(int count, std::chrono::milliseconds timeout) const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Alert> alerts_;
    const std::atomic<std::int32_t>* flag_ = nullptr;
    bool blocking_ = false;
    std::uint64_t releaseGeneration_ = 0;
    int open_ = 0;
};

// Installs a RecordingAlertPresenter for its lifetime and puts the previous
// presenter back at the end.
class AlertCapture {
  public:
    AlertCapture();
    ~AlertCapture();
    AlertCapture(const AlertCapture&) = delete;
    AlertCapture& operator=(const AlertCapture&) = delete;

    RecordingAlertPresenter& operator*() const { return *presenter_; }
    RecordingAlertPresenter* operator->() const { return presenter_.get(); }

  private:
    std::shared_ptr<RecordingAlertPresenter> presenter_;
    std::shared_ptr<AlertPresenter> previous_;
};

}  // namespace sonoleaf::testing
