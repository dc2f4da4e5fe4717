#include "ui/message_box_presenter.h"

#include <memory>

#include "platform/dialogs/message_box.h"

namespace sonoleaf::ui {

// A failure looks like every other box: the message tells what happened.
void MessageBoxPresenter::Present(const std::u16string& caption, const std::u16string& text,
                                  AlertKind /*kind*/) {
    dialogs::ShowMessageBox(caption, text);
}

void UseMessageBoxes() {
    SetAlertPresenter(std::make_shared<MessageBoxPresenter>());
}

}  // namespace sonoleaf::ui
