// Tesmarle for Windows: the reader's parameter tool as a native dialog. Ports named on the
// command line head the port list.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/PortEnumerator.h"
#include "tesmarle/win32/Win32ParamWindow.h"
#include "reader/ReaderLink.h"
#include "ui/win32/CommandLine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::string> named = uhf::CommandLineArguments();
    // Listed again when a device comes or goes; the named ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    };
    uhf::Win32ParamWindow window(std::make_unique<uhf::ReaderLink>(), ports);
    window.RunModal(nullptr);
    return 0;
}
