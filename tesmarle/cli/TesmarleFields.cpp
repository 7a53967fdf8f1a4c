#include "tesmarle/cli/TesmarleFields.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace uhf {

namespace {

using F = ParamField;

// Fields whose choices have names on the command line, rather than numbers.
bool HasWords(const ParamFieldInfo& info) {
    return !info.choices.empty() && info.choices.front().word != nullptr;
}

struct FieldOption {
    const char* option;
    ParamField field;
    const char* accepts;
};

constexpr FieldOption kFieldOptions[] = {
    {"--power", F::Power, "a number from 0 to 255"},
    {"--card-mode", F::CardMode, "single or multi"},
    {"--time-distance", F::TimeDistance, "a number from 0 to 255 (units of 10 ms)"},
    {"--id-border", F::IdBorderUponDifferent, "on or off"},
    {"--connect-port", F::ConnectPort, "rs485 or wiegand"},
    {"--protocol", F::Protocol, "wiegand26, wiegand34, wiegand32 or wiegand40"},
    {"--export-time", F::ExportTime, "1, 2 or 3"},
    {"--export-distance", F::ExportDistance, "100, 200, ... or 1000 (ms)"},
    {"--pulse-width", F::PulseWidth, "a number from 0 to 255 (units of 10 us)"},
    {"--pulse-periods", F::PulsePeriods, "a number from 0 to 255 (units of 100 us)"},
    {"--frequency", F::LockedFrequency, "hop or a channel from 902.5 to 927.0 MHz in steps of 0.5"},
};

const FieldOption* FindFieldOption(const std::string& option) {
    const auto found = std::find_if(std::begin(kFieldOptions), std::end(kFieldOptions),
                                    [&](const FieldOption& o) { return option == o.option; });
    return found != std::end(kFieldOptions) ? found : nullptr;
}

// The field's value from an option's text: a choice's word, a listed choice in the field's unit
// (export time 2, export distance 300 ms), the frequency, or a number in the field's range.
std::optional<std::uint8_t> FieldValueFromText(const ParamFieldInfo& info,
                                               const std::string& text) {
    if (info.field == F::LockedFrequency) {
        return ParseFrequency(text);
    }
    if (HasWords(info)) {
        const auto choice = std::find_if(info.choices.begin(), info.choices.end(),
                                         [&](const ParamChoice& c) { return text == c.word; });
        return choice != info.choices.end() ? std::optional<std::uint8_t>(choice->value)
                                            : std::nullopt;
    }
    if (!info.choices.empty()) {
        const auto number = ParseWholeNumber(text, 0, 9999999);
        if (!number || *number % info.scale != 0 || *number / info.scale > 255) {
            return std::nullopt;
        }
        const ParamChoice* choice =
            FindChoice(info, static_cast<std::uint8_t>(*number / info.scale));
        return choice != nullptr ? std::optional<std::uint8_t>(choice->value) : std::nullopt;
    }
    if (const auto number = ParseWholeNumber(text, info.low, info.high)) {
        return static_cast<std::uint8_t>(*number);
    }
    return std::nullopt;
}

// A small JSON reader for one flat object of whole numbers, enough for `read --json` output.
class JsonObjectReader {
  public:
    explicit JsonObjectReader(const std::string& text) : text(text) {}

    bool Read(std::vector<std::pair<std::string, long>>& members, std::string& error) {
        SkipBlanks();
        if (!Take('{')) {
            return Fail("expected '{' at the start", error);
        }
        SkipBlanks();
        if (Take('}')) {
            return End(error);
        }
        while (true) {
            std::string key;
            long value = 0;
            SkipBlanks();
            if (!ReadString(key, error)) {
                return false;
            }
            SkipBlanks();
            if (!Take(':')) {
                return Fail("expected ':' after \"" + key + "\"", error);
            }
            SkipBlanks();
            if (!ReadNumber(value)) {
                return Fail("the value of \"" + key + "\" is not a whole number", error);
            }
            members.emplace_back(key, value);
            SkipBlanks();
            if (Take('}')) {
                return End(error);
            }
            if (!Take(',')) {
                return Fail("expected ',' or '}' after \"" + key + "\"", error);
            }
        }
    }

  private:
    bool End(std::string& error) {
        SkipBlanks();
        return pos == text.size() || Fail("unexpected text after the object", error);
    }
    bool Fail(const std::string& what, std::string& error) {
        error = what + " (at byte " + std::to_string(pos) + ")";
        return false;
    }
    void SkipBlanks() {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])) != 0) {
            ++pos;
        }
    }
    bool Take(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool ReadString(std::string& out, std::string& error) {
        if (!Take('"')) {
            return Fail("expected a quoted key", error);
        }
        while (pos < text.size() && text[pos] != '"') {
            if (text[pos] == '\\' || static_cast<unsigned char>(text[pos]) < 0x20) {
                return Fail("unexpected character in a key", error);
            }
            out += text[pos++];
        }
        return Take('"') || Fail("unterminated key", error);
    }
    bool ReadNumber(long& out) {
        const std::size_t start = pos;
        bool negative = Take('-');
        long value = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
            if (value > 100000) {
                return false;
            }
            value = value * 10 + (text[pos++] - '0');
        }
        if (pos == start + (negative ? 1u : 0u)) {
            return false;
        }
        // A fraction or exponent is not a whole byte value.
        if (pos < text.size() && (text[pos] == '.' || text[pos] == 'e' || text[pos] == 'E')) {
            return false;
        }
        out = negative ? -value : value;
        return true;
    }

    const std::string& text;
    std::size_t pos = 0;
};

}  // namespace

