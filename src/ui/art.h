#pragma once
// The program's own art from the Qt resources: icons 128 and 132, bitmap 137.

#include <QIcon>
#include <QPixmap>

namespace sonoleaf::ui {

// Registers the resources of the static resource library; safe to call again.
void InitResources();

// Every size of an icon resource; an empty icon for an unknown id.
QIcon IconFor(int resource);
QPixmap Bitmap(int resource);

// The sizes each icon resource comes in.
QList<int> IconSizes(int resource);
// The resource path of one size of an icon.
QString IconResourcePath(int resource, int size);

}  // namespace sonoleaf::ui
