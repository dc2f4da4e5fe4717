#pragma once
// A line edit with a trailing browse button that picks a file (all files, unless the
// edit is given its own name filters) or a folder and puts its path into the edit.

#include <QLineEdit>
#include <QStringList>
#include <utility>

class QAction;

namespace sonoleaf::dialogs {

class BrowseEdit : public QLineEdit {
    Q_OBJECT

  public:
    enum class Mode { File, Folder };

    BrowseEdit(Mode mode, QWidget* parent);

    Mode BrowseMode() const { return mode_; }
    QAction* BrowseAction() const { return browseAction_; }

    // The filters the file picker offers, the first chosen at first, each such as
    // "PDF files (*.pdf)"; empty (the default) offers all files.
    void SetNameFilters(QStringList filters) { nameFilters_ = std::move(filters); }
    const QStringList& NameFilters() const { return nameFilters_; }

    // Opens the picker; the edit takes the chosen path, and keeps its text on cancel.
    void Browse();

  private:
    Mode mode_;
    QAction* browseAction_;
    QStringList nameFilters_;
};

}  // namespace sonoleaf::dialogs
