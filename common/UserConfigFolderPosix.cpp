#include <cstdlib>

#include "common/UserConfigFolder.h"

namespace uhf {

std::string UserConfigFolder::Find(const std::string& programName) {
    return FromXdg(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), programName);
}

}  // namespace uhf
