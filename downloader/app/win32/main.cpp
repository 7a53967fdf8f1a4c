// Ferrowin for Windows: the reader's firmware download tool as a native dialog. Ports named on
// the command line head the port list.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/ExecutableFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "downloader/app/win32/Win32DownloadWindow.h"
#include "downloader/app/win32/Win32FileChooser.h"
#include "serial/NativeSerialPort.h"
#include "widgets/win32/Utf16.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> named;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        named.push_back(uhf::ToUtf8(argv[i]));
    }
    LocalFree(argv);
    uhf::PortConfig config(uhf::ExecutableFolder::Find(), [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    });
    // Listed again when a device comes or goes, with SetupAPI's names of the adapters; the named
    // ports stay at the head of the list.
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
    uhf::NativeSerialPort port;
    uhf::Win32FileChooser files;
    uhf::Win32DownloadWindow window(config, port, files, ports);
    window.RunModal(nullptr);
    return 0;
}
