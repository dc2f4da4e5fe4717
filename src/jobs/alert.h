#pragma once
// The alert box through which every job reports. How a box is shown is not this
// layer's business: the window installs its message box, the command line its lines;
// with none installed a message goes to standard error, so that none is lost.

#include <memory>
#include <string>
#include <string_view>

namespace sonoleaf {

inline constexpr char16_t kAlertCaption[] = u"Message Box for Alert";

// A message that tells of a failure (a file not saved, an input not read, nothing
// found to make) also counts as one in the running job's outcome.
enum class AlertKind { Message, Failure };

// Shows a message and returns when the user has dismissed it.
class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    virtual void Present(const std::u16string& caption, const std::u16string& text,
                         AlertKind kind) = 0;
};

// The presenter used by ShowAlert; null puts back the standard-error one. Returns the
// previous one. Safe to call from any thread.
std::shared_ptr<AlertPresenter> SetAlertPresenter(std::shared_ptr<AlertPresenter> presenter);

// Narrow (UTF-8) text, widened with ToWide. Any thread; blocks only the caller.
void ShowAlert(std::string_view text, AlertKind kind = AlertKind::Message);
// Wide text, narrowed through UTF-8, then ShowAlert.
void ShowAlertText(std::u16string_view text, AlertKind kind = AlertKind::Message);

}  // namespace sonoleaf
