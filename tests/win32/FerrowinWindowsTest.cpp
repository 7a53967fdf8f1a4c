// Ferrowin's Win32 window under Wine: placement against the tables, the about entry of the real
// system menu, the enabling rules and every message the window can show, the keyboard through
// the dialog manager, and whole downloads to readersim behind the COM port UHF_WINE_PORT.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/PortConfig.h"
#include "common/PortInfo.h"
#include "common/SystemText.h"
#include "fakes/FakeFileChooser.h"
#include "fakes/TempFolder.h"
#include "ferrowin/DownloadTemplate.h"
#include "ferrowin/win32/Win32DownloadWindow.h"
#include "serial/NativeSerialPort.h"
#include "tests/win32/Win32Harness.h"
#include "ui/win32/Win32Dpi.h"

namespace uhf {
namespace {

using Ids = DownloadControlIds;
using test::Click;
using test::PumpUntil;
using Strings = std::vector<std::string>;

constexpr int kInputs[] = {Ids::kPortList, Ids::kDeviceBaudList, Ids::kDownloadBaudList,
                           Ids::kFileButton, Ids::kDownloadButton};

std::string WinePort() {
    const char* port = std::getenv("UHF_WINE_PORT");
    return port != nullptr ? port : "";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct FerrowinRig {
    using Settings = std::vector<std::pair<std::string, std::string>>;

    explicit FerrowinRig(Strings portNames, const Settings& settings = {}, PortSource ports = {})
        : config(folder.Dir(), [portNames] { return portNames; }) {
        for (const auto& [key, value] : settings) {
            config.WriteValue(key, value);
        }
        test::RecordMessages();
        window = std::make_unique<Win32DownloadWindow>(config, port, files, std::move(ports));
        hwnd = window->CreateModeless(nullptr);
        ShowWindow(hwnd, SW_SHOW);
    }
    ~FerrowinRig() {
        window.reset();
        test::TakeMessages();
    }

    // "+" for an enabled input, "-" for a disabled one, in the order of kInputs, then "Exist".
    std::string Enabling() const {
        std::string marks;
        for (const int id : kInputs) {
            marks += IsWindowEnabled(GetDlgItem(hwnd, id)) != FALSE ? '+' : '-';
        }
        return marks + (IsWindowEnabled(GetDlgItem(hwnd, Ids::kExistButton)) ? "/+" : "/-");
    }
    std::string Text(int id) const { return window->View().Text(id); }
    std::string Cell(int row, int column) const {
        wchar_t text[256] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        SendDlgItemMessageW(hwnd, Ids::kLogList, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(&item));
        return ToUtf8(text);
    }
    // The log's message column as the list view shows it.
    Strings LogMessages() const {
        Strings lines;
        const auto rows = SendDlgItemMessageW(hwnd, Ids::kLogList, LVM_GETITEMCOUNT, 0, 0);
        for (int row = 0; row < rows; ++row) {
            lines.push_back(Cell(row, 1));
        }
        return lines;
    }
    std::string Stored(const std::string& key) const {
        const std::string ini = folder.Read("System.ini");
        const std::size_t at = ini.find(key + "=");
        return at == std::string::npos ? "?" : ini.substr(at, ini.find('\r', at) - at);
    }
    void Prepare(const std::string& image, int deviceBaud, int downloadBaud) {
        folder.Write("fw.bin", image);
        files.answer = folder.PathOf("fw.bin");
        Click(hwnd, Ids::kFileButton);
        test::Choose(hwnd, Ids::kDeviceBaudList, deviceBaud);
        test::Choose(hwnd, Ids::kDownloadBaudList, downloadBaud);
    }
    // A transfer runs while "Download" is disabled.
    bool Running() { return IsWindowEnabled(GetDlgItem(hwnd, Ids::kDownloadButton)) == FALSE; }
    bool Finished() {
        return PumpUntil([this] { return !Running(); }, std::chrono::seconds(60));
    }

    test::TempFolder folder;
    PortConfig config;
    NativeSerialPort port;
    FakeFileChooser files;
    std::unique_ptr<Win32DownloadWindow> window;
    HWND hwnd = nullptr;
};

// The about box the system menu's entry opens is modal: a timer of the thread looks at it from
// inside its loop and closes it.
struct AboutSeen {
    std::string title;
    Strings misplaced;
    bool rendered = false;
};
AboutSeen* seenAbout = nullptr;

void CALLBACK LookAtAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = FindWindowW(nullptr, L"关于 Ferrowin");
    if (about == nullptr || seenAbout == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    seenAbout->title = "关于 Ferrowin";
    seenAbout->misplaced = test::Misplaced(about, DownloadTemplate::About());
    seenAbout->rendered = test::Render(about, "ferrowin-win32-about");
    // Enter reaches the default button "确定" through the box's own dialog manager.
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(focus, WM_KEYUP, VK_RETURN, 1 | (LPARAM{3} << 30));
}

TEST(FerrowinWindow, ControlsSitWhereTheTableSaysAndTheSystemMenuOpensTheAboutBox) {
    FerrowinRig rig({"COM7"});
    EXPECT_EQ(test::Misplaced(rig.hwnd, DownloadTemplate::Get()), Strings{});
    // "download baudrate" is narrower than its text at every DPI: it shows its first word, as
    // the dialog toolkit's static text does.
    Strings clipped = test::Clipped(rig.hwnd, DownloadTemplate::Get());
    for (std::string& text : clipped) {
        text = text.substr(0, text.find(':'));
    }
    EXPECT_EQ(clipped, Strings{"download baudrate"});

    // 60 and 280 pixels at 100 %, and in proportion when the window moves to a monitor of
    // another DPI.
    const int dpi = Win32Dpi::Of(rig.hwnd);
    const auto columns = [](int at) {
        return Strings{"Time " + std::to_string(Win32Dpi::Scale(60, at)) + " centred",
                       "Message " + std::to_string(Win32Dpi::Scale(280, at)) + " centred"};
    };
    HWND log = GetDlgItem(rig.hwnd, Ids::kLogList);
    EXPECT_EQ(test::Columns(log), columns(dpi));
    RECT frame{};
    GetWindowRect(rig.hwnd, &frame);
    for (const int to : {2 * dpi, dpi}) {
        SendMessageW(rig.hwnd, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&frame));
        EXPECT_EQ(test::Columns(log), columns(to));
    }
    EXPECT_EQ(
        test::IconWidth(reinterpret_cast<HICON>(SendMessageW(rig.hwnd, WM_GETICON, ICON_SMALL, 0))),
        Win32Dpi::Metric(SM_CXSMICON, dpi));

    wchar_t entry[64] = {};
    GetMenuStringW(GetSystemMenu(rig.hwnd, FALSE), Win32DownloadWindow::kAboutCommand, entry, 64,
                   MF_BYCOMMAND);
    EXPECT_STREQ(entry, L"关于 Ferrowin(&A)...");
    EXPECT_NE(GetWindowLongPtrW(rig.hwnd, GWL_STYLE) & WS_MINIMIZEBOX, 0);

    AboutSeen seen;
    seenAbout = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookAtAbout);
    // The system's menu passes the entry's choice on as this command; it returns when the box
    // has closed.
    SendMessageW(rig.hwnd, WM_SYSCOMMAND, Win32DownloadWindow::kAboutCommand, 0);
    KillTimer(nullptr, timer);
    seenAbout = nullptr;
    EXPECT_EQ(seen.title, "关于 Ferrowin");
    EXPECT_EQ(seen.misplaced, Strings{});
    EXPECT_TRUE(seen.rendered);
    EXPECT_EQ(FindWindowW(nullptr, L"关于 Ferrowin"), nullptr);
}

TEST(FerrowinWindow, StartUpRestoresTheChoicesAndEveryChangeIsStoredAtOnce) {
    struct Case {
        const char* name;
        Strings ports;
        FerrowinRig::Settings settings;
        Strings texts;  // port, working rate, download rate, path
        Strings messages;
    };
    const Case cases[] = {
        {"first start", {"COM7", "COM8"}, {}, {"COM7", "", "", ""}, {}},
        {"stored choices",
         {"COM7", "COM8"},
         {{"Port", "1"}, {"DeviceBaud", "4"}, {"DownBaud", "9"}, {"DownloadFilePath", "C:\\a.bin"}},
         {"COM8", "115200", "", "C:\\a.bin"},
         {}},
        {"port index beyond the list", {"COM7"}, {{"Port", "3"}}, {"COM7", "", "", ""}, {}},
        {"no port", {}, {}, {"", "", "", ""}, {"本电脑没有可用的串口!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FerrowinRig rig(c.ports, c.settings);
        EXPECT_EQ(test::TakeMessages(), c.messages);
        EXPECT_EQ((Strings{rig.Text(Ids::kPortList), rig.Text(Ids::kDeviceBaudList),
                           rig.Text(Ids::kDownloadBaudList), rig.Text(Ids::kPathBox)}),
                  c.texts);
        EXPECT_EQ(rig.Enabling(), "+++++/+");
    }

    FerrowinRig rig({"COM7", "COM8", "COM12"});
    test::Choose(rig.hwnd, Ids::kPortList, 2);
    test::Choose(rig.hwnd, Ids::kDeviceBaudList, 1);
    test::Choose(rig.hwnd, Ids::kDownloadBaudList, 3);
    EXPECT_EQ((Strings{rig.Stored("Port"), rig.Stored("DeviceBaud"), rig.Stored("DownBaud")}),
              (Strings{"Port=2", "DeviceBaud=1", "DownBaud=3"}));
    EXPECT_EQ(rig.Text(Ids::kPortList), "COM12");

    // "File": a cancel changes nothing; a choice shows and is stored.
    Click(rig.hwnd, Ids::kFileButton);
    EXPECT_EQ(rig.Text(Ids::kPathBox), "");
    rig.files.answer = "C:\\images\\reader.bin";
    Click(rig.hwnd, Ids::kFileButton);
    EXPECT_EQ(rig.files.asked, 2);
    EXPECT_EQ(rig.Text(Ids::kPathBox), "C:\\images\\reader.bin");
    EXPECT_EQ(rig.Stored("DownloadFilePath"), "DownloadFilePath=C:\\images\\reader.bin");
}

TEST(FerrowinWindow, FailuresSayWhyInTheLogOrABoxAndGiveTheInputsBack) {
    const std::string port = WinePort();
    if (port.empty()) {
        GTEST_SKIP() << "UHF_WINE_PORT names no port mapped to readersim";
    }
    struct Case {
        const char* name;
        Strings reader;  // readersim's arguments; empty: the one already running
        std::string port;
        bool chooseFile;
        Strings messages;
        std::string lastLog;
    };
    const Case cases[] = {
        {"no firmware chosen", {}, port, false, {}, "Please select one firmware."},
        {"port that does not exist", {}, "COM42", true, {}, "Reason: no such device."},
        {"no answer to the probe",
         {"--silent-after", "0"},
         port,
         true,
         {},
         "The reader did not answer. Please check the serial port and the baud rate."},
        {"no answer to the baud-rate frame",
         {"--silent-after", "1"},
         port,
         true,
         {"等待超时,请检测波特率或者串口选择是否正确"},
         ""},
        {"no acknowledgement of a data frame",
         {"--silent-after", "6"},
         port,
         true,
         {"文件发送失败，请重试!"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.reader.empty()) {
            Strings arguments = c.reader;
            arguments.insert(arguments.end(), {"--baud", "9600"});
            ASSERT_TRUE(test::RestartReader(arguments));
        }
        FerrowinRig rig({c.port});
        if (c.chooseFile) {
            rig.Prepare(std::string(2000, '\x5A'), 0, 4);
        }
        Click(rig.hwnd, Ids::kDownloadButton);
        if (rig.Running()) {
            EXPECT_EQ(rig.Enabling(), "-----/+");
        }
        ASSERT_TRUE(rig.Finished());
        EXPECT_EQ(test::TakeMessages(), c.messages);
        const Strings log = rig.LogMessages();
        ASSERT_FALSE(log.empty());
        if (!c.lastLog.empty()) {
            EXPECT_EQ(log.back(), c.lastLog);
        }
        EXPECT_EQ(rig.Enabling(), "+++++/+");
    }
}

TEST(FerrowinWindow, ADeviceChangeListsThePortsOffTheWindowsThread) {
    auto machine = std::make_shared<test::PortMachine>();
    FerrowinRig rig({}, {}, [machine] {
        std::vector<PortInfo> list;
        for (const std::string& name : machine->List()) {
            list.push_back(PortInfo{name});
        }
        return list;
    });
    test::FollowDeviceChanges(rig.hwnd, rig.window->View(), Ids::kPortList, *machine);
}

// The message of an empty port list comes while the window initialises: the window shows
// first and owns it, so that the box is not left over a window that is not there.
TEST(FerrowinWindow, TheNoPortMessageIsOwnedByTheShownWindow) {
    test::TempFolder folder;
    PortConfig config(folder.Dir(), [] { return Strings{}; });
    NativeSerialPort port;
    FakeFileChooser files;
    Win32DownloadWindow window(config, port, files);
    HWND hwnd = nullptr;
    const std::vector<test::MessageBoxSeen> seen =
        test::AnswerMessageBoxes(L"提示", [&] { hwnd = window.CreateModeless(nullptr); });
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].owner, hwnd);
    EXPECT_TRUE(seen[0].ownerVisible);
    test::TakeMessages();
}

TEST(FerrowinWindow, KeysMoveThroughTheDialogAndEnterClosesIt) {
    FerrowinRig rig({"COM7", "COM8"});
    SetFocus(GetDlgItem(rig.hwnd, Ids::kPortList));
    test::PressKey(VK_TAB);
    EXPECT_EQ(test::FocusedId(rig.hwnd), Ids::kDeviceBaudList);
    test::PressKey(VK_DOWN);  // from no selection to the first rate
    test::PressKey(VK_DOWN);
    EXPECT_EQ(rig.Text(Ids::kDeviceBaudList), "19200");
    EXPECT_EQ(rig.Stored("DeviceBaud"), "DeviceBaud=1");
    test::PressKey(VK_TAB);
    test::PressKey(VK_TAB);
    EXPECT_EQ(test::FocusedId(rig.hwnd), Ids::kFileButton);
    rig.files.answer = "C:\\fw.bin";
    test::PressKey(VK_SPACE);
    EXPECT_EQ(rig.files.asked, 1);
    EXPECT_EQ(rig.Text(Ids::kPathBox), "C:\\fw.bin");
    // Enter on a list (no button has the focus, none is the default) closes the window.
    SetFocus(GetDlgItem(rig.hwnd, Ids::kDownloadBaudList));
    test::PressKey(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return IsWindow(rig.hwnd) == FALSE; }));
}

