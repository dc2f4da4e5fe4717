#pragma once
// Message boxes that any thread may open. A box is not modal to any window (several
// may be open at once and the window stays usable) and blocks only its caller.

#include <memory>
#include <string>

class QMessageBox;

namespace sonoleaf::dialogs {

// Opens a box with this caption and text, one OK button and no icon, on the GUI
// thread, and returns when it has been dismissed (or closed at shutdown). Returns at
// once when there is no application or new boxes are refused.
void ShowMessageBox(const std::u16string& caption, const std::u16string& text);

// A question with Yes and No (No the default, Esc too), shown as ShowMessageBox shows
// its box; true when the user answered Yes. False when refused or closed at shutdown.
bool AskQuestion(const std::u16string& caption, const std::u16string& text);

// Closes every open box; their callers return.
void CloseAllMessageBoxes();

// While refused, ShowMessageBox returns at once (set when the window shuts down, so
// that no job waits for a user who has gone).
void SetMessageBoxesRefused(bool refused);
bool MessageBoxesRefused();

// The box ShowMessageBox shows, not yet shown, for pictures of it. The text as given
// is kept in the property "messageText".
std::unique_ptr<QMessageBox> CreateMessageBox(const std::u16string& caption,
                                              const std::u16string& text);

// Keeps `box` in the set of open boxes until it is destroyed, so that
// CloseAllMessageBoxes reaches it too. GUI thread only.
void TrackMessageBox(QMessageBox* box);

}  // namespace sonoleaf::dialogs
