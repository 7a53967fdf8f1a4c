// Tesmarle's Win32 windows under Wine: placement against the tables, the enabling rules, the
// message texts, and the whole flow against readersim behind the COM port UHF_WINE_PORT.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "paramtool/TesmarleTemplates.h"
#include "paramtool/win32/Win32ParamWindow.h"
#include "paramtool/win32/Win32TagWindow.h"
#include "tests/win32/Win32Harness.h"
#include "widgets/win32/Win32AboutBox.h"

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
    explicit ParamRig(std::vector<std::string> ports)
        : window(std::make_unique<ReaderLink>(), [ports] {
              std::vector<PortInfo> list;
              for (const std::string& port : ports) {
                  list.push_back(PortInfo{port});
              }
              return list;
          }) {
        test::RecordMessages();
        hwnd = window.CreateModeless(nullptr);
        ShowWindow(hwnd, SW_SHOW);
        test::TakeMessages();
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

    Win32TagWindow tags(param.window.Link());
    HWND tagWindow = tags.CreateModeless(param.hwnd);
    EXPECT_EQ(test::Misplaced(tagWindow, TagDialogTemplate()), Strings{});
    DestroyWindow(tagWindow);

    Win32AboutBox about(AboutBoxTemplate(), kAboutIcon, kAboutOkButton,
                        LoadIconW(nullptr, IDI_APPLICATION));
    HWND aboutWindow = about.CreateModeless(param.hwnd);
    ShowWindow(aboutWindow, SW_SHOW);
    EXPECT_EQ(test::Misplaced(aboutWindow, AboutBoxTemplate()), Strings{});
    wchar_t title[64] = {};
    GetWindowTextW(aboutWindow, title, 64);
    EXPECT_STREQ(title, L"Tesmarle");
    test::Render(aboutWindow, "tesmarle-win32-about");

    // The about entry is in the real system menu.
    wchar_t entry[64] = {};
    GetMenuStringW(GetSystemMenu(param.hwnd, FALSE), Win32ParamWindow::kAboutCommand, entry, 64,
                   MF_BYCOMMAND);
    EXPECT_STREQ(entry, L"Tesmarle(&A)...");
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
    Click(param.hwnd, kConnectButton);
    ASSERT_TRUE(param.Idle());
    EXPECT_EQ(test::TakeMessages(), Strings{});
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "-+++++"));
    EXPECT_FALSE(param.Text(kPowerEdit).empty());
    EXPECT_NE(param.window.View().SelectedIndex(kExportDistanceList), -1);
    test::Render(param.hwnd, "tesmarle-win32-connected");

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
    test::Render(tagWindow, "tesmarle-win32-tags");

    Click(tagWindow, kClearButton);
    EXPECT_EQ(presenter.RowCount(), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    Click(tagWindow, kBackButton);
    ASSERT_TRUE(PumpUntil([&] { return IsWindow(tagWindow) == FALSE; }));
    EXPECT_EQ(test::TakeMessages(), Strings{});

    Click(param.hwnd, kDisconnectButton);
    EXPECT_EQ(param.EnabledOf(kButtons), Marked(kButtons, "+-----"));
}

}  // namespace
}  // namespace uhf
