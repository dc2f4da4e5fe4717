#include "ui/about_dlg.h"

#include <QAbstractButton>
#include <QLabel>

#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/templates.h"

namespace sonoleaf {

CAboutDlg::CAboutDlg(QWidget* owner) : TemplateDialog(ui::AboutTemplate(), ui::IconFor, owner) {
    setWindowIcon(ui::IconFor(ui::kAppIcon));
    if (auto* ok = ControlAs<QAbstractButton>(dialogs::kIdOk)) {
        connect(ok, &QAbstractButton::clicked, this, &CAboutDlg::OnOK);
    }
    const QString licence = QString::fromUtf8(ui::kLicenceNotice);
    setAccessibleDescription(licence);
    for (QWidget* control : Controls().InTemplateOrder()) {
        auto* label = qobject_cast<QLabel*>(control);
        if (label == nullptr || label->text() != QString::fromUtf8(ui::kAboutNotice)) continue;
        label->setToolTip(licence);
        label->setAccessibleDescription(licence);
    }
}

}  // namespace sonoleaf
