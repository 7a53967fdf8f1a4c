#include "serial/qt/PortHandleChecks.h"

namespace uhf {

// Windows opens a COM port exclusively, names only serial devices COM, and Qt reports a removed
// device itself.
bool PortHandleChecks::Lock(long long) {
    return true;
}

bool PortHandleChecks::IsSerialLine(const std::string&) {
    return true;
}

bool PortHandleChecks::HasHungUp(long long) {
    return false;
}

}  // namespace uhf
