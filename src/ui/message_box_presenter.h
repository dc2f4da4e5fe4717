#pragma once
// The window's alerts: the platform's message box, with no owner, one OK button and
// no icon, blocking only the job thread that shows it.

#include "jobs/alert.h"

namespace sonoleaf::ui {

class MessageBoxPresenter : public AlertPresenter {
  public:
    void Present(const std::u16string& caption, const std::u16string& text,
                 AlertKind kind) override;
};

// Makes the message box the presenter of every alert from now on.
void UseMessageBoxes();

}  // namespace sonoleaf::ui
