#include "ferrowin/win32/Win32FileChooser.h"

#include <windows.h>
// commdlg.h needs the types of windows.h.
#include <commdlg.h>

#include "common/SystemText.h"

namespace uhf {

std::optional<std::string> Win32FileChooser::ChooseFirmware() {
    wchar_t path[MAX_PATH] = {};
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = GetActiveWindow();
    // "bin(*.bin)|*.bin||*.*": the empty name ends the list, so "*.*" is never offered.
    request.lpstrFilter = L"bin(*.bin)\0*.bin\0";
    request.lpstrFile = path;
    request.nMaxFile = MAX_PATH;
    request.lpstrDefExt = L"bin";
    request.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetSaveFileNameW(&request)) {
        return std::nullopt;
    }
    return ToUtf8(path);
}

}  // namespace uhf
