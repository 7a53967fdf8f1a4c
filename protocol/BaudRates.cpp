#include "protocol/BaudRates.h"

#include <algorithm>

namespace uhf {

int BaudRateIndex(int rate) {
    const auto found = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
    return found == kBaudRates.end() ? -1 : static_cast<int>(found - kBaudRates.begin());
}

int BaudRateAt(int index) {
    if (index < 0 || index >= static_cast<int>(kBaudRates.size())) {
        return 0;
    }
    return kBaudRates[static_cast<std::size_t>(index)];
}

std::chrono::microseconds LineTime(std::size_t count, int baud) {
    if (baud <= 0) {
        return std::chrono::microseconds{0};
    }
    const long long bits = static_cast<long long>(count) * 10LL * 1'000'000LL;
    return std::chrono::microseconds{(bits + baud - 1) / baud};
}

}  // namespace uhf
