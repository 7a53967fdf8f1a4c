// Tesmarle for Windows: the reader's parameter tool as a native dialog. Ports named on the
// command line head the port list.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/PortEnumerator.h"
#include "paramtool/win32/Win32ParamWindow.h"
#include "reader/ReaderLink.h"
#include "widgets/win32/Utf16.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> named;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        named.push_back(uhf::ToUtf8(argv[i]));
    }
    LocalFree(argv);
    // Listed again when a device comes or goes; the named ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        std::vector<uhf::PortInfo> list;
        for (const std::string& name : named) {
            list.push_back(uhf::PortInfo{name});
        }
        for (uhf::PortInfo& port : uhf::PortEnumerator::ListSystemPortDetails()) {
            if (std::find(named.begin(), named.end(), port.path) == named.end()) {
                list.push_back(std::move(port));
            }
        }
        return list;
    };
    uhf::Win32ParamWindow window(std::make_unique<uhf::ReaderLink>(), ports);
    window.RunModal(nullptr);
    return 0;
}
