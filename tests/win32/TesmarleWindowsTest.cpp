// Tesmarle's Win32 windows under Wine: placement against the tables, the enabling rules, the
// message texts, and the whole flow against readersim behind the COM port UHF_WINE_PORT.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "common/NaturalPortOrder.h"
#include "common/PortEnumerator.h"
#include "common/SystemText.h"
#include "tesmarle/TesmarleTemplates.h"
#include "tesmarle/win32/Win32ParamWindow.h"
#include "tesmarle/win32/Win32TagWindow.h"
#include "tests/win32/Win32Harness.h"
#include "ui/win32/Win32AboutBox.h"
#include "ui/win32/Win32Dpi.h"

namespace uhf {
namespace {

using test::Click;
using test::PumpUntil;
using Strings = std::vector<std::string>;

constexpr int kBaud115200 = 4;  // index in the "Baudrate" list

const char* WinePort() {
    const char* port = std::getenv("UHF_WINE_PORT");
    return port != nullptr ? port : "";
}

struct ParamRig {
    explicit ParamRig(std::vector<std::string> names) : ParamRig(Listed(std::move(names))) {}
    explicit ParamRig(PortSource source) : window(std::make_unique<ReaderLink>(), source) {
        test::RecordMessages();
        hwnd = window.CreateModeless(nullptr);
        ShowWindow(hwnd, SW_SHOW);
        test::TakeMessages();
    }
    // A port list that a test changes under the window.
    static PortSource Listed(std::vector<std::string> names) {
        return [names] {
            std::vector<PortInfo> ports;
            for (const std::string& name : names) {
                ports.push_back(PortInfo{name});
            }
            return ports;
        };
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(hwnd, id)) != FALSE; }
    Strings EnabledOf(const std::vector<int>& ids) const {
        Strings out;
        for (const int id : ids) {
            out.push_back(std::to_string(id) + (Enabled(id) ? "+" : "-"));
        }
        return out;
    }
    bool Idle() {
        return PumpUntil([this] { return !window.Presenter().IsBusy(); });
    }
    std::string Text(int id) { return window.View().Text(id); }

    Win32ParamWindow window;
    HWND hwnd = nullptr;
};

const std::vector<int> kButtons = {kConnectButton, kDisconnectButton, kSetButton,
                                   kRefreshButton, kReadButton,       kIdentifyButton};
const std::vector<int> kWiegand = {kProtocolList, kExportTimeCombo, kExportDistanceList,
                                   kPulseWidthEdit, kPulsePeriodsEdit};

Strings Marked(const std::vector<int>& ids, const std::string& marks) {
    Strings out;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        out.push_back(std::to_string(ids[i]) + marks[i]);
    }
    return out;
}

TEST(TesmarleWindows, EveryControlSitsWhereItsTableSays) {
    ParamRig param({"COM7"});
    EXPECT_EQ(test::Misplaced(param.hwnd, ParamDialogTemplate()), Strings{});
    EXPECT_EQ(test::Clipped(param.hwnd, ParamDialogTemplate()), Strings{});
    // The program's own icon, at the sizes of the window's DPI.
    const int dpi = Win32Dpi::Of(param.hwnd);
    EXPECT_EQ(test::IconWidth(
                  reinterpret_cast<HICON>(SendMessageW(param.hwnd, WM_GETICON, ICON_SMALL, 0))),
              Win32Dpi::Metric(SM_CXSMICON, dpi));
    EXPECT_EQ(
        test::IconWidth(reinterpret_cast<HICON>(SendMessageW(param.hwnd, WM_GETICON, ICON_BIG, 0))),
        Win32Dpi::Metric(SM_CXICON, dpi));

    Win32TagWindow tags(param.window.Link());
    HWND tagWindow = tags.CreateModeless(param.hwnd);
    EXPECT_EQ(test::Misplaced(tagWindow, TagDialogTemplate()), Strings{});
    // A caption bar without text, window menu or close box, and a sizing frame.
    const LONG_PTR style = GetWindowLongPtrW(tagWindow, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), WS_CAPTION | WS_THICKFRAME);
    EXPECT_EQ(GetWindowTextLengthW(tagWindow), 0);
    HWND list = GetDlgItem(tagWindow, kTagList);
    RECT outer{};
    GetWindowRect(list, &outer);
    const int width = outer.right - outer.left;
    const int scrollBar = Win32Dpi::Scale(22, dpi);
    EXPECT_EQ(test::Columns(list),
              (Strings{"NO. " + std::to_string(width / 9) + " centred",
                       "Tag Data " + std::to_string(width - width / 9 - scrollBar) + " centred"}));
    DestroyWindow(tagWindow);

    Win32AboutBox about(AboutBoxTemplate(), kAboutIcon, kAboutOkButton);
    HWND aboutWindow = about.CreateModeless(param.hwnd);
    ShowWindow(aboutWindow, SW_SHOW);
    EXPECT_EQ(test::Misplaced(aboutWindow, AboutBoxTemplate()), Strings{});
    EXPECT_EQ(test::IconWidth(reinterpret_cast<HICON>(
                  SendDlgItemMessageW(aboutWindow, kAboutIcon, STM_GETICON, 0, 0))),
              Win32Dpi::Metric(SM_CXICON, dpi));
    wchar_t title[64] = {};
    GetWindowTextW(aboutWindow, title, 64);
    EXPECT_STREQ(title, L"Tesmarle");
    EXPECT_TRUE(test::Render(aboutWindow, "tesmarle-win32-about"));

    // The about entry is in the real system menu.
    wchar_t entry[64] = {};
    GetMenuStringW(GetSystemMenu(param.hwnd, FALSE), Win32ParamWindow::kAboutCommand, entry, 64,
                   MF_BYCOMMAND);
    EXPECT_STREQ(entry, L"Tesmarle(&A)...");
}

