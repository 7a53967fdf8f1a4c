#pragma once

#include <windows.h>

namespace uhf {

// The DPI a window is shown at, for what the dialog manager does not scale itself: lengths
// given in pixels (list columns, tip widths) and icon sizes. Windows 10 1607 and later tell it
// per window (per-monitor awareness); before, every window has the system's.
class Win32Dpi {
  public:
    static constexpr int kStandard = 96;  // 100 %

    static int Of(HWND window);
    // A length of `pixels` at 100 %, at `dpi`.
    static int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, kStandard); }
    // GetSystemMetrics at `dpi` (an icon's size, a scroll bar's width).
    static int Metric(int index, int dpi);
};

}  // namespace uhf
