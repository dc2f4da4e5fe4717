#include "platform/dialogs/browse_edit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStyle>

namespace sonoleaf::dialogs {

BrowseEdit::BrowseEdit(Mode mode, QWidget* parent) : QLineEdit(parent), mode_(mode) {
    const QStyle::StandardPixmap glyph =
        mode == Mode::File ? QStyle::SP_FileDialogStart : QStyle::SP_DirOpenIcon;
    browseAction_ = addAction(style()->standardIcon(glyph), QLineEdit::TrailingPosition);
    browseAction_->setText(mode == Mode::File ? tr("Browse for a file")
                                              : tr("Browse for a folder"));
    browseAction_->setToolTip(browseAction_->text());
    setProperty("browseMode", mode == Mode::File ? "file" : "folder");
    connect(browseAction_, &QAction::triggered, this, &BrowseEdit::Browse);
}

void BrowseEdit::Browse() {
    // Start where the typed path points, when it points anywhere that exists.
    const QFileInfo current(text());
    QString start;
    if (!text().isEmpty()) {
        start = current.isDir() ? current.absoluteFilePath() : current.absolutePath();
    }

    QFileDialog picker(window());
    picker.setObjectName(QStringLiteral("browsePicker"));
    if (!start.isEmpty() && QFileInfo(start).isDir()) picker.setDirectory(start);
    if (mode_ == Mode::File) {
        picker.setFileMode(QFileDialog::ExistingFile);
        if (nameFilters_.isEmpty()) {
            picker.setNameFilter(tr("All Files (*)"));
        } else {
            picker.setNameFilters(nameFilters_);
        }
        picker.setWindowTitle(tr("Open"));
        if (current.isFile()) picker.selectFile(current.absoluteFilePath());
    } else {
        picker.setFileMode(QFileDialog::Directory);
        picker.setOption(QFileDialog::ShowDirsOnly, true);
        picker.setWindowTitle(tr("Select Folder"));
    }
    if (picker.exec() != QDialog::Accepted) return;
    const QStringList chosen = picker.selectedFiles();
    if (chosen.isEmpty()) return;
    setText(QDir::toNativeSeparators(chosen.first()));
    setFocus();
}

}  // namespace sonoleaf::dialogs
