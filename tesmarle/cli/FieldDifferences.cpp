#include "tesmarle/cli/FieldDifferences.h"

namespace uhf {

namespace {

std::string SideWords(ParamField field, const std::optional<std::uint8_t>& value) {
    return value ? FieldWords(field, *value) : "(not given)";
}

}  // namespace

FieldValues ValuesOf(const std::vector<ParamChange>& changes) {
    FieldValues values;
    for (const ParamChange& change : changes) {
        values[static_cast<std::size_t>(change.field)] = static_cast<std::uint8_t>(change.value);
    }
    return values;
}

FieldValues ValuesOf(const ReaderParams& params, const FieldValues& names) {
    FieldValues values;
    for (const ParamFieldInfo& info : ParamFields()) {
        if (names[static_cast<std::size_t>(info.field)]) {
            values[static_cast<std::size_t>(info.field)] = params[info.field];
        }
    }
    return values;
}

std::string FieldWords(ParamField field, std::uint8_t value) {
    const ParamFieldInfo& info = FieldInfo(field);
    if (const ParamChoice* choice = FindChoice(info, value); choice != nullptr) {
        return choice->text;
    }
    const std::string number = std::to_string(value);
    if (!info.choices.empty()) {
        return number + " (not a listed choice)";
    }
    if (info.unit != nullptr) {
        return std::to_string(value * info.scale) + " " + info.unit;
    }
    if (info.field == ParamField::LockedFrequency) {
        if (value == 0) {
            return "hop";
        }
        return value <= kChannelCount ? ChannelText(value) : number + " (no such channel)";
    }
    return number;
}

std::vector<std::string> DescribeDifferences(const FieldValues& from, const FieldValues& to) {
    std::vector<std::string> lines;
    for (const ParamFieldInfo& info : ParamFields()) {
        const auto i = static_cast<std::size_t>(info.field);
        if (from[i] != to[i]) {
            lines.push_back(std::string(info.name) + ": " + SideWords(info.field, from[i]) +
                            " \u2192 " + SideWords(info.field, to[i]));
        }
    }
    return lines;
}

}  // namespace uhf
