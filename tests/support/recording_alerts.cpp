#include "support/recording_alerts.h"

#include "platform/text/text_convert.h"

namespace sonoleaf::testing {

namespace {
constexpr auto kLongestWait = std::chrono::seconds(30);
}

void RecordingAlertPresenter::Present(const std::u16string& caption, const std::u16string& text,
                                      AlertKind kind) {
    std::unique_lock lock(mutex_);
    alerts_.push_back({caption, text, flag_ != nullptr ? flag_->load() : -1, kind});
    changed_.notify_all();
    if (!blocking_) return;
    const std::uint64_t generation = releaseGeneration_;
    ++open_;
    changed_.notify_all();
    changed_.wait_for(lock, kLongestWait,
                      [&] { return !blocking_ || releaseGeneration_ != generation; });
    --open_;
    changed_.notify_all();
}

void RecordingAlertPresenter::WatchBusyFlag(const std::atomic<std::int32_t>* flag) {
    std::lock_guard lock(mutex_);
    flag_ = flag;
}

void RecordingAlertPresenter::SetBlocking(bool on) {
    std::lock_guard lock(mutex_);
    blocking_ = on;
    changed_.notify_all();
}

void RecordingAlertPresenter::ReleaseAlerts() {
    std::lock_guard lock(mutex_);
    ++releaseGeneration_;
    changed_.notify_all();
}

int RecordingAlertPresenter::Open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

std::vector<RecordingAlertPresenter::Alert> RecordingAlertPresenter::Alerts() const {
    std::lock_guard lock(mutex_);
    return alerts_;
}

std::vector<std::string> RecordingAlertPresenter::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    texts.reserve(alerts_.size());
    for (const Alert& alert : alerts_) texts.push_back(text::ToNarrow(alert.text));
    return texts;
}

bool RecordingAlertPresenter::WaitForAlerts(std::size_t count,
                                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return alerts_.size() >= count; });
}

bool RecordingAlertPresenter::WaitForOpen(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return open_ >= count; });
}

void RecordingAlertPresenter::Clear() {
    std::lock_guard lock(mutex_);
    alerts_.clear();
}

AlertCapture::AlertCapture()
    : presenter_(std::make_shared<RecordingAlertPresenter>()),
      previous_(SetAlertPresenter(presenter_)) {}

AlertCapture::~AlertCapture() {
    presenter_->SetBlocking(false);
    SetAlertPresenter(previous_);
}

}  // namespace sonoleaf::testing
