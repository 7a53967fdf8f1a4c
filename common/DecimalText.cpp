#include "common/DecimalText.h"

#include <climits>
#include <cstddef>

namespace uhf {

int DecimalText::Read(std::string_view text) {
    std::size_t i = 0;
    const auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
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
