#include <windows.h>

#include <vector>

#include "common/ExecutableFolder.h"
#include "common/SystemText.h"

namespace uhf {
namespace {

std::string ExecutablePath() {
    // MAX_PATH first; a longer path would come back cut, so the buffer grows until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            return ToUtf8(std::wstring_view(buffer.data(), length));
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ExecutableFolder::Find() {
    std::string path = ExecutablePath();
    // Drive and directory: everything up to the last separator.
    std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExecutableFolder::ProgramName() {
    std::string path = ExecutablePath();
    std::size_t cut = path.find_last_of("\\/:");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace uhf
