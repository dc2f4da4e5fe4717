#include "ui/about_dlg.h"

#include <QAbstractButton>

#include "ui/art.h"
#include "ui/control_ids.h"
#include "ui/templates.h"

namespace sonoleaf {

CAboutDlg::CAboutDlg(QWidget* owner) : TemplateDialog(ui::AboutTemplate(), ui::IconFor, owner) {
    setWindowIcon(ui::IconFor(ui::kAppIcon));
    if (auto* ok = ControlAs<QAbstractButton>(dialogs::kIdOk)) {
        connect(ok, &QAbstractButton::clicked, this, &CAboutDlg::OnOK);
    }
}

}  // namespace sonoleaf
