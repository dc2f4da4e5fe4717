#pragma once
// A multi-line edit as dialogs have it: Enter is left to the dialog (which runs its
// OK path), Ctrl+Enter breaks the line.

#include <QPlainTextEdit>

namespace sonoleaf::dialogs {

class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit MultiLineEdit(QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace sonoleaf::dialogs
