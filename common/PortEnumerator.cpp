#include "common/PortEnumerator.h"

#include <algorithm>
#include <utility>

namespace uhf {

std::vector<std::string> PortEnumerator::ListNamedThenSystemPorts(std::vector<std::string> named) {
    for (std::string& port : ListSystemPorts()) {
        named.push_back(std::move(port));
    }
    return named;
}

std::vector<PortInfo> PortEnumerator::ListNamedThenSystemPortDetails(
    const std::vector<std::string>& named) {
    std::vector<PortInfo> list;
    for (const std::string& name : named) {
        list.push_back(PortInfo{name});
    }
    for (PortInfo& port : ListSystemPortDetails()) {
        if (std::find(named.begin(), named.end(), port.path) == named.end()) {
            list.push_back(std::move(port));
        }
    }
    return list;
}

}  // namespace uhf
