#include "tests/win32/Win32Harness.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <commctrl.h>
#include <dbt.h>
#include <gtest/gtest.h>

#include "common/SystemText.h"
#include "ui/win32/Win32DialogView.h"

namespace uhf::test {

namespace {

std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
}

bool IsComboKind(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo;
}

// Hands the harness a request, one item a line, and waits until it has been carried out; true
// when it says it was.
bool AskHarness(const std::vector<std::string>& lines) {
    const char* folder = std::getenv("UHF_SIM_CONTROL");
    if (folder == nullptr || *folder == '\0') {
        return false;
    }
    const std::string request = std::string(folder) + "\\request";
    const std::string ready = std::string(folder) + "\\ready";
    DeleteFileA(ready.c_str());
    {
        std::ofstream out(request + ".tmp", std::ios::binary);
        for (const std::string& line : lines) {
            out << line << "\n";
        }
    }
    // Whole or not at all: the harness reads it once it has its name.
    MoveFileExA((request + ".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!PumpUntil([&] { return GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
        return false;
    }
    std::ifstream answer(ready, std::ios::binary);
    std::string outcome;
    std::getline(answer, outcome);
    if (outcome != "ok") {
        std::fprintf(stderr, "harness: %s\n", outcome.c_str());
    }
    return outcome == "ok";
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
            if (top != nullptr && IsDialogMessageW(top, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void PumpFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    PumpUntil([end] { return std::chrono::steady_clock::now() >= end; }, span * 2);
}

void Click(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Choose(HWND dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void Type(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PressKey(UINT key) {
    HWND focus = GetFocus();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(focus, WM_KEYDOWN, key, scan | 1);
    PostMessageW(focus, WM_KEYUP, key, scan | 1 | (LPARAM{3} << 30));
    PumpFor(std::chrono::milliseconds(50));
}

int FocusedId(HWND dialog) {
    HWND focus = GetFocus();
    // The edit field inside a combo box has the focus for it.
    while (focus != nullptr && GetParent(focus) != dialog) {
        focus = GetParent(focus);
    }
    return focus != nullptr ? GetDlgCtrlID(focus) : -1;
}

bool RestartReader(const std::vector<std::string>& arguments) {
    std::vector<std::string> lines{"reader"};
    lines.insert(lines.end(), arguments.begin(), arguments.end());
    return AskHarness(lines);
}

std::string ReceivedImagePath() {
    const char* folder = std::getenv("UHF_SIM_CONTROL");
    return folder != nullptr && *folder != '\0' ? std::string(folder) + "\\received.bin"
                                                : std::string();
}

std::vector<std::string> Misplaced(HWND dialog, const DialogTemplate& table) {
    std::vector<std::string> wrong;
    for (const ControlTemplate& control : table.controls) {
        if (control.id < 0) {
            continue;
        }
        // The dialog manager converts the position and the size, not the far corner.
        RECT units{control.x, control.y, control.width, control.height};
        MapDialogRect(dialog, &units);
        const RECT expected{units.left, units.top, units.left + units.right,
                            units.top + units.bottom};
        RECT actual{};
        GetWindowRect(GetDlgItem(dialog, control.id), &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        bool same = actual.left == expected.left && actual.top == expected.top;
        // An icon takes its own size; a closed combo box is as tall as its edit field, the
        // template giving the height with the list dropped down; a text that fits at 100 % but
        // not at this DPI widens its control (Clipped checks that it then fits).
        const bool widens = control.kind == ControlKind::Label ||
                            control.kind == ControlKind::CheckBox ||
                            control.kind == ControlKind::RadioButton;
        if (control.kind != ControlKind::Icon) {
            same = same &&
                   (actual.right == expected.right || (widens && actual.right > expected.right));
            if (!IsComboKind(control.kind)) {
                same = same && actual.bottom == expected.bottom;
            }
        }
        if (!same) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "control %d at (%ld,%ld)-(%ld,%ld), wanted (%ld,%ld)-(%ld,%ld)",
                          control.id, actual.left, actual.top, actual.right, actual.bottom,
                          expected.left, expected.top, expected.right, expected.bottom);
            wrong.emplace_back(line);
        }
    }
    return wrong;
}

std::vector<std::string> Clipped(HWND dialog, const DialogTemplate& table) {
    std::vector<std::string> clipped;
    HDC dc = GetDC(dialog);
    // The dialog's controls are its children in the order of the table.
    HWND control = GetWindow(dialog, GW_CHILD);
    for (const ControlTemplate& entry : table.controls) {
        HWND window = control;
        control = control != nullptr ? GetWindow(control, GW_HWNDNEXT) : nullptr;
        long needed = 0;
        if (entry.kind == ControlKind::Label) {
            const std::wstring text = ToUtf16(entry.text);
            const HGDIOBJ before =
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
            RECT box{};
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                      DT_CALCRECT | DT_SINGLELINE);
            SelectObject(dc, before);
            needed = box.right;
        } else if (entry.kind == ControlKind::PushButton ||
                   entry.kind == ControlKind::DefaultPushButton ||
                   entry.kind == ControlKind::CheckBox || entry.kind == ControlKind::RadioButton) {
            // The button's own measure: its text with its frame, or beside its box.
            SIZE ideal{};
            SendMessageW(window, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
            needed = ideal.cx;
        } else {
            continue;
        }
        RECT client{};
        GetClientRect(window, &client);
        if (needed > client.right) {
            clipped.push_back(entry.text + ": needs " + std::to_string(needed) + ", has " +
                              std::to_string(client.right));
        }
    }
    ReleaseDC(dialog, dc);
    return clipped;
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || GetIconInfo(icon, &info) == FALSE) {
        return 0;
    }
    BITMAP image{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof image, &image);
    for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    return image.bmWidth;
}

std::vector<std::string> Columns(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    std::vector<std::string> columns;
    const auto count = SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
    for (int column = 0; column < count; ++column) {
        wchar_t title[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
        item.pszText = title;
        item.cchTextMax = 64;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&item));
        const bool centred = (item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER;
        columns.push_back(ToUtf8(title) + " " + std::to_string(item.cxy) +
                          (centred ? " centred" : " left"));
    }
    return columns;
}

bool Render(HWND window, const std::string& name) {
    // The X window Wine draws this window into; the harness captures it as the display shows it
    // (a capture from inside Wine reads its own desktop, not the other windows' contents).
    const auto xWindow =
        reinterpret_cast<std::uintptr_t>(GetPropW(window, L"__wine_x11_whole_window"));
    if (std::getenv("UHF_SIM_CONTROL") == nullptr) {
        return true;  // run by hand, without the harness: nothing to capture with
    }
    if (xWindow == 0) {
        return false;
    }
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    // The X window is mapped a moment after it is shown, and what was painted before is lost:
    // paint again once it is there.
    PumpFor(std::chrono::milliseconds(300));
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(std::chrono::milliseconds(300));
    return AskHarness({"render", std::to_string(xWindow), name});
}

namespace {

struct BoxWatch {
    const wchar_t* caption;
    std::function<void()> answered;
    std::vector<MessageBoxSeen> seen;
    bool waiting = false;  // a box answered, not yet gone
    int idleTicks = 0;
};
BoxWatch* watch = nullptr;

void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    if (watch == nullptr) {
        return;
    }
    HWND box = FindWindowW(L"#32770", watch->caption);
    if (box != nullptr && !watch->waiting) {
        HWND owner = GetWindow(box, GW_OWNER);
        watch->seen.push_back({owner, IsWindowVisible(owner) != FALSE});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        watch->waiting = true;
    } else if (box == nullptr && (watch->waiting || ++watch->idleTicks == 300)) {
        watch->waiting = false;
        if (watch->answered) {
            watch->answered();
        }
    }
}

}  // namespace

std::vector<MessageBoxSeen> AnswerMessageBoxes(const wchar_t* caption,
                                               const std::function<void()>& action,
                                               const std::function<void()>& answered) {
    BoxWatch state{caption, answered, {}};
    watch = &state;
    Win32DialogView::SetMessageSink({});
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForMessageBox);
    action();
    KillTimer(nullptr, timer);
    watch = nullptr;
    RecordMessages();
    return state.seen;
}

void RecordMessages() {
    Win32DialogView::SetMessageSink([](const std::string& text) { Messages().push_back(text); });
}

std::vector<std::string> TakeMessages() {
    std::vector<std::string> taken;
    taken.swap(Messages());
    return taken;
}

std::vector<std::string> PortMachine::List() {
    const std::lock_guard<std::mutex> lock(mutex);
    listedOn.push_back(GetCurrentThreadId());
    return ports;
}

void FollowDeviceChanges(HWND dialog, const Win32DialogView& view, int listId,
                         PortMachine& machine) {
    struct Step {
        std::vector<std::string> ports;
        WPARAM event;
        int count;
    };
    const Step steps[] = {
        // All that a top-level window reliably gets without RegisterDeviceNotification.
        {{"COM3", "COM7", "COM9"}, DBT_DEVNODES_CHANGED, 3},
        {{"COM3", "COM7"}, DBT_DEVICEREMOVECOMPLETE, 2},
        {{"COM3"}, DBT_DEVNODES_CHANGED, 1},
        {{"COM3", "COM4"}, DBT_DEVICEARRIVAL, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.ports.size());
        {
            const std::lock_guard<std::mutex> lock(machine.mutex);
            machine.ports = step.ports;
        }
        SendMessageW(dialog, WM_DEVICECHANGE, step.event, 0);
        ASSERT_TRUE(PumpUntil([&] { return view.ItemCount(listId) == step.count; }));
    }
    // The first list fills the window as it opens; every later one was taken off its thread.
    const std::lock_guard<std::mutex> lock(machine.mutex);
    ASSERT_GE(machine.listedOn.size(), 1 + std::size(steps));
    EXPECT_EQ(machine.listedOn[0], GetCurrentThreadId());
    EXPECT_EQ(std::count(machine.listedOn.begin(), machine.listedOn.end(), GetCurrentThreadId()),
              1);
}

}  // namespace uhf::test
