// Ferrowin for Windows: the reader's firmware download tool as a native dialog. Ports named on
// the command line head the port list.
#include <windows.h>

#include <string>
#include <vector>

#include "common/ExecutableFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "ferrowin/win32/Win32DownloadWindow.h"
#include "ferrowin/win32/Win32FileChooser.h"
#include "serial/NativeSerialPort.h"
#include "ui/win32/CommandLine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> named = uhf::CommandLineArguments();
    uhf::PortConfig config(uhf::ExecutableFolder::Find(), [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    });
    // Listed again when a device comes or goes, with SetupAPI's names of the adapters; the named
    // ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    };
    uhf::NativeSerialPort port;
    uhf::Win32FileChooser files;
    uhf::Win32DownloadWindow window(config, port, files, ports);
    window.Presenter().LogLatencyWarnings(uhf::LowLatencyMode::System());
    window.RunModal(nullptr);
    return 0;
}