TEST(FerrowinWindow, DownloadsATwentyKilobyteImageByteForByteWithProgressAndLog) {
    const std::string port = WinePort();
    if (port.empty()) {
        GTEST_SKIP() << "UHF_WINE_PORT names no port mapped to readersim";
    }
    ASSERT_TRUE(test::RestartReader({"--baud", "9600"}));
    std::string image(20 * 1024, '\0');
    std::mt19937 random(7);
    for (char& byte : image) {
        byte = static_cast<char>(random() & 0xFF);
    }
    FerrowinRig rig({port});
    rig.Prepare(image, 0, 4);  // the reader works at 9600; the image goes at 115200
    // From the keyboard: "Download" disables itself and hands the focus on to "Exist".
    SetFocus(GetDlgItem(rig.hwnd, Ids::kDownloadButton));
    test::PressKey(VK_SPACE);
    EXPECT_EQ(rig.Enabling(), "-----/+");
    EXPECT_EQ(test::FocusedId(rig.hwnd), Ids::kExistButton);
    HWND bar = GetDlgItem(rig.hwnd, Ids::kProgressBar);
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 120; }))
        << ::testing::PrintToString(rig.LogMessages()) << " at "
        << SendMessageW(bar, PBM_GETPOS, 0, 0);
    EXPECT_TRUE(test::Render(rig.hwnd, "ferrowin-win32-downloading"));
    ASSERT_TRUE(rig.Finished());

    EXPECT_EQ(test::TakeMessages(), Strings{});
    EXPECT_EQ(rig.LogMessages(), (Strings{"Change baud rate.", "Start sending upgrade firmware.",
                                          "Upgrade file transferred successfully."}));
    // Each line stamped with the time; only the newest marked.
    EXPECT_EQ(rig.Cell(2, 0).size(), 8U);
    EXPECT_EQ(rig.window->View().SelectedIndex(Ids::kLogList), 2);
    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 1);
    EXPECT_EQ(range.iHigh, 320);  // one step per 64-byte data frame
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 319);
    EXPECT_EQ(rig.Enabling(), "+++++/+");
    ASSERT_TRUE(
        PumpUntil([&] { return ReadFile(test::ReceivedImagePath()).size() == image.size(); }));
    EXPECT_TRUE(ReadFile(test::ReceivedImagePath()) == image);
}

