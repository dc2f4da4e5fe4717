#pragma once
// A dialog built from a template, with the keyboard rules of dialogs: Enter on a push
// button presses it; Enter elsewhere presses the default button, or runs the OK path
// when there is none; Esc and the close box run the Cancel path.

#include <QDialog>

#include "platform/dialogs/control_builder.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/dialogs/dialog_units.h"

namespace sonoleaf::dialogs {

class TemplateDialog : public QDialog {
    Q_OBJECT

  public:
    TemplateDialog(const DialogTemplate& dialogTemplate, const IconLookup& icons,
                   QWidget* parent = nullptr);

    int TemplateId() const { return templateId_; }
    QWidget* Control(int id) const { return controls_.ById(id); }
    template <typename T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    const ControlSet& Controls() const { return controls_; }
    const DialogUnitConverter& Units() const { return units_; }

    // Data exchange between members and controls; `save` reads the controls. False
    // when a field holds what it cannot take (the field has been told so already).
    virtual bool DoDataExchange(bool save);

    // The framework's OK: save-direction data exchange, then end with Accepted.
    virtual void OnOK();
    // The framework's Cancel: end with Rejected.
    virtual void OnCancel();

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

  protected:
    void EndDialog(int result) { done(result); }
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int templateId_;
    DialogUnitConverter units_;
    ControlSet controls_;
};

}  // namespace sonoleaf::dialogs
