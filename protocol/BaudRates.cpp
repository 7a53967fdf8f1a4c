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

}  // namespace uhf
