#include "platform/dialogs/template_dialog.h"

#include <QKeyEvent>
#include <QPushButton>

namespace sonoleaf::dialogs {

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, const IconLookup& icons,
                               QWidget* parent)
    : QDialog(parent), templateId_(dialogTemplate.id), units_(StandardDialogFont()) {
    setFont(StandardDialogFont());
    setWindowTitle(QString::fromUtf8(dialogTemplate.title));
    setAccessibleName(windowTitle());
    setFixedSize(units_.XToPixels(dialogTemplate.width), units_.YToPixels(dialogTemplate.height));
    setSizeGripEnabled(false);
    controls_ = BuildControls(*this, dialogTemplate, units_, icons);
    if (QWidget* first = [this]() -> QWidget* {
            for (QWidget* w : controls_.InTemplateOrder()) {
                if (w->focusPolicy() & Qt::TabFocus) return w;
            }
            return nullptr;
        }()) {
        first->setFocus(Qt::OtherFocusReason);
    }
}

bool TemplateDialog::DoDataExchange(bool) {
    return true;
}

void TemplateDialog::OnOK() {
    if (!DoDataExchange(true)) return;
    EndDialog(Accepted);
}

void TemplateDialog::OnCancel() {
    EndDialog(Rejected);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter: {
                // A focused push button has taken its own Enter already; here the key
                // came from some other control.
                for (QWidget* control : controls_.InTemplateOrder()) {
                    auto* button = qobject_cast<QPushButton*>(control);
                    if (button != nullptr && button->property("defaultButton").toBool() &&
                        button->isVisible()) {
                        if (button->isEnabled()) button->click();
                        event->accept();
                        return;
                    }
                }
                event->accept();
                OnOK();
                return;
            }
            case Qt::Key_Escape:
                event->accept();
                OnCancel();
                return;
            default:
                break;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace sonoleaf::dialogs
