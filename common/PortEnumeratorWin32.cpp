#include <windows.h>

#include <cstring>
#include <utility>

#include "common/PortEnumerator.h"

namespace uhf {

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
    return ports;
}

std::vector<PortInfo> PortEnumerator::ListSystemPortDetails() {
    std::vector<PortInfo> ports;
    for (std::string& name : ListSystemPorts()) {
        PortInfo info;
        info.path = std::move(name);
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace uhf
