#include "protocol/BaudRates.h"

namespace uhf {

int BaudRateIndex(int rate) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == rate) {
            return static_cast<int>(i);
        }
    }
    return -1;
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
