#pragma once
// The voice chosen by name in the settings dialog, kept between runs of the program
// in the desktop's settings place ($XDG_CONFIG_HOME/sonoleaf/sonoleaf.conf), beside the
// pronunciation list.

#include <string>

namespace sonoleaf::ui {

// Empty when none was kept (by gender).
std::u16string SavedVoiceName();
void SaveVoiceName(const std::u16string& name);

}  // namespace sonoleaf::ui