// This test program carries the program's manifest, as Tesmarle.exe does: the windows get the
// version 6 common controls, whose tooltips take the structure that commctrl.h declares, and
// per-monitor DPI awareness.
TEST(TesmarleWindows, TheManifestGivesVersion6ControlsAndPerMonitorAwareness) {
    ParamRig param({"COM7"});
    // From the side-by-side assembly (Wine's copy reports its version as 5.81).
    wchar_t file[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), file, MAX_PATH);
    std::wstring path = file;
    std::transform(path.begin(), path.end(), path.begin(), towlower);
    EXPECT_NE(path.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
              std::wstring::npos)
        << ToUtf8(path);

    struct Tips {
        HWND owner;
        LRESULT tools;
    } tips{param.hwnd, 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* t = reinterpret_cast<Tips*>(data);
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (GetWindow(window, GW_OWNER) == t->owner && lstrcmpW(name, TOOLTIPS_CLASSW) == 0) {
                t->tools += SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    EXPECT_EQ(tips.tools, 1) << "the port list's tip";

    // Wine knows no version 2 of it; the manifest's text is checked in ProgramResourcesTest.
    using Context = HANDLE;
    HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto threadContext = reinterpret_cast<Context(WINAPI*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<int(WINAPI*)(Context)>(
        reinterpret_cast<void (*)()>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_NE(threadContext, nullptr);
    ASSERT_NE(awareness, nullptr);
    EXPECT_EQ(awareness(threadContext()), 2);  // DPI_AWARENESS_PER_MONITOR_AWARE
}

TEST(TesmarleWindows, DisconnectedStateAndTheWiegandGroupFollowTheConnectPort) {
    ParamRig param({"COM7", "COM8"});
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "+-----"));
    EXPECT_EQ(param.EnabledOf(kWiegand), Marked(kWiegand, "-----"));
    EXPECT_EQ(param.Text(kPortList), "COM7");
    EXPECT_EQ(param.Text(kBaudList), "9600");
    EXPECT_EQ(param.Text(kConnectPortList), "RS-485");
    EXPECT_EQ(param.window.View().ItemCount(kFrequencyList), 50);

    test::Choose(param.hwnd, kConnectPortList, 1);
    EXPECT_EQ(param.EnabledOf(kWiegand), Marked(kWiegand, "+++++"));
    test::Choose(param.hwnd, kConnectPortList, 0);
    EXPECT_EQ(param.EnabledOf(kWiegand), Marked(kWiegand, "-----"));

    // The power box takes three characters at most, the digit boxes digits only.
    test::Type(param.hwnd, kPowerEdit, L"12345");
    SendMessageW(GetDlgItem(param.hwnd, kPowerEdit), WM_CHAR, L'9', 0);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(param.hwnd, kTimeDistanceEdit), GWL_STYLE) & ES_NUMBER,
              ES_NUMBER);
    EXPECT_EQ(SendDlgItemMessageW(param.hwnd, kPowerEdit, EM_GETLIMITTEXT, 0, 0), 3);
}

