#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uhf {

// The 50 locked channels as the frequency list shows them: "902.5 MHz" to "927.0 MHz".
std::vector<std::string> FrequencyItems();

// The eight identifier bytes of one tag record, each as "%.2X " (24 characters).
std::string TagText(const std::uint8_t* record);

// The list index that shows a stored choice (value - 1), or -1 when no item stands for it.
int ItemIndexForValue(std::uint8_t value, int itemCount);

}  // namespace uhf
