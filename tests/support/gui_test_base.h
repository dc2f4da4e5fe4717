#pragma once
// Helpers for Qt Test suites that drive the real windows on the offscreen platform:
// finding controls by id, waiting (always bounded), watching for windows that a
// modal loop is about to open, and reading and dismissing alert boxes.
//
// A suite derives from GuiTestBase and uses QTEST_MAIN. GuiTestBase's init() and
// cleanup() run around every test function; a suite that needs its own calls them.

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/speech/speech_service.h"
#include "support/recording_speech_service.h"
#include "ui/sonoleaf_dlg.h"

namespace sonoleaf::testing {

inline constexpr int kWaitMs = 5000;

// --- Controls --------------------------------------------------------------------

// The control with this id ("controlId" property) among the dialog's children.
QWidget* FindControl(const QWidget& dialog, int id);
template <typename T>
T* FindControlAs(const QWidget& dialog, int id) {
    return qobject_cast<T*>(FindControl(dialog, id));
}
// A control without an id, by the text it shows (labels, group boxes).
QWidget* FindItemByText(const QWidget& dialog, const QString& text);
// What a control shows: caption, or the text an edit holds.
QString TextOf(const QWidget& control);

// Dialog units to pixels, computed here from the dialog's own font: a horizontal
// unit is a quarter of the average width of the 52 Latin letters, a vertical unit an
// eighth of the font height; each value rounded to the nearest pixel.
QRect DluToPixels(const QWidget& dialog, int x, int y, int width, int height);

// --- Waiting ---------------------------------------------------------------------

// Processes events until `condition` holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs);
bool WaitForFlag(const std::atomic<std::int32_t>& flag, std::int32_t value,
                 int timeoutMs = kWaitMs);

// --- Top-level windows -----------------------------------------------------------

// Visible top-level widgets of type T that satisfy `match` (all when it is empty).
template <typename T>
QList<T*> VisibleWindows(const std::function<bool(T*)>& match = {});

// Calls `act` on the first visible top-level T (that satisfies `match`) as soon as
// one appears, for windows opened by a modal loop that the next call starts. Gives up
// after the timeout. The returned flag tells whether `act` ran. A window that `act`
// leaves open is closed once the timeout has passed again, so that no modal loop
// outlives its test.
template <typename T>
std::shared_ptr<std::atomic<bool>> WhenShown(std::function<void(T*)> act,
                                             std::function<bool(T*)> match = {},
                                             int timeoutMs = kWaitMs);

// --- Message boxes ---------------------------------------------------------------

// The message as given to the box (line breaks as written), else its text.
QString MessageText(const QMessageBox& box);
// Visible message boxes with this caption (any when the caption is empty).
QList<QMessageBox*> OpenMessageBoxes(const QString& caption = {});
// Boxes with the caption "Message Box for Alert", and their texts in opening order.
QList<QMessageBox*> OpenAlerts();
QStringList OpenAlertTexts();
// Waits for an open alert with exactly this text.
QMessageBox* WaitForAlert(const QString& text, int timeoutMs = kWaitMs);
bool WaitForAlertCount(int count, int timeoutMs = kWaitMs);
// Presses the box's OK button (a question's No), as a user would.
bool ClickOk(QMessageBox& box);
// Waits for the alert with this text, presses OK and waits until it has gone.
bool DismissAlert(const QString& text, int timeoutMs = kWaitMs);
// Presses OK on every open alert; returns how many.
int DismissAllAlerts();

// --- Input -----------------------------------------------------------------------

void Click(QWidget& widget);
void PressKey(QWidget& widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// --- Base ------------------------------------------------------------------------

class GuiTestBase : public QObject {
    Q_OBJECT

  protected:
    // The window's speech service: it needs no sound, logs every call and writes
    // plain audio. New for every test function.
    std::shared_ptr<RecordingSpeechService> speech;
    std::unique_ptr<CSonoleafDlg> window;

    // A new main window on `speech`, shown, with the events settled.
    CSonoleafDlg& OpenWindow();
    // The same on another service, such as the real one for end-to-end runs.
    CSonoleafDlg& OpenWindow(std::shared_ptr<speech_service::SpeechService> service);
    // Closes the window as the user would (its close box) and waits for its end.
    void CloseWindow();
    // Waits, serving the GUI thread, until `count` Speak calls of `speech` wait (with
    // speech->SetSpeakBlocks(true)). The recording service's own wait would block the
    // jobs, which read the window through the GUI thread.
    bool WaitForBlockedSpeaks(int count, int timeoutMs = kWaitMs);

  protected slots:
    void init();
    void cleanup();
};

// --- Template definitions ---------------------------------------------------------

template <typename T>
QList<T*> VisibleWindows(const std::function<bool(T*)>& match) {
    QList<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed == nullptr || !typed->isVisible()) continue;
        if (!match || match(typed)) found << typed;
    }
    return found;
}

namespace detail {
// Polls on a timer (the modal loop started by the caller keeps processing events).
void PollUntil(std::function<bool()> attempt, int timeoutMs);
// Closes `window` after `ms` if it is still open then.
void CloseIfStillOpen(QWidget* window, int ms);
}  // namespace detail

template <typename T>
std::shared_ptr<std::atomic<bool>> WhenShown(std::function<void(T*)> act,
                                             std::function<bool(T*)> match, int timeoutMs) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    detail::PollUntil(
        [act = std::move(act), match = std::move(match), ran, timeoutMs]() {
            const QList<T*> windows = VisibleWindows<T>(match);
            if (windows.isEmpty()) return false;
            detail::CloseIfStillOpen(windows.first(), timeoutMs);
            act(windows.first());
            ran->store(true);
            return true;
        },
        timeoutMs);
    return ran;
}

}  // namespace sonoleaf::testing
