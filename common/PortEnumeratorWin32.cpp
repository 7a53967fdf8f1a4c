#include <windows.h>
// After windows.h:
#include <initguid.h>
// After initguid.h, so that the class GUID is defined here:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "common/NaturalPortOrder.h"
#include "common/PortEnumerator.h"
#include "common/SystemText.h"

namespace uhf {
namespace {

// The friendly names SetupAPI gives the present ports ("USB Serial Port (COM3)", in the system's
// language), by port name.
std::map<std::string, std::string> FriendlyNames() {
    std::map<std::string, std::string> names;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return names;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        // Room for a terminator that the registry does not promise.
        wchar_t port[80] = {};
        DWORD size = sizeof port - sizeof port[0];
        DWORD type = 0;
        const LONG read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                           reinterpret_cast<BYTE*>(port), &size);
        RegCloseKey(key);
        wchar_t name[256] = {};
        if (read == ERROR_SUCCESS && type == REG_SZ &&
            SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(name),
                                              sizeof name - sizeof name[0], nullptr)) {
            names[ToUtf8(port)] = ToUtf8(name);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

}  // namespace

std::vector<std::string> PortEnumerator::ListSystemPorts() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM\\", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[80];
        std::memset(name, 0, sizeof name);
        std::memset(data, 0, sizeof data);
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data;
        LONG result =
            RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) {
            break;  // ERROR_NO_MORE_ITEMS ends the list
        }
        // Data that filled the whole buffer carries no terminator of its own; never read past
        // the buffer.
        std::size_t length = strnlen(reinterpret_cast<const char*>(data), sizeof data);
        ports.emplace_back(reinterpret_cast<const char*>(data), length);
    }
    RegCloseKey(key);
    // The registry enumerates in the order the devices arrived (Wine in another): COM10 may
    // come before COM3.
    std::sort(ports.begin(), ports.end(), NaturalPortOrder{});
    return ports;
}

std::vector<PortInfo> PortEnumerator::ListSystemPortDetails() {
    const std::map<std::string, std::string> friendly = FriendlyNames();
    std::vector<PortInfo> ports;
    for (std::string& name : ListSystemPorts()) {
        PortInfo info;
        if (auto found = friendly.find(name); found != friendly.end()) {
            info.product = found->second;
        }
        info.path = std::move(name);
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace uhf
