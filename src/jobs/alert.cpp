#include "jobs/alert.h"

#include <mutex>

#include "platform/dialogs/message_box.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {

// The platform's message box: no owner, one OK button, blocks only the caller.
class MessageBoxPresenter : public AlertPresenter {
  public:
    void Present(const std::u16string& caption, const std::u16string& text) override {
        dialogs::ShowMessageBox(caption, text);
    }
};

std::mutex presenterMutex;

std::shared_ptr<AlertPresenter>& CurrentPresenter() {
    static std::shared_ptr<AlertPresenter> presenter = std::make_shared<MessageBoxPresenter>();
    return presenter;
}

std::shared_ptr<AlertPresenter> Presenter() {
    std::lock_guard lock(presenterMutex);
    return CurrentPresenter();
}

}  // namespace

std::shared_ptr<AlertPresenter> SetAlertPresenter(std::shared_ptr<AlertPresenter> presenter) {
    // Null puts the platform's message box back.
    if (!presenter) presenter = std::make_shared<MessageBoxPresenter>();
    std::lock_guard lock(presenterMutex);
    std::swap(CurrentPresenter(), presenter);
    return presenter;
}

void ShowAlert(std::string_view text) {
    // Held by value: a presenter replaced meanwhile stays alive until this box ends.
    const std::shared_ptr<AlertPresenter> presenter = Presenter();
    presenter->Present(kAlertCaption, text::ToWide(text));
}

void ShowAlertText(std::u16string_view text) {
    // Through UTF-8, so that a box names the file that was really written.
    ShowAlert(text::ToNarrow(text));
}

}  // namespace sonoleaf
