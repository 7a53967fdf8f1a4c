// Tesmarle for Windows: the reader's parameter tool as a native dialog. Ports named on the
// command line head the port list; --trace FILE writes every frame on the line to FILE.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/PortEnumerator.h"
#include "common/SystemText.h"
#include "reader/ReaderLink.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "tesmarle/win32/Win32ParamWindow.h"
#include "ui/TraceOption.h"
#include "ui/win32/CommandLine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<std::string> named = uhf::CommandLineArguments();
    uhf::TraceLog trace;
    std::string error;
    if (!uhf::TakeTraceOption(named, trace, error)) {
        MessageBoxW(nullptr, uhf::ToUtf16(error).c_str(), L"Tesmarle", MB_OK | MB_ICONERROR);
        return 2;
    }
    // Listed again when a device comes or goes; the named ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    };
    uhf::Win32ParamWindow window(
        std::make_unique<uhf::ReaderLink>(std::make_unique<uhf::TracingSerialPort>(
            std::make_unique<uhf::NativeSerialPort>(), trace)),
        ports);
    window.RunModal(nullptr);
    return 0;
}
