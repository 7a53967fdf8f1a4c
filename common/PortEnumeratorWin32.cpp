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

// What SetupAPI and the devices' settings tell of the present ports, by port name: the friendly
// name ("USB Serial Port (COM3)", in the system's language), an FTDI adapter's latency timer, a
// Bluetooth link.
std::map<std::string, PortInfo> DeviceDetails() {
    std::map<std::string, PortInfo> details;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return details;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        // The device's "Device Parameters" key: its port name, and the FTDI driver's settings.
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
        DWORD timer = 0;
        DWORD timerSize = sizeof timer;
        DWORD timerType = 0;
        const bool hasTimer =
            RegQueryValueExW(key, L"LatencyTimer", nullptr, &timerType,
                             reinterpret_cast<BYTE*>(&timer), &timerSize) == ERROR_SUCCESS &&
            timerType == REG_DWORD && timer <= 255;
        RegCloseKey(key);
        if (read != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        PortInfo& info = details[ToUtf8(port)];
        wchar_t text[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(text),
                                              sizeof text - sizeof text[0], nullptr)) {
            info.product = ToUtf8(text);
        }
        info.latencyTimerMs = hasTimer ? static_cast<int>(timer) : 0;
        wchar_t enumerator[64] = {};
        info.bluetooth =
            SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_ENUMERATOR_NAME, nullptr,
                                              reinterpret_cast<BYTE*>(enumerator),
                                              sizeof enumerator - sizeof enumerator[0], nullptr) &&
            _wcsicmp(enumerator, L"BTHENUM") == 0;
    }
    SetupDiDestroyDeviceInfoList(set);
    return details;
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
    const std::map<std::string, PortInfo> devices = DeviceDetails();
    std::vector<PortInfo> ports;
    for (std::string& name : ListSystemPorts()) {
        PortInfo info;
        if (auto found = devices.find(name); found != devices.end()) {
            info = found->second;
        }
        info.path = std::move(name);
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace uhf
