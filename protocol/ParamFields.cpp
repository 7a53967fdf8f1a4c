#include "protocol/ParamFields.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

namespace uhf {

namespace {

constexpr ParamChoice kCardModes[] = {{0, "Single-card", "single"}, {1, "multi-cards", "multi"}};
constexpr ParamChoice kOnOff[] = {{0, "off", "off"}, {1, "on", "on"}};
constexpr ParamChoice kConnectPorts[] = {{1, "RS-485", "rs485"}, {2, "Wiegand", "wiegand"}};
// Not in ascending order: the reader numbers them so.
constexpr ParamChoice kProtocols[] = {{1, "Wiegand26", "wiegand26"},
                                      {2, "Wiegand34", "wiegand34"},
                                      {3, "Wiegand32", "wiegand32"},
                                      {4, "Wiegand40", "wiegand40"}};
constexpr ParamChoice kExportTimes[] = {{1, "1", nullptr}, {2, "2", nullptr}, {3, "3", nullptr}};
constexpr ParamChoice kExportDistances[] = {
    {1, "100ms", nullptr}, {2, "200ms", nullptr},  {3, "300ms", nullptr}, {4, "400ms", nullptr},
    {5, "500ms", nullptr}, {6, "600ms", nullptr},  {7, "700ms", nullptr}, {8, "800ms", nullptr},
    {9, "900ms", nullptr}, {10, "1000ms", nullptr}};

using F = ParamField;

constexpr std::array<ParamFieldInfo, kParamFieldCount> kFields{{
    {F::Param100, "param100", 100, nullptr, 0, 255, nullptr, 1, {}},
    {F::Param112, "param112", 112, nullptr, 1, 3, nullptr, 1, {}},
    {F::CardMode, "cardMode", 135, "Single-card/multi-cards", 0, 1, nullptr, 1, kCardModes},
    {F::IdBorderUponDifferent, "idBorderUponDifferent", 123, "ID border upon different", 0, 255,
     nullptr, 1, kOnOff},
    {F::Power, "power", 101, "Power", 0, 255, nullptr, 1, {}},
    {F::ConnectPort, "connectPort", 114, "Connect port", 1, 3, nullptr, 1, kConnectPorts},
    {F::PulseWidth, "pulseWidth", 116, "Pulse width", 0, 255, "us", 10, {}},
    {F::PulsePeriods, "pulsePeriods", 117, "Pulse periods", 0, 255, "us", 100, {}},
    {F::ExportTime, "exportTime", 118, "Export time", 0, 255, nullptr, 1, kExportTimes},
    {F::ExportDistance, "exportDistance", 119, "Export distance", 0, 255, "ms", 100,
     kExportDistances},
    {F::LockedFrequency, "lockedFrequency", 144, "Locked frequency", 0, 255, nullptr, 1, {}},
    {F::Param132, "param132", 132, nullptr, 0, 255, nullptr, 1, {}},
    {F::Protocol, "protocol", 115, "Protocol", 1, 4, nullptr, 1, kProtocols},
    {F::TimeDistance, "timeDistance", 113, "Time distance", 0, 255, "ms", 10, {}},
    {F::Param137, "param137", 137, nullptr, 0, 15, nullptr, 1, {}},
}};

constexpr bool InRecordOrder() {
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        if (static_cast<std::size_t>(kFields[i].field) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InRecordOrder(), "FieldInfo looks a field up by its place");

// The first element of `range` that `matches`, or null.
template <typename Range, typename Match>
auto FirstWhere(const Range& range, Match matches) -> decltype(&*std::begin(range)) {
    const auto found = std::find_if(std::begin(range), std::end(range), matches);
    return found == std::end(range) ? nullptr : &*found;
}

}  // namespace

std::span<const ParamFieldInfo> ParamFields() {
    return kFields;
}

const ParamFieldInfo& FieldInfo(ParamField field) {
    return kFields[static_cast<std::size_t>(field)];
}

const ParamFieldInfo* FindParamField(std::string_view name) {
    return FirstWhere(kFields, [name](const ParamFieldInfo& info) { return name == info.name; });
}

const ParamFieldInfo* FieldAtAddress(int address) {
    return FirstWhere(kFields,
                      [address](const ParamFieldInfo& info) { return info.address == address; });
}

const ParamChoice* FindChoice(const ParamFieldInfo& field, std::uint8_t value) {
    return FirstWhere(field.choices, [value](const ParamChoice& c) { return c.value == value; });
}

bool InValidRange(const ParamFieldInfo& field, int value) {
    return value >= field.low && value <= field.high;
}

double ChannelMHz(int channel) {
    return static_cast<double>(kFirstChannelTenthsMHz + (channel - 1) * kChannelStepTenthsMHz) /
           10.0;
}

std::optional<std::uint8_t> ChannelAtTenthsMHz(long tenths) {
    const long offset = tenths - kFirstChannelTenthsMHz;
    if (offset < 0 || offset % kChannelStepTenthsMHz != 0 ||
        offset / kChannelStepTenthsMHz >= kChannelCount) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(offset / kChannelStepTenthsMHz + 1);
}

std::string ChannelText(int channel) {
    char text[32];
    std::snprintf(text, sizeof text, "%3.1f MHz", ChannelMHz(channel));
    return text;
}

}  // namespace uhf
