#include "ui/win32/Win32Dpi.h"

namespace uhf {

namespace {

// Looked up at run time: Windows 7 to 8.1 have neither.
template <typename Function>
Function User32(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

using DpiForWindow = UINT(WINAPI*)(HWND);
using MetricsForDpi = int(WINAPI*)(int, UINT);

}  // namespace

int Win32Dpi::Of(HWND window) {
    static const auto forWindow = User32<DpiForWindow>("GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : kStandard;
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kStandard;
}

int Win32Dpi::Metric(int index, int dpi) {
    static const auto forDpi = User32<MetricsForDpi>("GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

}  // namespace uhf
