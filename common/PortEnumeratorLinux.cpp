#include "common/PortEnumerator.h"
#include "common/SysfsPortScanner.h"

namespace uhf {

std::vector<std::string> PortEnumerator::ListSystemPorts() {
    return SysfsPortScanner().Scan();
}

std::vector<PortInfo> PortEnumerator::ListSystemPortDetails() {
    return SysfsPortScanner().ScanDetails();
}

}  // namespace uhf
