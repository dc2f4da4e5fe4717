#pragma once
// The About box (template 100).

#include "platform/dialogs/template_dialog.h"

namespace sonoleaf {

class CAboutDlg : public dialogs::TemplateDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* owner = nullptr);
};

}  // namespace sonoleaf
