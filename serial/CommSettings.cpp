#include "serial/CommSettings.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace uhf {

namespace {

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else if (c != ' ') {
            fields.back() += c;
        }
    }
    return fields;
}

bool ToInt(const std::string& field, int& value) {
    if (field.empty()) {
        return false;
    }
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool CommSettings::Parse(const std::string& text, CommSettings& out) {
    const std::vector<std::string> fields = SplitFields(text);
    if (fields.size() != 4) {
        return false;
    }
    CommSettings parsed;
    if (!ToInt(fields[0], parsed.baudRate) || parsed.baudRate <= 0) {
        return false;
    }
    if (fields[1].size() != 1) {
        return false;
    }
    parsed.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    if (std::string("NEOMS").find(parsed.parity) == std::string::npos) {
        return false;
    }
    if (!ToInt(fields[2], parsed.dataBits) || parsed.dataBits < 5 || parsed.dataBits > 8) {
        return false;
    }
    if (fields[3] == "1") {
        parsed.stopBitsTenths = 10;
    } else if (fields[3] == "1.5") {
        parsed.stopBitsTenths = 15;
    } else if (fields[3] == "2") {
        parsed.stopBitsTenths = 20;
    } else {
        return false;
    }
    out = parsed;
    return true;
}

}  // namespace uhf
