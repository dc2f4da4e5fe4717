#include "platform/dialogs/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <vector>

#include "platform/dialogs/dialog_template.h"
#include "platform/dialogs/gui_thread.h"
#include "platform/dialogs/qt_text.h"

namespace sonoleaf::dialogs {

namespace {

std::atomic<bool> refused{false};

// Touched on the GUI thread only. Guarded as plain objects: a box is forgotten while
// it is being destroyed, when it is no longer a QMessageBox and must not be cast to one.
std::vector<QPointer<QObject>>& OpenBoxes() {
    static std::vector<QPointer<QObject>> boxes;
    return boxes;
}

void Forget(const QObject* box) {
    auto& boxes = OpenBoxes();
    std::erase_if(boxes, [box](const QPointer<QObject>& open) {
        return open.isNull() || open.data() == box;
    });
}

// Line breaks written the Windows way show as one break.
QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    return shown;
}

}  // namespace

std::unique_ptr<QMessageBox> CreateMessageBox(const std::u16string& caption,
                                              const std::u16string& text) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(ToQString(caption));
    box->setIcon(QMessageBox::NoIcon);
    box->setTextFormat(Qt::PlainText);
    box->setText(DisplayText(ToQString(text)));
    box->setProperty("messageText", ToQString(text));
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    box->setAccessibleName(box->windowTitle());
    box->setAccessibleDescription(box->text());
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->setProperty("controlId", kIdOk);
        ok->setObjectName(QStringLiteral("control_%1").arg(kIdOk));
        ok->setAccessibleName(ok->text());
    }
    return box;
}

void TrackMessageBox(QMessageBox* box) {
    OpenBoxes().emplace_back(box);
    const QObject* object = box;
    QObject::connect(box, &QObject::destroyed, [object] { Forget(object); });
}

void ShowMessageBox(const std::u16string& caption, const std::u16string& text) {
    if (refused.load()) return;
    OpenAndWait([&]() -> QDialog* {
        if (refused.load()) return nullptr;
        std::unique_ptr<QMessageBox> owned = CreateMessageBox(caption, text);
        owned->setAttribute(Qt::WA_DeleteOnClose);  // from here on the box owns itself
        QMessageBox* box = owned.release();
        TrackMessageBox(box);
        box->show();
        box->raise();
        box->activateWindow();
        return box;
    });
}

bool AskQuestion(const std::u16string& caption, const std::u16string& text) {
    if (refused.load()) return false;
    // Written on the GUI thread when the box is answered, read here after it has closed.
    auto answer = std::make_shared<std::atomic<bool>>(false);
    OpenAndWait([&]() -> QDialog* {
        if (refused.load()) return nullptr;
        std::unique_ptr<QMessageBox> owned = CreateMessageBox(caption, text);
        owned->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        owned->setDefaultButton(QMessageBox::No);
        owned->setEscapeButton(QMessageBox::No);
        for (QAbstractButton* button : owned->buttons()) button->setAccessibleName(button->text());
        owned->setAttribute(Qt::WA_DeleteOnClose);
        QMessageBox* box = owned.release();
        QObject::connect(box, &QMessageBox::finished,
                         [answer](int result) { answer->store(result == QMessageBox::Yes); });
        TrackMessageBox(box);
        box->show();
        box->raise();
        box->activateWindow();
        return box;
    });
    return answer->load();
}

void CloseAllMessageBoxes() {
    RunOnGuiThread([] {
        // Closing a box may run code that opens or forgets others: work on a copy.
        const std::vector<QPointer<QObject>> boxes = OpenBoxes();
        for (const QPointer<QObject>& box : boxes) {
            if (auto* open = qobject_cast<QMessageBox*>(box.data()))
                open->done(QMessageBox::Cancel);
        }
    });
}

void SetMessageBoxesRefused(bool value) {
    refused.store(value);
}

bool MessageBoxesRefused() {
    return refused.load();
}

}  // namespace sonoleaf::dialogs
