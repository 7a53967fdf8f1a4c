#include <windows.h>

#include <algorithm>
#include <cstring>

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

}  // namespace

// Windows gives every process its three standard handles and has no SIGPIPE or SIGHUP.
void ProcessSetup::ReserveStandardDescriptors() {}

void ProcessSetup::Prepare() {
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
