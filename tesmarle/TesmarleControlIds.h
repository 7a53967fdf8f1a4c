#pragma once

namespace uhf {

// Control identifiers of the parameter dialog.
enum ParamControlId {
    kPortList = 1000,
    kBaudList = 1001,
    kConnectButton = 1002,
    kDisconnectButton = 1003,
    kConnectPortList = 1004,
    kProtocolList = 1005,
    kExportTimeCombo = 1006,
    kExportDistanceList = 1007,
    kPulseWidthEdit = 1008,
    kPulsePeriodsEdit = 1009,
    kPowerEdit = 1011,
    kFrequencyList = 1015,
    kSingleCardRadio = 1016,
    kMultiCardsRadio = 1017,
    kTimeDistanceEdit = 1018,
    kIdBorderCheck = 1019,
    kSetButton = 1020,
    kRefreshButton = 1021,
    kJumpFrequencyRadio = 1023,
    kLockedFrequencyRadio = 1024,
    kReadButton = 1025,
    kIdentifyButton = 1026,
};

// Control identifiers of the tag identification dialog.
enum TagControlId {
    kBackButton = 1,
    kStartButton = 1026,
    kTagList = 1027,
    kStopButton = 1029,
    kClearButton = 1031,
    kStatusLine = 1030,
};

// Control identifiers of the about box.
enum AboutControlId {
    kAboutOkButton = 1,
    kAboutIcon = 2,
};

}  // namespace uhf
