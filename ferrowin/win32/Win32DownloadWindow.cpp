#include "ferrowin/win32/Win32DownloadWindow.h"

#include <commctrl.h>

#include <utility>

#include "ferrowin/DownloadTemplate.h"
#include "ui/win32/Win32AboutBox.h"

namespace uhf {

namespace {

using Ids = DownloadControlIds;

}  // namespace

Win32DownloadWindow::Win32DownloadWindow(PortConfig& config, SerialPort& port, FileChooser& files,
                                         PortSource ports)
    : Win32Dialog(DownloadTemplate::Get()),
      view_(DownloadTemplate::Get(), "提示", MB_ICONEXCLAMATION),
      ports_(std::move(ports)),
      comm_(port,
            [this] {
                if (HWND window = hwnd_.load()) {
                    PostMessageW(window, kCommMessage, 0, 0);
                }
            }),
      presenter_(view_, config, comm_, timers_, files) {}

Win32DownloadWindow::~Win32DownloadWindow() {
    hwnd_.store(nullptr);
    timers_.StopAll();
}

void Win32DownloadWindow::OnInit() {
    HWND window = Window();
    hwnd_.store(window);
    view_.Attach(window, IsModal());
    timers_.SetWindow(window);
    portTimers_.SetWindow(window);
    view_.AttachRows(Ids::kLogList, [this](int row, int column) {
        const DownloadPresenter::LogLine& line = presenter_.Log(row);
        return column == 0 ? line.time : line.message;
    });

    AddAboutEntry(L"关于 Ferrowin(&A)...");
    ShowAppIcon(kWindowIcon);
    // A fixed-size window that can be minimised.
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_MINIMIZEBOX);

    // 60 and 280 pixels at 100 %.
    view_.SetColumns(Ids::kLogList, {{"Time", Scaled(60)}, {"Message", Scaled(280)}});
    // The newest line's mark spans both columns.
    SendDlgItemMessageW(window, Ids::kLogList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                        LVS_EX_FULLROWSELECT);
    presenter_.Initialise(FollowPorts(ports_));
    presenter_.WatchPorts(portTimers_);
}

void Win32DownloadWindow::ShowAbout() {
    Win32AboutBox about(DownloadTemplate::About(), DownloadTemplate::kAboutIcon,
                        DownloadTemplate::kAboutOk);
    about.RunModal(Window());
}

void Win32DownloadWindow::PortsChanged() {
    presenter_.PollPorts();
}

bool Win32DownloadWindow::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case kCommMessage:
            comm_.ProcessPending();
            return true;
        case WM_TIMER:
            return timers_.Tick(wParam) || portTimers_.Tick(wParam);
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_CLOSE:
            Close();
            return true;
        default:
            return false;
    }
}

bool Win32DownloadWindow::OnCommand(int id, int code) {
    if (code == CBN_SELCHANGE &&
        (id == Ids::kPortList || id == Ids::kDeviceBaudList || id == Ids::kDownloadBaudList)) {
        presenter_.SelectionChanged(id, view_.SelectedIndex(id));
        if (id == Ids::kPortList) {
            presenter_.PortChosen();
        }
        return true;
    }
    if (code != BN_CLICKED) {
        return false;
    }
    switch (id) {
        case Ids::kFileButton:
            presenter_.ChooseFile();
            return true;
        case Ids::kDownloadButton:
            presenter_.Download();
            return true;
        case Ids::kExistButton:
            presenter_.Exit();
            return true;
        case IDOK:
        case IDCANCEL:
            // Enter, Esc and the close box end the window without the port's explicit close.
            Close();
            return true;
        default:
            return false;
    }
}

void Win32DownloadWindow::Close() {
    // The timers end with the window.
    timers_.StopAll();
    view_.CloseDialog(true);
}

}  // namespace uhf
