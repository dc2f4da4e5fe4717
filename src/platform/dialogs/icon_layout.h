#pragma once
// Where a minimised window paints its icon: centred in the client area, the odd pixel
// going to the left (top) margin.

#include <QPoint>
#include <QSize>

namespace sonoleaf::dialogs {

// x = (client width - icon width + 1) / 2, y likewise; divisions truncate towards zero.
constexpr QPoint CentredIconOrigin(QSize client, QSize icon) {
    return QPoint((client.width() - icon.width() + 1) / 2,
                  (client.height() - icon.height() + 1) / 2);
}

}  // namespace sonoleaf::dialogs