// A path that the ANSI code page of a Western Windows cannot spell, in a folder of its own.
const std::string kChineseFolder = "C:\\固件";
const std::string kChinesePath = kChineseFolder + "\\测试 固件.bin";

TEST(FerrowinWindow, DownloadsAFirmwareFileWithAChineseNameAndKeepsItsPathAsTheOldToolDid) {
    const std::string port = WinePort();
    if (port.empty()) {
        GTEST_SKIP() << "UHF_WINE_PORT names no port mapped to readersim";
    }
    ASSERT_EQ(GetACP(), 936U) << "windows_test.py runs the windows in the Chinese code page";
    ASSERT_TRUE(test::RestartReader({"--baud", "9600"}));
    std::string image(3000, '\0');
    std::mt19937 random(11);
    for (char& byte : image) {
        byte = static_cast<char>(random() & 0xFF);
    }
    std::filesystem::create_directories(PathFromUtf8(kChineseFolder));
    std::ofstream(PathFromUtf8(kChinesePath), std::ios::binary) << image;

    FerrowinRig rig({port});
    rig.files.answer = kChinesePath;
    Click(rig.hwnd, Ids::kFileButton);
    test::Choose(rig.hwnd, Ids::kDeviceBaudList, 0);
    test::Choose(rig.hwnd, Ids::kDownloadBaudList, 4);
    EXPECT_EQ(rig.Text(Ids::kPathBox), kChinesePath);
    // In GBK, as the Windows tool of old writes and reads it.
    EXPECT_EQ(rig.Stored("DownloadFilePath"),
              "DownloadFilePath=C:\\\xB9\xCC\xBC\xFE\\\xB2\xE2\xCA\xD4 \xB9\xCC\xBC\xFE.bin");
    Click(rig.hwnd, Ids::kDownloadButton);
    ASSERT_TRUE(rig.Finished());
    EXPECT_EQ(rig.LogMessages().back(), "Upgrade file transferred successfully.");
    ASSERT_TRUE(
        PumpUntil([&] { return ReadFile(test::ReceivedImagePath()).size() == image.size(); }));
    EXPECT_TRUE(ReadFile(test::ReceivedImagePath()) == image);

    // The next start shows the path again.
    rig.window =
        std::make_unique<Win32DownloadWindow>(rig.config, rig.port, rig.files, PortSource{});
    rig.hwnd = rig.window->CreateModeless(nullptr);
    EXPECT_EQ(rig.Text(Ids::kPathBox), kChinesePath);
    rig.window.reset();
    std::error_code ignored;
    std::filesystem::remove_all(PathFromUtf8(kChineseFolder), ignored);
}

