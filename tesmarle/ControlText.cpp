#include "tesmarle/ControlText.h"

#include "protocol/ParamFields.h"

namespace uhf {

std::vector<std::string> FrequencyItems() {
    std::vector<std::string> items;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        items.push_back(ChannelText(channel));
    }
    return items;
}

std::string TagText(const std::uint8_t* record) {
    char text[8 * 3 + 1];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(text + i * 3, 4, "%.2X ", static_cast<unsigned>(record[i]));
    }
    return std::string(text, 8 * 3);
}

int ItemIndexForValue(std::uint8_t value, int itemCount) {
    const int index = static_cast<int>(value) - 1;
    return index >= 0 && index < itemCount ? index : -1;
}

}  // namespace uhf
