#include "common/NaturalPortOrder.h"

#include <algorithm>
#include <cstddef>

namespace uhf {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t DigitRunEnd(std::string_view text, std::size_t from) {
    return std::min(text.find_first_not_of("0123456789", from), text.size());
}

}  // namespace

bool NaturalPortOrder::operator()(std::string_view a, std::string_view b) const {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::size_t endA = DigitRunEnd(a, i);
            const std::size_t endB = DigitRunEnd(b, j);
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            // Compared by length without their leading zeros, then digit by digit: no run is
            // too long for this.
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            if (endA - i != endB - j) {
                return endA - i < endB - j;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace uhf
