#include "ui/win32/CommandLine.h"

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "common/SystemText.h"

namespace uhf {

std::vector<std::string> CommandLineArguments() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        arguments.push_back(ToUtf8(argv[i]));
    }
    LocalFree(argv);
    return arguments;
}

}  // namespace uhf
