#include "support/gui_test_base.h"

#include "ui/message_box_presenter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "jobs/alert.h"
#include "platform/dialogs/message_box.h"
#include "platform/dialogs/qt_text.h"
#include "ui/sonoleaf_dlg.h"

namespace sonoleaf::testing {

namespace {

int RoundDiv(int a, int b, int c) {
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

}  // namespace

QWidget* FindControl(const QWidget& dialog, int id) {
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        const QVariant value = child->property("controlId");
        if (value.isValid() && value.toInt() == id) return child;
    }
    return nullptr;
}

QWidget* FindItemByText(const QWidget& dialog, const QString& text) {
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (!child->property("controlId").isValid()) continue;
        if (TextOf(*child) == text) return child;
    }
    return nullptr;
}

QString TextOf(const QWidget& control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) return edit->text();
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(&control))
        return multi->toPlainText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) return box->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->currentText();
    return {};
}

QRect DluToPixels(const QWidget& dialog, int x, int y, int width, int height) {
    const QFontMetrics metrics(dialog.font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int unitX = (letters / 26 + 1) / 2;
    const int unitY = metrics.height();
    return QRect(RoundDiv(x, unitX, 4), RoundDiv(y, unitY, 8), RoundDiv(width, unitX, 4),
                 RoundDiv(height, unitY, 8));
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

bool WaitForFlag(const std::atomic<std::int32_t>& flag, std::int32_t value, int timeoutMs) {
    return WaitUntil([&] { return flag.load() == value; }, timeoutMs);
}

void detail::PollUntil(std::function<bool()> attempt, int timeoutMs) {
    auto* timer = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, clock, attempt = std::move(attempt), timeoutMs] {
                         // Stop first: `attempt` may start a modal loop of its own.
                         timer->stop();
                         if (attempt() || clock->elapsed() > timeoutMs) {
                             timer->deleteLater();
                             return;
                         }
                         timer->start();
                     });
    timer->start();
}

void detail::CloseIfStillOpen(QWidget* window, int ms) {
    QTimer::singleShot(ms, window, [window] {
        if (!window->isVisible()) return;
        qWarning("closing %s that the test left open", window->metaObject()->className());
        if (auto* dialog = qobject_cast<QDialog*>(window)) {
            dialog->reject();
        } else {
            window->close();
        }
    });
}

QString MessageText(const QMessageBox& box) {
    const QVariant given = box.property("messageText");
    return given.isValid() ? given.toString() : box.text();
}

QList<QMessageBox*> OpenMessageBoxes(const QString& caption) {
    return VisibleWindows<QMessageBox>([&caption](QMessageBox* box) {
        return caption.isEmpty() || box->windowTitle() == caption;
    });
}

QList<QMessageBox*> OpenAlerts() {
    return OpenMessageBoxes(dialogs::ToQString(kAlertCaption));
}

QStringList OpenAlertTexts() {
    QStringList texts;
    for (QMessageBox* box : OpenAlerts()) texts << MessageText(*box);
    return texts;
}

QMessageBox* WaitForAlert(const QString& text, int timeoutMs) {
    QMessageBox* found = nullptr;
    WaitUntil(
        [&] {
            for (QMessageBox* box : OpenAlerts()) {
                if (MessageText(*box) == text) {
                    found = box;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool WaitForAlertCount(int count, int timeoutMs) {
    return WaitUntil([count] { return OpenAlerts().size() == count; }, timeoutMs);
}

bool ClickOk(QMessageBox& box) {
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    // A question is dismissed by its safe answer.
    if (ok == nullptr) ok = box.button(QMessageBox::No);
    if (ok == nullptr) return false;
    QTest::mouseClick(ok, Qt::LeftButton);
    return true;
}

bool DismissAlert(const QString& text, int timeoutMs) {
    QPointer<QMessageBox> box = WaitForAlert(text, timeoutMs);
    if (box.isNull() || !ClickOk(*box)) return false;
    return WaitUntil([&] { return box.isNull() || !box->isVisible(); }, timeoutMs);
}

int DismissAllAlerts() {
    int dismissed = 0;
    for (QMessageBox* box : OpenAlerts()) dismissed += ClickOk(*box) ? 1 : 0;
    QCoreApplication::processEvents();
    return dismissed;
}

void Click(QWidget& widget) {
    QTest::mouseClick(&widget, Qt::LeftButton);
}

void PressKey(QWidget& widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(&widget, key, modifiers);
}

CSonoleafDlg& GuiTestBase::OpenWindow() {
    return OpenWindow(speech);
}

CSonoleafDlg& GuiTestBase::OpenWindow(std::shared_ptr<speech_service::SpeechService> service) {
    window = std::make_unique<CSonoleafDlg>(std::move(service));
    window->show();
    QCoreApplication::processEvents();
    return *window;
}

void GuiTestBase::CloseWindow() {
    if (window && window->isVisible()) window->close();
    QCoreApplication::processEvents();
}

bool GuiTestBase::WaitForBlockedSpeaks(int count, int timeoutMs) {
    return WaitUntil([&] { return speech->BlockedSpeaks() >= count; }, timeoutMs);
}

void GuiTestBase::init() {
    QGuiApplication::setQuitOnLastWindowClosed(false);
    dialogs::SetMessageBoxesRefused(false);
    ui::UseMessageBoxes();  // as the program does at its start
    speech = std::make_shared<RecordingSpeechService>();
}

void GuiTestBase::cleanup() {
    // Ending the window stops its jobs and closes the boxes they opened.
    window.reset();
    dialogs::CloseAllMessageBoxes();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) widget->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    dialogs::SetMessageBoxesRefused(false);
}

}  // namespace sonoleaf::testing
