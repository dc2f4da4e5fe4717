#include "ui/art.h"

#include <mutex>

#include "ui/control_ids.h"

// Outside any namespace, as the resource registration wants.
static void RegisterSonoleafResources() {
    Q_INIT_RESOURCE(sonoleaf);
}

namespace sonoleaf::ui {

void InitResources() {
    static std::once_flag once;
    std::call_once(once, RegisterSonoleafResources);
}

QList<int> IconSizes(int resource) {
    switch (resource) {
        case kAppIcon:
            return {16, 20, 24, 32, 40, 48, 64, 96, 128};
        case kMakerIcon:
            return {16, 32, 48, 64, 128, 256};
        default:
            return {};
    }
}

QString IconResourcePath(int resource, int size) {
    return QStringLiteral(":/icons/%1/%2.png").arg(resource).arg(size);
}

QIcon IconFor(int resource) {
    InitResources();
    QIcon icon;
    for (int size : IconSizes(resource)) {
        icon.addFile(IconResourcePath(resource, size), QSize(size, size));
    }
    return icon;
}

QPixmap Bitmap(int resource) {
    InitResources();
    return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(resource));
}

}  // namespace sonoleaf::ui
