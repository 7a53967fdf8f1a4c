#pragma once

#include <windows.h>

#include "ui/DialogTemplate.h"
#include "ui/win32/Win32DialogTemplate.h"

namespace uhf {

// A dialog built from a control table, run modally (the programs) or modeless (the tests, which
// then drive it with messages). Subclasses handle the messages they care about.
class Win32Dialog {
  public:
    // The about entry's system command: below 0xF000 and a multiple of 16, as system commands
    // are (their low four bits are the system's own).
    static constexpr UINT kAboutCommand = 0x0010;

    explicit Win32Dialog(const DialogTemplate& dialogTemplate);
    virtual ~Win32Dialog();
    Win32Dialog(const Win32Dialog&) = delete;
    Win32Dialog& operator=(const Win32Dialog&) = delete;

    INT_PTR RunModal(HWND owner);
    HWND CreateModeless(HWND owner);
    HWND Window() const { return window_; }
    bool IsModal() const { return modal_; }

  protected:
    virtual void OnInit() {}
    // Returns true when the message was handled (the dialog procedure's result).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The about entry chosen in the system menu.
    virtual void ShowAbout() {}
    // The system said a device came or went: a serial adapter may be among them.
    virtual void DevicesChanged() {}

    // Puts the about entry, under a separator, at the end of the system menu.
    void AddAboutEntry(const wchar_t* label);

    const Win32DialogTemplate& Template() const { return template_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Win32DialogTemplate template_;
    HWND window_ = nullptr;
    bool modal_ = true;
};

}  // namespace uhf