std::optional<long> ParseWholeNumber(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 7) {
        return std::nullopt;
    }
    long value = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> FieldOptionNames() {
    std::vector<std::string> names;
    for (const FieldOption& option : kFieldOptions) {
        names.emplace_back(option.option);
    }
    return names;
}

bool ParseFieldOption(const std::string& option, const std::string& text, ParamChange& change,
                      std::string& error) {
    const FieldOption* found = FindFieldOption(option);
    if (found == nullptr) {
        error = "unknown option " + option;
        return false;
    }
    const auto value = FieldValueFromText(FieldInfo(found->field), text);
    if (!value) {
        error = option + ": expected " + found->accepts + ", got '" + text + "'";
        return false;
    }
    change = {found->field, *value};
    return true;
}

std::optional<std::uint8_t> ParseFrequency(const std::string& text) {
    if (text == "hop") {
        return 0;
    }
    // Work in tenths of a MHz from the digits, so that no rounding can pick a wrong channel.
    long tenths = 0;
    std::size_t i = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
        if (i >= 4) {
            return std::nullopt;
        }
        tenths = tenths * 10 + (text[i] - '0');
    }
    if (i == 0) {
        return std::nullopt;
    }
    tenths *= 10;
    if (i < text.size()) {
        if (text[i] != '.' || i + 1 >= text.size()) {
            return std::nullopt;
        }
        for (std::size_t d = i + 1; d < text.size(); ++d) {
            if (std::isdigit(static_cast<unsigned char>(text[d])) == 0) {
                return std::nullopt;
            }
            if (d == i + 1) {
                tenths += text[d] - '0';
            } else if (text[d] != '0') {
                return std::nullopt;
            }
        }
    }
    return ChannelAtTenthsMHz(tenths);
}

std::string DescribeFieldValue(ParamField field, std::uint8_t value) {
    const ParamFieldInfo& info = FieldInfo(field);
    const std::string text = std::to_string(value);
    if (HasWords(info)) {
        const ParamChoice* choice = FindChoice(info, value);
        return text + " (" + (choice != nullptr ? choice->text : "not a listed choice") + ")";
    }
    if (info.unit != nullptr) {
        return text + " (" + std::to_string(value * info.scale) + " " + info.unit + ")";
    }
    if (info.field == F::LockedFrequency) {
        if (value == 0) {
            return text + " (Jump frequency: hopping)";
        }
        if (value <= kChannelCount) {
            return text + " (Locked frequency " + ChannelText(value) + ")";
        }
        return text + " (no such channel)";
    }
    return text;
}

std::string FormatParamsText(const ReaderParams& params) {
    std::string out;
    for (const ParamFieldInfo& info : ParamFields()) {
        std::string name = info.name;
        name.resize(22, ' ');
        out += name + " " + DescribeFieldValue(info.field, params[info.field]) + "\n";
    }
    return out;
}

std::string FormatParamsJson(const ReaderParams& params) {
    std::string out = "{";
    for (const ParamFieldInfo& info : ParamFields()) {
        out += (info.field == ParamField::Param100 ? "\"" : ", \"") + std::string(info.name) +
               "\": " + std::to_string(params[info.field]);
    }
    return out + "}";
}

bool ParseParamsJson(const std::string& text, std::vector<ParamChange>& changes,
                     std::string& error) {
    std::vector<std::pair<std::string, long>> members;
    JsonObjectReader reader(text);
    if (!reader.Read(members, error)) {
        return false;
    }
    std::set<std::string> seen;
    std::vector<ParamChange> found;
    for (const auto& [key, value] : members) {
        if (!seen.insert(key).second) {
            error = "key \"" + key + "\" appears twice";
            return false;
        }
        const ParamFieldInfo* field = FindParamField(key);
        if (field == nullptr) {
            error = "unknown key \"" + key + "\"";
            return false;
        }
        if (value < 0 || value > 255) {
            error = "\"" + key + "\" must be a byte value 0 to 255, got " + std::to_string(value);
            return false;
        }
        if (field->label == nullptr) {
            continue;  // carried as the reader holds it, never taken from a file
        }
        if (!InValidRange(*field, static_cast<int>(value))) {
            error = "\"" + key + "\" must be " + std::to_string(field->low) + " to " +
                    std::to_string(field->high) + ", got " + std::to_string(value);
            return false;
        }
        found.push_back({field->field, static_cast<int>(value)});
    }
    changes = found;
    return true;
}

}  // namespace uhf
