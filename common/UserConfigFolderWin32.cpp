#include <cstdlib>

#include "common/UserConfigFolder.h"

namespace uhf {

std::string UserConfigFolder::Find(const std::string& programName) {
    const char* appData = std::getenv("APPDATA");
    if (appData == nullptr || appData[0] == '\0' || programName.empty()) {
        return {};
    }
    std::string folder = appData;
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    return folder + programName + "\\";
}

}  // namespace uhf
