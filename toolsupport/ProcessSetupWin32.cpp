#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

#include "common/SystemText.h"
#include "toolsupport/ProcessSetup.h"

namespace uhf {

namespace {

// Set at the first stop request and never reset: every later wait on it ends at once.
HANDLE stopEvent = nullptr;

// Standard input is read on a thread of its own, as Windows cannot wait for a pipe or a console
// and an event together: ReadStandardInput asks it for one chunk and waits for the chunk or the
// stop event. A chunk asked for before a stop is never collected; the process is ending then.
HANDLE chunkWanted = nullptr;  // auto-reset
HANDLE chunkReady = nullptr;   // auto-reset
char chunk[4096];
DWORD chunkRoom = 0;
long chunkGot = 0;
bool chunkPending = false;

DWORD WINAPI RelayStandardInput(void*) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        WaitForSingleObject(chunkWanted, INFINITE);
        DWORD got = 0;
        if (ReadFile(input, chunk, chunkRoom, &got, nullptr)) {
            chunkGot = static_cast<long>(got);
        } else {
            // A pipe whose writer has gone has ended.
            const DWORD error = GetLastError();
            chunkGot = error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
        }
        SetEvent(chunkReady);
    }
}

ProcessSetup::Terminal errorTerminal = ProcessSetup::Terminal::None;

// How many of `bytes` end where a UTF-8 character ends.
std::size_t WholeCharacters(const std::string& bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) {
            continue;  // a byte inside a character
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

// A console's stream: the UTF-8 bytes go out as UTF-16 through WriteConsoleW as they come; the
// bytes of a character not yet whole wait for the rest.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(void* console) : handle(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting.append(text, static_cast<std::size_t>(count));
        const std::size_t whole = WholeCharacters(waiting);
        const std::wstring wide = ToUtf16(std::string_view(waiting.data(), whole));
        waiting.erase(0, whole);
        if (!wide.empty() && !ProcessSetup::console.write(
                                 handle, wide.data(), static_cast<unsigned long>(wide.size()))) {
            return 0;  // the stream fails, as on a pipe that was closed
        }
        return count;
    }

  private:
    void* handle;
    std::mutex mutex;  // the threads of several readers share standard error
    std::string waiting;
};

}  // namespace

ProcessSetup::ConsoleCalls ProcessSetup::console{
    [](void* handle, unsigned long& mode) {
        DWORD got = 0;
        const bool ok = GetConsoleMode(handle, &got) != FALSE;
        mode = got;
        return ok;
    },
    [](void* handle, unsigned long mode) { return SetConsoleMode(handle, mode) != FALSE; },
    [](void* handle, const wchar_t* text, unsigned long count) {
        DWORD written = 0;
        return WriteConsoleW(handle, text, count, &written, nullptr) != FALSE;
    }};

ProcessSetup::Terminal ProcessSetup::AttachConsole(std::ostream& stream, void* handle,
                                                   bool escapes) {
    // GetConsoleMode is how Windows tells a console from a redirected handle.
    unsigned long mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !console.getMode(handle, mode)) {
        return Terminal::None;
    }
    stream.flush();
    // Never freed: the stream is flushed at exit, after every object of ours is gone.
    stream.rdbuf(new ConsoleBuffer(handle));
    const bool interpreted =
        escapes && ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                    console.setMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
    return interpreted ? Terminal::EscapeSequences : Terminal::PlainLines;
}

ProcessSetup::Terminal ProcessSetup::ErrorTerminal() {
    return errorTerminal;
}

int ProcessSetup::RunWithUtf8Arguments(int argc, wchar_t** argv, int (*run)(int, char**)) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(ToUtf8(argv[i]));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return run(argc, pointers.data());
}

// Windows gives every process its three standard handles and has no SIGPIPE or SIGHUP.
void ProcessSetup::ReserveStandardDescriptors() {}

void ProcessSetup::Prepare() {
    errorTerminal = AttachConsole(std::cerr, GetStdHandle(STD_ERROR_HANDLE), true);
    AttachConsole(std::cout, GetStdHandle(STD_OUTPUT_HANDLE), false);
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Ours is called before the C runtime's, which knows Ctrl-C only.
    SetConsoleCtrlHandler(&ProcessSetup::OnConsoleEvent, TRUE);
}

int __stdcall ProcessSetup::OnConsoleEvent(unsigned long event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            NoteSignal(false);
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            NoteSignal(true);
            break;
        default:
            // A logoff does not say whose: a tool that a service started would stop for anyone's.
            return FALSE;
    }
    if (stopEvent != nullptr) {
        SetEvent(stopEvent);
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process as soon as this returns (or after about 5 s): give the
        // tool that time to stop the reader and close the port, as a hang-up does on Linux. The
        // process's own end ends this wait.
        Sleep(INFINITE);
    }
    return TRUE;
}

long ProcessSetup::ReadStandardInput(char* buffer, std::size_t size) {
    if (Interrupted()) {
        return -1;
    }
    if (chunkWanted == nullptr) {
        chunkWanted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        chunkReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE thread = chunkWanted != nullptr && chunkReady != nullptr
                            ? CreateThread(nullptr, 0, RelayStandardInput, nullptr, 0, nullptr)
                            : nullptr;
        if (thread == nullptr) {
            return -1;
        }
        CloseHandle(thread);
    }
    if (!chunkPending) {
        chunkRoom = static_cast<DWORD>(std::min(size, sizeof chunk));
        chunkPending = true;
        SetEvent(chunkWanted);
    }
    HANDLE events[2] = {chunkReady, stopEvent};
    if (WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, events, FALSE, INFINITE) !=
        WAIT_OBJECT_0) {
        return -1;  // a stop request: Interrupted() says so now
    }
    chunkPending = false;
    const long got = std::min(chunkGot, static_cast<long>(size));
    if (got > 0) {
        std::memcpy(buffer, chunk, static_cast<std::size_t>(got));
    }
    return got;
}

}  // namespace uhf
