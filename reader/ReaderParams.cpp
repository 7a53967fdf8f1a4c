#include "reader/ReaderParams.h"

namespace uhf {

int ReaderParams::IsValid() const {
    if (param137 > 15) {
        return 0;
    }
    if (connectPort < 1 || connectPort > 3) {
        return 0;
    }
    if (cardMode > 1) {
        return 0;
    }
    if (param112 < 1 || param112 > 3) {
        return 0;
    }
    if (protocol < 1 || protocol > 4) {
        return 0;
    }
    return 1;
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
