#include "reader/ReaderParams.h"

namespace uhf {

namespace {

struct Bound {
    const char* name;
    std::uint8_t ReaderParams::*field;
    std::uint8_t low;
    std::uint8_t high;
};

// The checks of IsValid, in its order.
constexpr Bound kBounds[] = {
    {"param137", &ReaderParams::param137, 0, 15}, {"connectPort", &ReaderParams::connectPort, 1, 3},
    {"cardMode", &ReaderParams::cardMode, 0, 1},  {"param112", &ReaderParams::param112, 1, 3},
    {"protocol", &ReaderParams::protocol, 1, 4},
};

const Bound* FirstRefused(const ReaderParams& record) {
    for (const Bound& bound : kBounds) {
        const std::uint8_t value = record.*bound.field;
        if (value < bound.low || value > bound.high) {
            return &bound;
        }
    }
    return nullptr;
}

}  // namespace

int ReaderParams::IsValid() const {
    return FirstRefused(*this) == nullptr ? 1 : 0;
}

std::string ReaderParams::Refusal() const {
    const Bound* bound = FirstRefused(*this);
    if (bound == nullptr) {
        return {};
    }
    return std::string(bound->name) + " is " + std::to_string(this->*bound->field) + ", allowed " +
           std::to_string(bound->low) + " to " + std::to_string(bound->high);
}

bool operator==(const ReaderParams& a, const ReaderParams& b) {
    return a.param100 == b.param100 && a.param112 == b.param112 && a.cardMode == b.cardMode &&
           a.idBorderUponDifferent == b.idBorderUponDifferent && a.power == b.power &&
           a.connectPort == b.connectPort && a.pulseWidth == b.pulseWidth &&
           a.pulsePeriods == b.pulsePeriods && a.exportTime == b.exportTime &&
           a.exportDistance == b.exportDistance && a.lockedFrequency == b.lockedFrequency &&
           a.param132 == b.param132 && a.protocol == b.protocol &&
           a.timeDistance == b.timeDistance && a.param137 == b.param137;
}

}  // namespace uhf
