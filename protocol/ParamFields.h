#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace uhf {

// The fifteen one-byte fields of the reader's parameter record, in the record's order.
enum class ParamField {
    Param100,
    Param112,
    CardMode,
    IdBorderUponDifferent,
    Power,
    ConnectPort,
    PulseWidth,
    PulsePeriods,
    ExportTime,
    ExportDistance,
    LockedFrequency,
    Param132,
    Protocol,
    TimeDistance,
    Param137,
};

inline constexpr int kParamFieldCount = 15;

// A new value for one field, as given: one outside the field's range is refused, never cut down.
struct ParamChange {
    ParamField field;
    int value;
};

// One value of a field that the windows offer, in the order they list it.
struct ParamChoice {
    std::uint8_t value;
    const char* text;  // as the window lists it and the command line describes it
    const char* word;  // as the command line takes it; null where it takes a number
};

struct ParamFieldInfo {
    ParamField field;
    const char* name;  // the field's name, also its JSON key
    std::uint8_t address;
    const char* label;  // as the parameter window labels it; null for the four carried bytes
    // The values that may be written to the reader: what IsValid accepts.
    std::uint8_t low;
    std::uint8_t high;
    const char* unit;  // "us" or "ms" for a quantity, null for a plain number or a choice
    int scale;         // one step of the value in `unit`
    std::span<const ParamChoice> choices;
};

// Every field, in the record's order: ParamFields()[i].field is ParamField(i).
std::span<const ParamFieldInfo> ParamFields();
const ParamFieldInfo& FieldInfo(ParamField field);
// The field named `name`, or null.
const ParamFieldInfo* FindParamField(std::string_view name);
// The field at `address` of the parameter memory, or null.
const ParamFieldInfo* FieldAtAddress(int address);
// The choice of `field` whose value is `value`, or null.
const ParamChoice* FindChoice(const ParamFieldInfo& field, std::uint8_t value);
bool InValidRange(const ParamFieldInfo& field, int value);

// Locked frequency: 0 is hopping; channel n (1 to 50) is 902.5 MHz + (n - 1) x 0.5 MHz.
inline constexpr int kChannelCount = 50;
inline constexpr long kFirstChannelTenthsMHz = 9025;
inline constexpr long kChannelStepTenthsMHz = 5;

double ChannelMHz(int channel);
// The channel at a frequency given in tenths of a MHz, or nothing between channels.
std::optional<std::uint8_t> ChannelAtTenthsMHz(long tenths);
// "902.5 MHz": the channel as the frequency list shows it.
std::string ChannelText(int channel);

}  // namespace uhf