TEST(FerrowinWindow, KeepsItsSettingsBesideItselfInAFolderWithAChineseName) {
    PortConfig config;  // beside the running program, which windows_test.py runs from "程序"
    const std::string program = config.BuildPath("ferrowin_win32_tests.exe");
    EXPECT_NE(program.find("\\程序\\"), std::string::npos) << program;
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(program))) << program;
    config.WriteValue("Port", "2");
    PortConfig again;
    int port = -1;
    EXPECT_TRUE(again.ReadPortIndex(port));
    EXPECT_EQ(port, 2);
    std::filesystem::remove(PathFromUtf8(config.iniPath));
}

// For the test's time the user's roaming application data folder lies in a profile with a
// Chinese name, where Windows keeps it: the registry's user shell folders.
class ChineseUserProfile {
  public:
    static constexpr const wchar_t* kShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    ChineseUserProfile() {
        DWORD size = sizeof old;
        RegGetValueW(HKEY_CURRENT_USER, kShellFolders, L"AppData",
                     RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, old, &size);
        Set(ToUtf16(kProfile + "\\AppData\\Roaming"));
    }
    ~ChineseUserProfile() {
        Set(old);
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(kProfile), ignored);
    }

    const std::string kProfile = "C:\\users\\测试用户";

  private:
    void Set(const std::wstring& folder) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"AppData", REG_EXPAND_SZ, folder.c_str(),
                        static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
    wchar_t old[MAX_PATH] = L"%USERPROFILE%\\AppData\\Roaming";
};

