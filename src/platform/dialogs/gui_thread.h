#pragma once
// Widgets live on the GUI thread only. Worker threads reach them through these calls,
// which block only the calling thread; the GUI thread keeps serving them as long as it
// processes events (also while it joins the jobs at shutdown).

#include <functional>

class QDialog;

namespace sonoleaf::dialogs {

bool OnGuiThread();

// Runs `work` on the GUI thread and returns when it has run. On the GUI thread it runs
// at once. False, with `work` not run, when there is no application (or it ends
// before it got to the call).
bool RunOnGuiThread(const std::function<void()>& work);

// Runs `open` on the GUI thread; it shows a dialog and returns it, or nullptr when it
// showed nothing. Returns when that dialog has finished or has been destroyed. A
// caller on the GUI thread waits in a local event loop.
void OpenAndWait(const std::function<QDialog*()>& open);

}  // namespace sonoleaf::dialogs
