#include "platform/dialogs/control_builder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>

#include "platform/dialogs/browse_edit.h"
#include "platform/dialogs/multi_line_edit.h"

namespace sonoleaf::dialogs {

namespace {

// An icon static: the icon drawn as large as fits, centred in the control's place.
class IconView : public QWidget {
  public:
    IconView(QIcon icon, QWidget* parent) : QWidget(parent), icon_(std::move(icon)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        const int side = std::min(width(), height());
        const QRect target((width() - side) / 2, (height() - side) / 2, side, side);
        QPainter painter(this);
        icon_.paint(&painter, target);
    }

  private:
    QIcon icon_;
};

QString Text(const ControlSpec& control) {
    return QString::fromUtf8(control.text ? control.text : "");
}

QWidget* Create(const ControlSpec& control, QWidget& parent, const IconLookup& icons,
                QButtonGroup*& radioGroup, std::vector<QButtonGroup*>& groups) {
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(Text(control), &parent);
            button->setAutoDefault(true);  // Enter on a focused button presses it
            // Qt also marks a focused button as default for a while; the template's
            // own default button is told by this property.
            button->setDefault(control.kind == ControlKind::DefaultPushButton);
            button->setProperty("defaultButton", control.kind == ControlKind::DefaultPushButton);
            return button;
        }
        case ControlKind::Edit:
            return new QLineEdit(&parent);
        case ControlKind::MultiLineEdit:
            return new MultiLineEdit(&parent);
        case ControlKind::BrowseFileEdit:
            return new BrowseEdit(BrowseEdit::Mode::File, &parent);
        case ControlKind::BrowseFolderEdit:
            return new BrowseEdit(BrowseEdit::Mode::Folder, &parent);
        case ControlKind::Static:
        case ControlKind::StaticCentred: {
            auto* label = new QLabel(Text(control), &parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(
                Qt::AlignTop |
                (control.kind == ControlKind::StaticCentred ? Qt::AlignHCenter : Qt::AlignLeft));
            return label;
        }
        case ControlKind::Icon:
            return new IconView(icons ? icons(control.resource) : QIcon(), &parent);
        case ControlKind::GroupBox: {
            auto* box = new QGroupBox(Text(control), &parent);
            // A frame only: clicks reach the controls drawn inside it.
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            return box;
        }
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(Text(control), &parent);
            if ((control.style & kGroup) || radioGroup == nullptr) {
                radioGroup = new QButtonGroup(&parent);
                radioGroup->setExclusive(true);
                groups.push_back(radioGroup);
            }
            radioGroup->addButton(radio, control.id);
            return radio;
        }
        case ControlKind::Trackbar: {
            auto* slider = new QSlider(Qt::Horizontal, &parent);
            slider->setTickPosition(QSlider::NoTicks);
            return slider;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(Text(control), &parent);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(&parent);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            return combo;
        }
    }
    return nullptr;
}

// The desktop font may be wider than the one the template was laid out for. A
// one-line static then grows to its caption (centred ones on both sides) instead of
// cutting it; every other control keeps its place exactly.
QRect FittedRect(const ControlSpec& control, const QWidget& widget,
                 const DialogUnitConverter& units) {
    QRect rect = units.ToPixels(control.x, control.y, control.width, control.height);
    // A drop-down list's template height includes the list it opens; closed, it is
    // as tall as its font needs.
    if (control.kind == ControlKind::ComboBox)
        rect.setHeight(std::min(rect.height(), widget.sizeHint().height()));
    const bool isStatic =
        control.kind == ControlKind::Static || control.kind == ControlKind::StaticCentred;
    if (!isStatic) return rect;
    const QFontMetrics metrics(widget.font());
    if (rect.height() >= 2 * metrics.height()) return rect;
    const int needed = metrics.horizontalAdvance(Text(control)) + 2;
    if (needed <= rect.width()) return rect;
    if (control.kind == ControlKind::StaticCentred) {
        rect.adjust(-(needed - rect.width()) / 2, 0, 0, 0);
    }
    rect.setWidth(needed);
    return rect;
}

bool TakesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::Static:
        case ControlKind::StaticCentred:
        case ControlKind::Icon:
        case ControlKind::GroupBox:
            return false;
        default:
            return true;
    }
}

}  // namespace

QWidget* ControlSet::ById(int id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? nullptr : found->second;
}

ControlSet BuildControls(QWidget& parent, const DialogTemplate& dialogTemplate,
                         const DialogUnitConverter& units, const IconLookup& icons) {
    ControlSet set;
    QButtonGroup* radioGroup = nullptr;
    std::vector<QWidget*> tabStops;
    std::vector<QWidget*> frames;

    for (std::size_t index = 0; index < dialogTemplate.controls.size(); ++index) {
        const ControlSpec& control = dialogTemplate.controls[index];
        if (control.kind != ControlKind::RadioButton) radioGroup = nullptr;
        QWidget* widget = Create(control, parent, icons, radioGroup, set.radioGroups_);
        widget->setGeometry(FittedRect(control, *widget, units));
        widget->setProperty("controlId", control.id);
        widget->setProperty("templateIndex", static_cast<int>(index));
        widget->setObjectName(control.id == kNoId ? QStringLiteral("item_%1").arg(index)
                                                  : QStringLiteral("control_%1").arg(control.id));
        if (control.text != nullptr && *control.text != '\0')
            widget->setAccessibleName(Text(control));
        if (TakesFocus(control.kind)) {
            if (control.style & kTabStop) {
                widget->setFocusPolicy(Qt::StrongFocus);
                tabStops.push_back(widget);
            } else {
                widget->setFocusPolicy(Qt::ClickFocus);
            }
        }
        if (control.kind == ControlKind::GroupBox) frames.push_back(widget);
        set.ordered_.push_back(widget);
        if (control.id != kNoId) set.byId_[control.id] = widget;
    }

    // Labels name the controls they stand for, so a screen reader reads the label
    // when the edit gets the focus.
    for (std::size_t index = 0; index < dialogTemplate.controls.size(); ++index) {
        const ControlSpec& control = dialogTemplate.controls[index];
        if (control.labels == kNoId) continue;
        QWidget* target = set.ById(control.labels);
        if (target == nullptr) continue;
        if (auto* label = qobject_cast<QLabel*>(set.ordered_[index])) label->setBuddy(target);
        target->setAccessibleName(Text(control));
    }

    for (std::size_t i = 1; i < tabStops.size(); ++i) {
        QWidget::setTabOrder(tabStops[i - 1], tabStops[i]);
    }
    for (QWidget* frame : frames) frame->lower();
    return set;
}

QString ControlText(const QWidget& control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) return edit->text();
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(&control)) {
        return multi->toPlainText();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) return box->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->currentText();
    if (const auto* slider = qobject_cast<const QSlider*>(&control)) {
        return QString::number(slider->value());
    }
    return control.windowTitle();
}

}  // namespace sonoleaf::dialogs
