#include "common/DecimalText.h"

#include <algorithm>
#include <climits>
#include <cstddef>

namespace uhf {

int DecimalText::Read(std::string_view text) {
    std::size_t i = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;  // stay clamped; keep consuming digits
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace uhf
