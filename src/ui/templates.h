#pragma once
// The dialog templates of the program's three windows.

#include "platform/dialogs/dialog_template.h"

namespace sonoleaf::ui {

const dialogs::DialogTemplate& MainWindowTemplate();    // 102
const dialogs::DialogTemplate& VoiceSettingTemplate();  // 130
const dialogs::DialogTemplate& AboutTemplate();         // 100

// The maker's notice and contact line.
inline constexpr char kMakerNotice[] = "Sonoleaf Team";
inline constexpr char kAboutNotice[] = "Free software";
// The notice's full wording; the template's notice is too narrow for it, so the box
// gives it as the notice's tooltip and accessible description.
inline constexpr char kLicenceNotice[] = "Free software under the GNU GPL, version 3 or later.";
inline constexpr char kContactLine[] = "Ideas and bug reports: the project's issue list";

}  // namespace sonoleaf::ui
