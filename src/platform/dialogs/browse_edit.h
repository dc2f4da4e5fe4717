#pragma once
// A line edit with a trailing browse button that picks a file (all files) or a folder
// and puts its path into the edit.

#include <QLineEdit>

class QAction;

namespace sonoleaf::dialogs {

class BrowseEdit : public QLineEdit {
    Q_OBJECT

  public:
    enum class Mode { File, Folder };

    BrowseEdit(Mode mode, QWidget* parent);

    Mode BrowseMode() const { return mode_; }
    QAction* BrowseAction() const { return browseAction_; }

    // Opens the picker; the edit takes the chosen path, and keeps its text on cancel.
    void Browse();

  private:
    Mode mode_;
    QAction* browseAction_;
};

}  // namespace sonoleaf::dialogs
