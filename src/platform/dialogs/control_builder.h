#pragma once
// Turns a dialog template into widgets at their place: each control gets its id (the
// dynamic property "controlId", the object name "control_<id>", or "item_<index>" for
// controls without an id), an accessible name, and its place in the tab order.

#include <QIcon>
#include <functional>
#include <map>
#include <vector>

#include "platform/dialogs/dialog_template.h"
#include "platform/dialogs/dialog_units.h"

class QWidget;
class QButtonGroup;

namespace sonoleaf::dialogs {

using IconLookup = std::function<QIcon(int resource)>;

// The widgets of one template; the parent widget owns them all.
class ControlSet {
  public:
    QWidget* ById(int id) const;
    const std::vector<QWidget*>& InTemplateOrder() const { return ordered_; }
    const std::vector<QButtonGroup*>& RadioGroups() const { return radioGroups_; }

  private:
    friend ControlSet BuildControls(QWidget& parent, const DialogTemplate& dialogTemplate,
                                    const DialogUnitConverter& units, const IconLookup& icons);
    std::vector<QWidget*> ordered_;
    std::map<int, QWidget*> byId_;
    std::vector<QButtonGroup*> radioGroups_;
};

ControlSet BuildControls(QWidget& parent, const DialogTemplate& dialogTemplate,
                         const DialogUnitConverter& units, const IconLookup& icons);

// The text a control shows (caption, or what an edit holds), as window text.
QString ControlText(const QWidget& control);

}  // namespace sonoleaf::dialogs
