#pragma once

#include <windows.h>

namespace uhf {

// The Win32 calls that NativeSerialPort makes on its device, each with the system's own behind
// it, so that a test can put a serial driver of its own in their place. Events and waits are not
// among them: a driver signals the OVERLAPPED's event, and the port waits on it.
class Win32Comm {
  public:
    virtual ~Win32Comm() = default;

    static Win32Comm& System() {
        static Win32Comm system;
        return system;
    }

    virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                               HANDLE templateFile) {
        return ::CreateFileA(name, access, share, security, disposition, flags, templateFile);
    }
    virtual BOOL CloseHandle(HANDLE device) { return ::CloseHandle(device); }
    virtual BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) {
        return ::SetupComm(device, inQueue, outQueue);
    }
    virtual BOOL GetCommState(HANDLE device, LPDCB dcb) { return ::GetCommState(device, dcb); }
    virtual BOOL SetCommState(HANDLE device, LPDCB dcb) { return ::SetCommState(device, dcb); }
    virtual BOOL SetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts) {
        return ::SetCommTimeouts(device, timeouts);
    }
    virtual BOOL SetCommMask(HANDLE device, DWORD mask) { return ::SetCommMask(device, mask); }
    virtual BOOL WaitCommEvent(HANDLE device, LPDWORD events, LPOVERLAPPED overlapped) {
        return ::WaitCommEvent(device, events, overlapped);
    }
    virtual BOOL ClearCommError(HANDLE device, LPDWORD errors, LPCOMSTAT status) {
        return ::ClearCommError(device, errors, status);
    }
    virtual BOOL PurgeComm(HANDLE device, DWORD flags) { return ::PurgeComm(device, flags); }
    virtual BOOL ReadFile(HANDLE device, LPVOID buffer, DWORD count, LPDWORD done,
                          LPOVERLAPPED overlapped) {
        return ::ReadFile(device, buffer, count, done, overlapped);
    }
    virtual BOOL WriteFile(HANDLE device, LPCVOID bytes, DWORD count, LPDWORD done,
                           LPOVERLAPPED overlapped) {
        return ::WriteFile(device, bytes, count, done, overlapped);
    }
    virtual BOOL GetOverlappedResult(HANDLE device, LPOVERLAPPED overlapped, LPDWORD done,
                                     BOOL wait) {
        return ::GetOverlappedResult(device, overlapped, done, wait);
    }
    virtual BOOL CancelIoEx(HANDLE device, LPOVERLAPPED overlapped) {
        return ::CancelIoEx(device, overlapped);
    }
};

}  // namespace uhf
