#include "cli/TesmarleFields.h"

#include <cctype>
#include <cstdio>
#include <set>

namespace uhf {

namespace {

using P = ReaderParams;

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

const char* ChoiceName(const std::string& field, int value) {
    if (field == "cardMode") {
        return value == 0 ? "Single-card" : value == 1 ? "multi-cards" : nullptr;
    }
    if (field == "idBorderUponDifferent") {
        return value == 0 ? "off" : value == 1 ? "on" : nullptr;
    }
    if (field == "connectPort") {
        return value == 1 ? "RS-485" : value == 2 ? "Wiegand" : nullptr;
    }
    if (field == "protocol") {
        static const char* const kNames[] = {"Wiegand26", "Wiegand34", "Wiegand32", "Wiegand40"};
        return value >= 1 && value <= 4 ? kNames[value - 1] : nullptr;
    }
    return nullptr;
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

const std::vector<TesmarleField>& TesmarleFields() {
    static const std::vector<TesmarleField> kFields{
        {"param100", &P::param100, false, nullptr, 0, 255},
        {"param112", &P::param112, false, nullptr, 0, 255},
        {"cardMode", &P::cardMode, true, "--card-mode", 0, 1},
        {"idBorderUponDifferent", &P::idBorderUponDifferent, true, "--id-border", 0, 1},
        {"power", &P::power, true, "--power", 0, 255},
        {"connectPort", &P::connectPort, true, "--connect-port", 1, 2},
        {"pulseWidth", &P::pulseWidth, true, "--pulse-width", 0, 255},
        {"pulsePeriods", &P::pulsePeriods, true, "--pulse-periods", 0, 255},
        {"exportTime", &P::exportTime, true, "--export-time", 1, 3},
        {"exportDistance", &P::exportDistance, true, "--export-distance", 1, 10},
        {"lockedFrequency", &P::lockedFrequency, true, "--frequency", 0, 50},
        {"param132", &P::param132, false, nullptr, 0, 255},
        {"protocol", &P::protocol, true, "--protocol", 1, 4},
        {"timeDistance", &P::timeDistance, true, "--time-distance", 0, 255},
        {"param137", &P::param137, false, nullptr, 0, 255},
    };
    return kFields;
}

int FindTesmarleField(const std::string& name) {
    const auto& fields = TesmarleFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (name == fields[i].name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double ChannelMHz(int channel) {
    return 902.5 + (channel - 1) * 0.5;
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
    const long offset = tenths - 9025;
    if (offset < 0 || offset % 5 != 0 || offset / 5 >= 50) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(offset / 5 + 1);
}

std::string DescribeFieldValue(int field, std::uint8_t value) {
    const std::string name = TesmarleFields()[static_cast<std::size_t>(field)].name;
    std::string text = std::to_string(value);
    if (const char* choice = ChoiceName(name, value)) {
        return text + " (" + choice + ")";
    }
    if (name == "cardMode" || name == "idBorderUponDifferent" || name == "connectPort" ||
        name == "protocol") {
        return text + " (not a listed choice)";
    }
    if (name == "pulseWidth") {
        return text + " (" + std::to_string(value * 10) + " us)";
    }
    if (name == "pulsePeriods") {
        return text + " (" + std::to_string(value * 100) + " us)";
    }
    if (name == "timeDistance") {
        return text + " (" + std::to_string(value * 10) + " ms)";
    }
    if (name == "exportDistance") {
        return text + " (" + std::to_string(value * 100) + " ms)";
    }
    if (name == "lockedFrequency") {
        if (value == 0) {
            return text + " (Jump frequency: hopping)";
        }
        if (value <= 50) {
            return text + " (Locked frequency " + Printf("%3.1f MHz", ChannelMHz(value)) + ")";
        }
        return text + " (no such channel)";
    }
    return text;
}

std::string FormatParamsText(const ReaderParams& params) {
    std::string out;
    const auto& fields = TesmarleFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string name = fields[i].name;
        name.resize(22, ' ');
        out +=
            name + " " + DescribeFieldValue(static_cast<int>(i), params.*fields[i].member) + "\n";
    }
    return out;
}

std::string FormatParamsJson(const ReaderParams& params) {
    std::string out = "{";
    const auto& fields = TesmarleFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += (i == 0 ? "\"" : ", \"") + std::string(fields[i].name) +
               "\": " + std::to_string(params.*fields[i].member);
    }
    return out + "}";
}

bool ParseParamsJson(const std::string& text, std::vector<FieldChange>& changes,
                     std::string& error) {
    std::vector<std::pair<std::string, long>> members;
    JsonObjectReader reader(text);
    if (!reader.Read(members, error)) {
        return false;
    }
    std::set<std::string> seen;
    std::vector<FieldChange> found;
    for (const auto& [key, value] : members) {
        if (!seen.insert(key).second) {
            error = "key \"" + key + "\" appears twice";
            return false;
        }
        const int index = FindTesmarleField(key);
        if (index < 0) {
            error = "unknown key \"" + key + "\"";
            return false;
        }
        const TesmarleField& field = TesmarleFields()[static_cast<std::size_t>(index)];
        if (value < 0 || value > 255) {
            error = "\"" + key + "\" must be a byte value 0 to 255, got " + std::to_string(value);
            return false;
        }
        if (!field.shown) {
            continue;  // carried as the reader holds it, never taken from a file
        }
        if (value < field.low || value > field.high) {
            error = "\"" + key + "\" must be " + std::to_string(field.low) + " to " +
                    std::to_string(field.high) + ", got " + std::to_string(value);
            return false;
        }
        found.push_back({index, static_cast<std::uint8_t>(value)});
    }
    changes = found;
    return true;
}

}  // namespace uhf