TEST(TesmarleWindows, APortThatCannotOpenSaysOpenFail) {
    ParamRig param({"COM42"});
    Click(param.hwnd, kConnectButton);
    ASSERT_TRUE(param.Idle());
    const Strings messages = test::TakeMessages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].substr(0, 11), "Open Fail!\n");
    EXPECT_GT(messages[0].size(), 11U);  // the reason on the second line
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "+-----"));
}

TEST(TesmarleWindows, WholeFlowAgainstReadersim) {
    if (*WinePort() == '\0') {
        GTEST_SKIP() << "UHF_WINE_PORT names no port mapped to readersim";
    }
    ParamRig param({WinePort()});
    test::Choose(param.hwnd, kBaudList, kBaud115200);
    // From the keyboard: "Connnect" disables itself, and the focus goes on to the next control
    // that takes it, as in the Qt window, so that the keyboard still works.
    SetFocus(GetDlgItem(param.hwnd, kConnectButton));
    test::PressKey(VK_SPACE);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{});
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "-+++++"));
    EXPECT_EQ(test::FocusedId(param.hwnd), kConnectPortList);
    test::PressKey(VK_DOWN);
    EXPECT_EQ(param.Text(kConnectPortList), "Wiegand");
    test::Choose(param.hwnd, kConnectPortList, 0);
    EXPECT_FALSE(param.Text(kPowerEdit).empty());
    EXPECT_NE(param.window.View().SelectedIndex(kExportDistanceList), -1);
    EXPECT_TRUE(test::Render(param.hwnd, "tesmarle-win32-connected"));

    // The same Set as the Qt window's: a power out of range is refused before anything is sent.
    test::Type(param.hwnd, kPowerEdit, L"300");
    Click(param.hwnd, kSetButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(),
              Strings{"Power must be a number from 0 to 255; nothing was written"});
    test::Type(param.hwnd, kPowerEdit, L"17");
    Click(param.hwnd, kSetButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{"The parameters is set into the device successfully"});
    test::Type(param.hwnd, kPowerEdit, L"");
    Click(param.hwnd, kReadButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{});
    EXPECT_EQ(param.Text(kPowerEdit), "17");

    Click(param.hwnd, kRefreshButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{"The device resumes successfully"});

    Win32TagWindow tags(param.window.Link());
    HWND tagWindow = tags.CreateModeless(param.hwnd);
    ShowWindow(tagWindow, SW_SHOW);
    TagPresenter& presenter = tags.Presenter();
    Click(tagWindow, kStartButton);
    ASSERT_TRUE(PumpUntil([&] { return presenter.RowCount() >= 3; }));
    Click(tagWindow, kStopButton);
    ASSERT_TRUE(PumpUntil([&] { return !presenter.IsBusy() && !presenter.IsTicking(); }));
    HWND list = GetDlgItem(tagWindow, kTagList);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), presenter.RowCount());
    // The list view asks the presenter for the texts it draws.
    wchar_t cell[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = cell;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(cell, L"1");
    EXPECT_TRUE(test::Render(tagWindow, "tesmarle-win32-tags"));

    Click(tagWindow, kClearButton);
    EXPECT_EQ(presenter.RowCount(), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    Click(tagWindow, kBackButton);
    ASSERT_TRUE(PumpUntil([&] { return IsWindow(tagWindow) == FALSE; }));
    EXPECT_EQ(test::TakeMessages(), Strings{});

    Click(param.hwnd, kDisconnectButton);
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "+-----"));
}

