#include "common/PortEnumerator.h"

#include <utility>

namespace uhf {

std::vector<std::string> PortEnumerator::ListNamedThenSystemPorts(std::vector<std::string> named) {
    for (std::string& port : ListSystemPorts()) {
        named.push_back(std::move(port));
    }
    return named;
}

}  // namespace uhf
