#pragma once

#include <string>
#include <vector>

namespace uhf {

// The kinds of control a dialog template places.
enum class ControlKind {
    GroupBox,
    Label,          // static text, left aligned
    CenteredLabel,  // static text, centred
    PushButton,
    DefaultPushButton,
    DropDownList,   // pick an item only
    DropDownCombo,  // edit field and sorted items
    Edit,           // any characters
    DigitsEdit,     // digits only
    ReadOnlyEdit,
    RadioButton,
    CheckBox,
    ListView,         // report view
    VirtualListView,  // report view whose rows are asked for when drawn, for lists that grow large
    ProgressBar,
    Icon,  // the dialog's window icon at its natural size
};

// One control of a dialog template, positioned in dialog units. Texts are UTF-8, so that the
// Qt and the Win32 windows are built from the same tables.
struct ControlTemplate {
    int id = -1;  // -1: a control the code never addresses (labels, frames)
    ControlKind kind = ControlKind::Label;
    std::string text;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::vector<std::string> items{};  // initial items of a list or combo box
    bool groupStart = false;           // a radio button that begins a new group
};

// A dialog as data, so that it can be read against its description control by control.
struct DialogTemplate {
    std::string title;
    int width = 0;
    int height = 0;
    std::string fontFamily;
    int pointSize = 9;
    bool resizable = false;  // a sizing frame instead of a fixed size
    bool systemMenu = true;  // without it the caption has no window menu, icon or close box
    std::vector<ControlTemplate> controls;
};

}  // namespace uhf
