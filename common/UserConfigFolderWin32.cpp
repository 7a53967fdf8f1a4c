#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

#include "common/SystemText.h"
#include "common/UserConfigFolder.h"

namespace uhf {

std::string UserConfigFolder::Find(const std::string& programName) {
    // The roaming application data folder, whatever the user's name is spelt with; not made
    // here (a read is no write): the first saved value makes it.
    wchar_t* appData = nullptr;
    const HRESULT found =
        SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr, &appData);
    std::string folder = SUCCEEDED(found) && appData != nullptr ? ToUtf8(appData) : std::string();
    CoTaskMemFree(appData);
    if (folder.empty() || programName.empty()) {
        return {};
    }
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    return folder + programName + "\\";
}

}  // namespace uhf
