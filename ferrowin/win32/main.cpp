// Ferrowin for Windows: the reader's firmware download tool as a native dialog. Ports named on
// the command line head the port list; --trace FILE writes every frame on the line to FILE.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ExecutableFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "common/SystemText.h"
#include "ferrowin/win32/Win32DownloadWindow.h"
#include "ferrowin/win32/Win32FileChooser.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "ui/TraceOption.h"
#include "ui/win32/CommandLine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<std::string> named = uhf::CommandLineArguments();
    uhf::TraceLog trace;
    std::string error;
    if (!uhf::TakeTraceOption(named, trace, error)) {
        MessageBoxW(nullptr, uhf::ToUtf16(error).c_str(), L"Ferrowin", MB_OK | MB_ICONERROR);
        return 2;
    }
    uhf::PortConfig config(uhf::ExecutableFolder::Find(), [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    });
    // Listed again when a device comes or goes, with SetupAPI's names of the adapters; the named
    // ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    };
    uhf::TracingSerialPort port(std::make_unique<uhf::NativeSerialPort>(), trace);
    uhf::Win32FileChooser files;
    uhf::Win32DownloadWindow window(config, port, files, ports);
    window.Presenter().LogLatencyWarnings(uhf::LowLatencyMode::System());
    window.RunModal(nullptr);
    return 0;
}
