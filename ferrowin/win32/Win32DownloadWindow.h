#pragma once

#include <windows.h>

#include <atomic>

#include "ferrowin/DownloadPresenter.h"
#include "ferrowin/win32/Win32TransferTimers.h"
#include "serial/NativeCommControl.h"
#include "ui/win32/Win32Dialog.h"
#include "ui/win32/Win32DialogView.h"
#include "ui/win32/Win32TimerService.h"

namespace uhf {

class FileChooser;
class PortConfig;
class SerialPort;

// Ferrowin's window, "UHF Reader Download Tools", as a native dialog over its presenter. The
// transfer's timers are window timers; the serial control's receive thread posts kCommMessage,
// and the window's thread then takes what arrived, so the transfer runs on that thread alone.
// The port list follows the adapters: listed again off the window's thread after a device change
// that the system broadcasts, and refreshed when that finds another list.
class Win32DownloadWindow : public Win32Dialog {
  public:
    static constexpr UINT kCommMessage = WM_APP + 2;

    // Keeps references to all three; they must outlive it. `port` is the window's alone. The
    // ports come from `ports`, or without one from the settings object's list.
    Win32DownloadWindow(PortConfig& config, SerialPort& port, FileChooser& files,
                        PortSource ports = {});
    ~Win32DownloadWindow() override;

    DownloadPresenter& Presenter() { return presenter_; }
    Win32DialogView& View() { return view_; }
    void ShowAbout() override;

  protected:
    void OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PortsChanged() override;

  private:
    bool OnCommand(int id, int code);
    void Close();

    std::atomic<HWND> hwnd_{nullptr};  // read by the receive and opening threads' notices
    Win32DialogView view_;
    PortSource ports_;
    Win32TransferTimers timers_;
    Win32TimerService portTimers_;
    NativeCommControl comm_;
    DownloadPresenter presenter_;
};

}  // namespace uhf
