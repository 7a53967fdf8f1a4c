#include "tesmarle/cli/FieldDifferences.h"

namespace uhf {

namespace {

std::string SideWords(int field, const std::optional<std::uint8_t>& value) {
    return value ? FieldWords(field, *value) : "(not given)";
}

}  // namespace

FieldValues ValuesOf(const std::vector<FieldChange>& changes) {
    FieldValues values;
    for (const FieldChange& change : changes) {
        if (change.field >= 0 && change.field < kParamFieldCount) {
            values[static_cast<std::size_t>(change.field)] = change.value;
        }
    }
    return values;
}

FieldValues ValuesOf(const ReaderParams& params, bool shownOnly) {
    FieldValues values;
    for (const ParamFieldInfo& info : ParamFields()) {
        if (info.shown || !shownOnly) {
            values[static_cast<std::size_t>(info.field)] = params[info.field];
        }
    }
    return values;
}

FieldValues Restricted(const FieldValues& values, const FieldValues& names) {
    FieldValues kept;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (names[i]) {
            kept[i] = values[i];
        }
    }
    return kept;
}

std::string FieldWords(int field, std::uint8_t value) {
    const ParamFieldInfo& info = FieldInfo(static_cast<ParamField>(field));
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

std::vector<int> DifferingFields(const FieldValues& a, const FieldValues& b) {
    std::vector<int> fields;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            fields.push_back(static_cast<int>(i));
        }
    }
    return fields;
}

std::vector<std::string> DescribeDifferences(const FieldValues& from, const FieldValues& to) {
    std::vector<std::string> lines;
    for (int field : DifferingFields(from, to)) {
        const auto i = static_cast<std::size_t>(field);
        lines.push_back(std::string(ParamFields()[i].name) + ": " + SideWords(field, from[i]) +
                        " \u2192 " + SideWords(field, to[i]));
    }
    return lines;
}

}  // namespace uhf
