#include "jobs/alert.h"

#include <cstdio>
#include <mutex>

#include "jobs/job_outcome.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {

class StandardErrorPresenter : public AlertPresenter {
  public:
    void Present(const std::u16string& /*caption*/, const std::u16string& text,
                 AlertKind /*kind*/) override {
        std::fprintf(stderr, "sonoleaf: %s\n", text::ToNarrow(text).c_str());
    }
};

std::mutex presenterMutex;

std::shared_ptr<AlertPresenter>& CurrentPresenter() {
    static std::shared_ptr<AlertPresenter> presenter = std::make_shared<StandardErrorPresenter>();
    return presenter;
}

std::shared_ptr<AlertPresenter> Presenter() {
    std::lock_guard lock(presenterMutex);
    return CurrentPresenter();
}

}  // namespace

std::shared_ptr<AlertPresenter> SetAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    if (!presenter) presenter = std::make_shared<StandardErrorPresenter>();
    std::lock_guard lock(presenterMutex);
    std::swap(CurrentPresenter(), presenter);
    return presenter;
}

void ShowAlert(std::string_view text, AlertKind kind) {
    std::u16string wide = text::ToWide(text);
    if (kind == AlertKind::Failure) outcome::Failed(wide);
    // Held by value: a presenter replaced meanwhile stays alive until this box ends.
    const std::shared_ptr<AlertPresenter> presenter = Presenter();
    presenter->Present(kAlertCaption, wide, kind);
}

void ShowAlertText(std::u16string_view text, AlertKind kind) {
    // Through UTF-8, so that a box names the file that was really written.
    ShowAlert(text::ToNarrow(text), kind);
}

}  // namespace sonoleaf
