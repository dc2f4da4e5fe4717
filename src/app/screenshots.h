#pragma once
// Pictures of the main window, the voice settings dialog, the About box and an alert,
// grabbed without a screen, for reviews of the look.

#include <QString>

namespace sonoleaf {

// Writes main_window.png, voice_setting.png, about_box.png and alert_box.png into
// `folder` (created if needed). Returns the process exit code.
int TakeScreenshots(const QString& folder);

}  // namespace sonoleaf
