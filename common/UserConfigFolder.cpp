#include "common/UserConfigFolder.h"

namespace uhf {

std::string UserConfigFolder::FromXdg(const char* xdgConfigHome, const char* home,
                                      const std::string& programName) {
    if (programName.empty()) {
        return {};
    }
    std::string base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        base = xdgConfigHome;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    if (base.back() != '/') {
        base += '/';
    }
    return base + programName + "/";
}

}  // namespace uhf
