#pragma once
// Compares a built dialog with an expected template table, one control at a time.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "support/gui_test_base.h"
#include "ui/template_tables.h"

namespace sonoleaf::testing {

// The widget that stands for `expected`: by id, by text for id-less statics and
// frames, by place for icons.
inline QWidget* Locate(const QWidget& dialog, const ExpectedControl& expected) {
    if (expected.id != -1) return FindControl(dialog, expected.id);
    if (expected.kind != Kind::Icon) return FindItemByText(dialog, expected.text);
    const QPoint place = DluToPixels(dialog, expected.x, expected.y, 0, 0).topLeft();
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (child->property("controlId").toInt() == -1 && child->pos() == place &&
            qobject_cast<QLabel*>(child) == nullptr && qobject_cast<QGroupBox*>(child) == nullptr) {
            return child;
        }
    }
    return nullptr;
}

inline bool IsKind(const QWidget& w, Kind kind) {
    switch (kind) {
        case Kind::Button: {
            const auto* b = qobject_cast<const QPushButton*>(&w);
            return b != nullptr && !b->property("defaultButton").toBool();
        }
        case Kind::DefaultButton: {
            const auto* b = qobject_cast<const QPushButton*>(&w);
            return b != nullptr && b->property("defaultButton").toBool();
        }
        case Kind::Edit:
            return qobject_cast<const QLineEdit*>(&w) != nullptr &&
                   !w.property("browseMode").isValid();
        case Kind::MultiLine:
            return qobject_cast<const QPlainTextEdit*>(&w) != nullptr;
        case Kind::BrowseFile:
            return qobject_cast<const QLineEdit*>(&w) != nullptr &&
                   w.property("browseMode") == "file";
        case Kind::BrowseFolder:
            return qobject_cast<const QLineEdit*>(&w) != nullptr &&
                   w.property("browseMode") == "folder";
        case Kind::Static:
            return qobject_cast<const QLabel*>(&w) != nullptr;
        case Kind::Icon:
            return qobject_cast<const QLabel*>(&w) == nullptr &&
                   qobject_cast<const QAbstractButton*>(&w) == nullptr;
        case Kind::Group:
            return qobject_cast<const QGroupBox*>(&w) != nullptr;
        case Kind::Radio:
            return qobject_cast<const QRadioButton*>(&w) != nullptr;
        case Kind::CheckBox:
            return qobject_cast<const QCheckBox*>(&w) != nullptr;
        case Kind::ComboBox:
            return qobject_cast<const QComboBox*>(&w) != nullptr;
        case Kind::Trackbar: {
            const auto* s = qobject_cast<const QSlider*>(&w);
            return s != nullptr && s->orientation() == Qt::Horizontal &&
                   s->tickPosition() == QSlider::NoTicks;
        }
    }
    return false;
}

// Empty when the control matches, else what is wrong.
inline QString CheckControl(const QWidget& dialog, const ExpectedControl& expected) {
    const QWidget* w = Locate(dialog, expected);
    if (w == nullptr) return QStringLiteral("control not found");
    if (!IsKind(*w, expected.kind))
        return QStringLiteral("wrong kind: %1").arg(w->metaObject()->className());
    if (expected.id != -1 && w->objectName() != QStringLiteral("control_%1").arg(expected.id)) {
        return QStringLiteral("object name %1").arg(w->objectName());
    }
    if (expected.kind != Kind::Icon && expected.kind != Kind::Trackbar &&
        TextOf(*w) != expected.text) {
        return QStringLiteral("text \"%1\"").arg(TextOf(*w));
    }
    QRect want = DluToPixels(dialog, expected.x, expected.y, expected.w, expected.h);
    const QRect got = w->geometry();
    if (expected.kind == Kind::ComboBox)
        want.setHeight(std::min(want.height(), w->sizeHint().height()));
    if (expected.kind == Kind::Static && got != want) {
        // A one-line caption wider than its box may widen it; its line stays put.
        const int caption = QFontMetrics(w->font()).horizontalAdvance(expected.text);
        const bool widened = caption > want.width() && got.width() >= caption &&
                             got.y() == want.y() && got.height() == want.height() &&
                             got.left() <= want.left();
        if (!widened) {
            return QStringLiteral("geometry %1,%2 %3x%4, expected %5,%6 %7x%8")
                .arg(got.x())
                .arg(got.y())
                .arg(got.width())
                .arg(got.height())
                .arg(want.x())
                .arg(want.y())
                .arg(want.width())
                .arg(want.height());
        }
    } else if (got != want) {
        return QStringLiteral("geometry %1,%2 %3x%4, expected %5,%6 %7x%8")
            .arg(got.x())
            .arg(got.y())
            .arg(got.width())
            .arg(got.height())
            .arg(want.x())
            .arg(want.y())
            .arg(want.width())
            .arg(want.height());
    }
    if (w->parentWidget() != &dialog) return QStringLiteral("not a direct child of the dialog");
    return {};
}

inline void AddControlRows(const std::vector<ExpectedControl>& controls) {
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& c = controls[i];
        const QString name =
            c.id != -1
                ? QString::number(c.id)
                : (c.text.isEmpty() ? QStringLiteral("icon@%1,%2").arg(c.x).arg(c.y) : c.text);
        QTest::newRow(qPrintable(name)) << static_cast<int>(i);
    }
}

// The tab stops in template order must be the focus chain's order.
inline QString CheckTabOrder(const QWidget& dialog, const std::vector<ExpectedControl>& controls) {
    QList<QWidget*> expected;
    for (const ExpectedControl& c : controls) {
        if (c.kind == Kind::Static || c.kind == Kind::Icon || c.kind == Kind::Group) continue;
        expected << Locate(dialog, c);
    }
    QWidget* w = expected.first();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        do {
            w = w->nextInFocusChain();
        } while (w != expected.first() && !(w->focusPolicy() & Qt::TabFocus));
        if (w != expected[i]) {
            return QStringLiteral("after %1 comes %2, expected %3")
                .arg(expected[i - 1]->objectName(), w->objectName(), expected[i]->objectName());
        }
    }
    return {};
}

}  // namespace sonoleaf::testing
