#include "platform/dialogs/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <cstdint>
#include <cstdlib>

namespace sonoleaf::dialogs {

namespace {

// The same sample and rounding as the dialog manager's base units: the width of the
// 52 Latin letters, per letter, rounded.
int AverageWidthOf(const QFontMetrics& metrics) {
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (total / 26 + 1) / 2;
}

}  // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogUnitConverter::DialogUnitConverter(const QFont& dialogFont) {
    const QFontMetrics metrics(dialogFont);
    averageCharWidth_ = AverageWidthOf(metrics);
    charHeight_ = metrics.height();
}

int DialogUnitConverter::XToPixels(int x) const {
    return MulDiv(x, averageCharWidth_, 4);
}

int DialogUnitConverter::YToPixels(int y) const {
    return MulDiv(y, charHeight_, 8);
}

QRect DialogUnitConverter::ToPixels(int x, int y, int width, int height) const {
    return QRect(XToPixels(x), YToPixels(y), XToPixels(width), YToPixels(height));
}

QFont StandardDialogFont() {
    return QApplication::font();
}

}  // namespace sonoleaf::dialogs
