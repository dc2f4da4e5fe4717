#include "platform/dialogs/data_exchange.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <limits>

#include "platform/dialogs/message_box.h"

namespace sonoleaf::dialogs {

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

void ShowNotAnInteger(QLineEdit& field) {
    if (MessageBoxesRefused()) return;
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    QString::fromUtf8(kEnterAnInteger), QMessageBox::Ok, field.window());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    box.setProperty("messageText", box.text());
    box.setAccessibleName(box.windowTitle());
    box.setAccessibleDescription(box.text());
    TrackMessageBox(&box);
    box.exec();
}

}  // namespace

std::optional<std::int32_t> ParseDialogInteger(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    bool negative = false;
    if (begin < end && (text[begin] == u'+' || text[begin] == u'-')) {
        negative = text[begin] == u'-';
        ++begin;
    }
    if (begin == end) return std::nullopt;
    std::int64_t magnitude = 0;
    const std::int64_t limit =
        negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                 : std::numeric_limits<std::int32_t>::max();
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

bool ExchangeInteger(bool save, QLineEdit& field, std::int32_t& value) {
    if (!save) {
        field.setText(QString::number(value));
        return true;
    }
    const std::optional<std::int32_t> parsed = ParseDialogInteger(field.text());
    if (!parsed) {
        ShowNotAnInteger(field);
        field.setFocus(Qt::OtherFocusReason);
        field.selectAll();
        return false;
    }
    value = *parsed;
    return true;
}

}  // namespace sonoleaf::dialogs