TEST(FerrowinWindow, KeepsItsSettingsInAChineseUsersProfileWhenItsFolderIsReadOnly) {
    ChineseUserProfile profile;
    // A program folder that cannot be written, as an installed program's: one on no drive.
    const std::string programDir = "Q:\\Ferrowin\\";
    const Strings ports = {"COM7", "COM8"};
    PortConfig config(programDir, [ports] { return ports; });
    EXPECT_EQ(config.iniPath,
              profile.kProfile + "\\AppData\\Roaming\\" + "ferrowin_win32_tests\\System.ini");
    NativeSerialPort port;
    FakeFileChooser files;
    auto window = std::make_unique<Win32DownloadWindow>(config, port, files, PortSource{});
    HWND hwnd = window->CreateModeless(nullptr);
    test::Choose(hwnd, Ids::kDeviceBaudList, 4);
    test::Choose(hwnd, Ids::kPortList, 1);
    window.reset();
    EXPECT_NE(ReadFile(config.iniPath).find("DeviceBaud=4\r\n"), std::string::npos)
        << ReadFile(config.iniPath);

    // The next start finds them there.
    PortConfig again(programDir, [ports] { return ports; });
    window = std::make_unique<Win32DownloadWindow>(again, port, files, PortSource{});
    window->CreateModeless(nullptr);
    EXPECT_EQ(window->View().Text(Ids::kDeviceBaudList), "115200");
    EXPECT_EQ(window->View().Text(Ids::kPortList), "COM8");
    window.reset();
    test::TakeMessages();
}

}  // namespace
}  // namespace uhf
