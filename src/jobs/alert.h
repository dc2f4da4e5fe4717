#pragma once
// The alert box through which every job reports.

#include <memory>
#include <string>
#include <string_view>

namespace sonoleaf {

inline constexpr char16_t kAlertCaption[] = u"Message Box for Alert";

// Shows a message and returns when the user has dismissed it.
class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    virtual void Present(const std::u16string& caption, const std::u16string& text) = 0;
};

// The presenter used by ShowAlert; the platform's message box unless replaced.
// Returns the previous one. Safe to call from any thread.
std::shared_ptr<AlertPresenter> SetAlertPresenter(std::shared_ptr<AlertPresenter> presenter);

// Narrow (UTF-8) text, widened with ToWide. Any thread; blocks only the caller.
void ShowAlert(std::string_view text);
// Wide text, narrowed through UTF-8, then ShowAlert.
void ShowAlertText(std::u16string_view text);

}  // namespace sonoleaf
