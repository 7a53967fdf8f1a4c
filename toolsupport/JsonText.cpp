#include "toolsupport/JsonText.h"

#include <cstdio>

namespace uhf {

std::string JsonText(const std::string& text) {
    if (text.empty()) {
        return "null";
    }
    std::string json = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string JsonTextList(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (const std::string& text : texts) {
        json += (json.size() > 1 ? ", " : "") + JsonText(text);
    }
    return json + "]";
}

}  // namespace uhf
