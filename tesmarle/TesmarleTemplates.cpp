#include "tesmarle/TesmarleTemplates.h"

#include "protocol/ParamFields.h"

namespace uhf {

namespace {

using K = ControlKind;

const char* const kDialogFont = "Times New Roman";

// A list's items: the field's choices, in the reader's order.
std::vector<std::string> ChoiceItems(ParamField field) {
    std::vector<std::string> items;
    for (const ParamChoice& choice : FieldInfo(field).choices) {
        items.emplace_back(choice.text);
    }
    return items;
}

}  // namespace

const DialogTemplate& ParamDialogTemplate() {
    static const DialogTemplate t{
        .title = "Tesmarle",
        .width = 285,
        .height = 229,
        .fontFamily = kDialogFont,
        .controls =
            {
                // Frames first: they lie beneath the controls they hold.
                {-1, K::GroupBox, "Port setting", 9, 7, 111, 76},
                {-1, K::GroupBox, "Communicate", 123, 7, 151, 168},
                {-1, K::GroupBox, "Communicate parameter", 131, 18, 137, 57},
                {-1, K::GroupBox, "Wiegand parameter", 129, 76, 139, 91},
                {-1, K::GroupBox, "Timer parameter", 9, 132, 112, 44},
                {-1, K::GroupBox, "Jump frequency setting", 10, 177, 265, 28},

                {-1, K::Label, "Port", 15, 23, 17, 8},
                {-1, K::Label, "Baudrate", 15, 42, 29, 8},
                {-1, K::Label, "Connect port", 135, 36, 39, 8},
                {-1, K::Label, "Protocol", 136, 52, 29, 8},
                {-1, K::Label, "Export time", 135, 95, 37, 8},
                {-1, K::Label, "Export distance", 135, 113, 44, 8},
                {-1, K::Label, "Pulse width", 135, 132, 36, 8},
                {-1, K::Label, "Pulse periods", 135, 151, 40, 8},
                {-1, K::Label, "Power", 19, 91, 21, 8},
                {-1, K::Label, "Time distance", 14, 146, 39, 8},
                {-1, K::Label, "*10us", 238, 132, 21, 8},
                {-1, K::Label, "*100us", 238, 150, 25, 8},
                {-1, K::Label, "*10ms", 97, 147, 24, 8},

                {kPortList, K::DropDownList, "", 47, 21, 57, 69},
                {kBaudList, K::DropDownList, "", 47, 40, 57, 64},
                {kConnectButton, K::PushButton, "Connnect", 18, 62, 44, 14},
                {kDisconnectButton, K::PushButton, "Disconnect", 70, 62, 42, 14},
                {kConnectPortList, K::DropDownList, "", 181, 34, 57, 58,
                 ChoiceItems(ParamField::ConnectPort)},
                {kProtocolList, K::DropDownList, "", 181, 51, 57, 51,
                 ChoiceItems(ParamField::Protocol)},
                {kExportTimeCombo, K::DropDownCombo, "", 181, 92, 58, 54,
                 ChoiceItems(ParamField::ExportTime)},
                {kExportDistanceList, K::DropDownList, "", 181, 110, 58, 86,
                 ChoiceItems(ParamField::ExportDistance)},
                {kPulseWidthEdit, K::DigitsEdit, "", 181, 129, 53, 14},
                {kPulsePeriodsEdit, K::DigitsEdit, "", 181, 148, 53, 14},
                {kPowerEdit, K::Edit, "", 48, 89, 52, 14},
                {kFrequencyList, K::DropDownList, "", 158, 187, 69, 85},
                {kSingleCardRadio, K::RadioButton, "Single-card", 17, 111, 50, 10, {}, true},
                {kMultiCardsRadio, K::RadioButton, "multi-cards", 72, 111, 48, 10},
                {kTimeDistanceEdit, K::DigitsEdit, "", 56, 144, 40, 14},
                {kIdBorderCheck, K::CheckBox, "ID border upon different", 15, 161, 82, 10},
                {kSetButton, K::PushButton, "Set", 20, 208, 50, 14},
                {kRefreshButton, K::PushButton, "Refresh data", 82, 208, 50, 14},
                {kJumpFrequencyRadio, K::RadioButton, "Jump frequency", 25, 189, 55, 10, {}, true},
                {kLockedFrequencyRadio, K::RadioButton, "Locked frequency", 87, 189, 63, 10},
                {kReadButton, K::PushButton, "Read", 148, 208, 50, 14},
                {kIdentifyButton, K::PushButton, "Identify6BTag", 214, 208, 50, 14},
            },
    };
    return t;
}

const DialogTemplate& TagDialogTemplate() {
    static const DialogTemplate t{
        .title = "",
        .width = 238,
        .height = 174,
        .fontFamily = kDialogFont,
        .resizable = true,
        .systemMenu = false,
        .controls =
            {
                {kTagList, K::VirtualListView, "", 11, 11, 216, 130},
                {kStatusLine, K::CenteredLabel, "", 13, 142, 212, 8},
                {kStartButton, K::PushButton, "Start", 13, 153, 50, 14},
                {kStopButton, K::PushButton, "Stop", 66, 153, 50, 14},
                {kClearButton, K::PushButton, "Clear", 119, 153, 50, 14},
                {kBackButton, K::DefaultPushButton, "Back", 172, 153, 50, 14},
            },
    };
    return t;
}

const DialogTemplate& AboutBoxTemplate() {
    static const DialogTemplate t{
        .title = "Tesmarle",
        .width = 235,
        .height = 55,
        .fontFamily = kDialogFont,
        .controls =
            {
                {kAboutIcon, K::Icon, "", 11, 17, 0, 0},
                {-1, K::Label, "Tesmarle 1.0 ", 40, 10, 79, 8},
                {kAboutOkButton, K::DefaultPushButton, "OK", 178, 7, 50, 14},
            },
    };
    return t;
}

}  // namespace uhf