TEST(TesmarleWindows, ACloseDuringSetClosesTheWindowOnceTheWholeRecordIsWritten) {
    if (*WinePort() == '\0') {
        GTEST_SKIP() << "UHF_WINE_PORT names no port mapped to readersim";
    }
    // The close box and Alt+F4 both come as this system command.
    for (const std::wstring power : {L"23", L"24"}) {
        ParamRig param({WinePort()});
        test::Choose(param.hwnd, kBaudList, kBaud115200);
        Click(param.hwnd, kConnectButton);
        ASSERT_TRUE(param.Idle());
        test::Type(param.hwnd, kPowerEdit, power);
        Click(param.hwnd, kSetButton);
        ASSERT_TRUE(param.window.Presenter().IsBusy());
        SendMessageW(param.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_NE(IsWindow(param.hwnd), FALSE) << "the window waits for the call";
        EXPECT_TRUE(PumpUntil([&] { return IsWindow(param.hwnd) == FALSE; }))
            << "and then closes without being asked again";
        EXPECT_EQ(test::TakeMessages(),
                  Strings{"The parameters is set into the device successfully"});
    }
    // The reader holds the record of the last Set.
    ParamRig param({WinePort()});
    test::Choose(param.hwnd, kBaudList, kBaud115200);
    Click(param.hwnd, kConnectButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{});
    EXPECT_EQ(param.Text(kPowerEdit), "24");
}

TEST(TesmarleWindows, ADeviceChangeListsThePortsOffTheWindowsThread) {
    auto machine = std::make_shared<test::PortMachine>();
    ParamRig param([machine] { return ParamRig::Listed(machine->List())(); });
    test::FollowDeviceChanges(param.hwnd, param.window.View(), kPortList, *machine);
}

TEST(TesmarleWindows, WithoutSetupApiPortsTheRegistryListNamesThemPlainlyInNaturalOrder) {
    // Wine has no SetupAPI port devices, only the registry's list of its mapped ports.
    if (WinePort()[0] == '\0') {
        GTEST_SKIP() << "UHF_WINE_PORT names no mapped port";
    }
    ParamRig param(PortSource(PortEnumerator::ListSystemPortDetails));
    const int count = param.window.View().ItemCount(kPortList);
    Strings items;
    for (int i = 0; i < count; ++i) {
        param.window.View().SelectIndex(kPortList, i);
        items.push_back(param.Text(kPortList));
    }
    ASSERT_NE(std::find(items.begin(), items.end(), WinePort()), items.end());
    // COM3, COM7 and COM12 at least (the harness maps them), in natural order.
    EXPECT_GE(items.size(), 3U);
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), NaturalPortOrder{}))
        << ::testing::PrintToString(items);
    test::Choose(
        param.hwnd, kPortList,
        static_cast<int>(std::find(items.begin(), items.end(), WinePort()) - items.begin()));
    EXPECT_EQ(param.window.View().ToolTip(kPortList), WinePort());
}

// The window that a message box belongs to: a message that comes while the about box is open
// (a reader call ended meanwhile) is owned by the about box, so that closing the message leaves
// the window beneath disabled until the about box closes.
TEST(TesmarleWindows, AMessageWhileTheAboutBoxIsOpenIsOwnedByTheAboutBox) {
    ParamRig param({"COM42"});
    // On a closed link: it fails at once, and its message waits in the queue.
    param.window.Presenter().Resume();
    HWND about = nullptr;
    bool enabledAfterMessage = true;
    const std::vector<test::MessageBoxSeen> seen = test::AnswerMessageBoxes(
        L"Warning",
        [&] { SendMessageW(param.hwnd, WM_SYSCOMMAND, Win32ParamWindow::kAboutCommand, 0); },
        [&] {
            enabledAfterMessage = IsWindowEnabled(param.hwnd) != FALSE;
            about = GetLastActivePopup(param.hwnd);
            PostMessageW(about, WM_COMMAND, IDOK, 0);
        });
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_NE(about, param.hwnd);
    EXPECT_EQ(seen[0].owner, about);
    EXPECT_FALSE(enabledAfterMessage) << "the about box keeps the window disabled";
    EXPECT_NE(IsWindowEnabled(param.hwnd), FALSE);
}

TEST(TesmarleWindows, KeysMoveThroughTheDialogAndPressItsButtons) {
    ParamRig param({"COM42", "COM43"});
    SetFocus(GetDlgItem(param.hwnd, kPortList));
    test::PressKey(VK_DOWN);
    EXPECT_EQ(param.Text(kPortList), "COM43");
    test::PressKey(VK_TAB);
    EXPECT_EQ(test::FocusedId(param.hwnd), kBaudList);
    test::PressKey(VK_DOWN);
    EXPECT_EQ(param.Text(kBaudList), "19200");
    // Enter in the power box does not end the window.
    SetFocus(GetDlgItem(param.hwnd, kPowerEdit));
    test::PressKey(VK_RETURN);
    EXPECT_NE(IsWindow(param.hwnd), FALSE);
    // Space presses the focused button: a connection to the chosen port, which has no device.
    SetFocus(GetDlgItem(param.hwnd, kConnectButton));
    test::PressKey(VK_SPACE);
    ASSERT_TRUE(param.Idle());
    const Strings messages = test::TakeMessages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].substr(0, 11), "Open Fail!\n");
    // Esc closes it.
    test::PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return IsWindow(param.hwnd) == FALSE; }));
}

}  // namespace
}  // namespace uhf
