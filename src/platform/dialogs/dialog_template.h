#pragma once
// Dialog templates as tables: one row per control, positions in dialog units, in
// template order (which is also the tab order).

#include <vector>

namespace sonoleaf::dialogs {

// Id of the controls that the code never addresses (the static texts, icons, frames).
inline constexpr int kNoId = -1;
// Ids of the standard dialog buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    Edit,           // single line, auto horizontal scroll
    MultiLineEdit,  // vertical scroll bar; does not take Enter as text
    BrowseFileEdit,
    BrowseFolderEdit,
    Static,
    StaticCentred,
    Icon,
    GroupBox,
    RadioButton,
    Trackbar,  // horizontal, no tick marks
    CheckBox,  // two states, off at first
    ComboBox,  // a drop-down list to pick from; its height is the open list's
};

enum Style : unsigned {
    kNoStyle = 0,
    kTabStop = 1u << 0,
    kGroup = 1u << 1,  // starts a group (radio buttons)
};

struct ControlSpec {
    int id;
    ControlKind kind;
    // Caption in UTF-8. For an icon, the name read out by screen readers.
    const char* text;
    int x, y, width, height;  // dialog units
    unsigned style = kNoStyle;
    // For a static text that labels a control: that control's id.
    int labels = kNoId;
    // For an icon: the icon resource it shows.
    int resource = 0;
};

struct DialogTemplate {
    int id;
    const char* title;  // UTF-8
    int width, height;  // client area, dialog units
    std::vector<ControlSpec> controls;
};

}  // namespace sonoleaf::dialogs
