// Runs a program in a console of its own, as a user does in a console window, and prints on its
// own standard output what the console shows afterwards: one screen row a line in UTF-8, blanks
// at the end of a row dropped, then "exit N" with the program's status.
//   console-run.exe program.exe [arguments...]
// Wine makes the console only where it has a display.
#include <windows.h>

#include <string>

namespace {

void Say(HANDLE out, const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        length, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HANDLE report = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc < 2) {
        Say(report, L"usage: console-run program [arguments...]\n");
        return 2;
    }
    // Wine gives a program started from Linux a console without a screen: a new one has one.
    FreeConsole();
    if (!AllocConsole()) {
        Say(report, L"no console: error " + std::to_wstring(GetLastError()) + L"\n");
        return 2;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    const HANDLE keyboard =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    std::wstring command;
    for (int i = 1; i < argc; ++i) {
        command += (i > 1 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = keyboard;
    startup.hStdOutput = screen;
    startup.hStdError = screen;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Say(report, L"cannot start: error " + std::to_wstring(GetLastError()) + L"\n");
        return 2;
    }
    DWORD status = 0;
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
    }
    GetExitCodeProcess(process.hProcess, &status);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring rows;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD got = 0;
        ReadConsoleOutputCharacterW(screen, row.data(), static_cast<DWORD>(row.size()), COORD{0, y},
                                    &got);
        row.resize(got);
        row.erase(row.find_last_not_of(L' ') + 1);
        rows += row + L"\n";
    }
    Say(report, rows + L"exit " + std::to_wstring(status) + L"\n");
    return 0;
}
