#include <windows.h>

#include <vector>

#include "common/ExecutableFolder.h"

namespace uhf {

std::string ExecutableFolder::Find() {
    // MAX_PATH first; a longer path would come back cut, so the buffer grows until it fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            std::string path(buffer.data(), length);
            // Drive and directory: everything up to the last separator.
            std::size_t cut = path.find_last_of("\\/:");
            return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace uhf
