#pragma once

#include <windows.h>

#include <memory>

#include "common/AsyncPortList.h"
#include "ui/DialogTemplate.h"
#include "ui/PortListFollower.h"
#include "ui/win32/Win32DialogTemplate.h"

namespace uhf {

// A dialog built from a control table, run modally (the programs) or modeless (the tests, which
// then drive it with messages). Subclasses handle the messages they care about. The dialog
// manager scales the controls and their font with the monitor's DPI; this class mends what it
// does not: the program's icon, the widths of list columns when the window moves to a monitor
// of another DPI, and labels, check boxes and radio buttons that fit their text at 100 % but
// not at the DPI shown.
class Win32Dialog {
  public:
    // The about entry's system command: below 0xF000 and a multiple of 16, as system commands
    // are (their low four bits are the system's own).
    static constexpr UINT kAboutCommand = 0x0010;

    explicit Win32Dialog(const DialogTemplate& dialogTemplate);
    virtual ~Win32Dialog();
    Win32Dialog(const Win32Dialog&) = delete;
    Win32Dialog& operator=(const Win32Dialog&) = delete;

    // -1 (and a message box saying why, over `owner`) when the window cannot be made.
    INT_PTR RunModal(HWND owner);
    // nullptr when the window cannot be made.
    HWND CreateModeless(HWND owner);
    HWND Window() const { return window_; }
    bool IsModal() const { return modal_; }
    // The DPI the window is laid out for.
    int Dpi() const { return dpi_; }

  protected:
    virtual void OnInit() {}
    // Returns true when the message was handled (the dialog procedure's result).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The about entry chosen in the system menu.
    virtual void ShowAbout() {}
    // The ports that `FollowPorts` keeps changed; on the window's thread.
    virtual void PortsChanged() {}

    // Keeps `source`'s port list on a thread of its own, scanned again after every device change
    // the system broadcasts (a burst of them gives one scan); returns the source that answers
    // from it at once, for the presenter. Without a source, none. From OnInit on.
    PortSource FollowPorts(PortSource source);

    // Puts the about entry, under a separator, at the end of the system menu.
    void AddAboutEntry(const wchar_t* label);

    // Shows the program's icon (UHF_APP_ICON) at the window's DPI, and again when that changes:
    // as the window's large and small icon (kWindowIcon), or in the icon control `where`.
    static constexpr int kWindowIcon = 0;
    void ShowAppIcon(int where);
    // A length of `pixels` at 100 %, at the window's DPI.
    int Scaled(int pixels) const;

  private:
    // Posted after a DPI change, for what follows the dialog manager's new layout.
    static constexpr UINT kLaidOutMessage = WM_APP + 0x70;
    // Posted when the port list's thread found another list.
    static constexpr UINT kPortsMessage = WM_APP + 0x71;

    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void LoadAppIcon();
    void DpiChanged(int dpi);
    void FitTexts();

    Win32DialogTemplate template_;
    HWND window_ = nullptr;
    bool modal_ = true;
    int dpi_ = 96;
    int iconPlace_ = -1;  // where ShowAppIcon put the icon; -1: nowhere
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::unique_ptr<AsyncPortList> portList_;
};

}  // namespace uhf
