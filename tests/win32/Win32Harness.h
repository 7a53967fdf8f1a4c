#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"

namespace uhf {
class Win32DialogView;
}

namespace uhf::test {

// Dispatches the thread's messages until `done` holds, through the dialog manager
// (IsDialogMessageW) as a program's loop does for its windows, so that keys move the focus; false
// when `limit` passed first (a hang, not a timing rule).
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(30));
void PumpFor(std::chrono::milliseconds span);

// The user's actions, as the controls send them to the dialog.
void Click(HWND dialog, int id);
void Choose(HWND dialog, int id, int index);  // CB_SETCURSEL, then the CBN_SELCHANGE it lacks
void Type(HWND dialog, int id, const std::wstring& text);
// A key pressed and released on the control with the focus, as the keyboard queues it; the
// dialog manager sees it at the next pump.
void PressKey(UINT key);
// The id of the control with the focus, -1 when none of `dialog` has it.
int FocusedId(HWND dialog);

// The harness (windows_test.py) is asked through files in the folder UHF_SIM_CONTROL names.
// Restarts the native readersim behind the port with `arguments` added to its usual ones, and
// returns when it is ready; false when no harness answers.
bool RestartReader(const std::vector<std::string>& arguments);
// Where readersim writes the image of a completed download (a Wine path), empty when unknown.
std::string ReceivedImagePath();

// Every control of the table with an id sits where MapDialogRect puts its template rectangle
// (a label, check box or radio button may be wider); returns the misplaced ones, described.
std::vector<std::string> Misplaced(HWND dialog, const DialogTemplate& table);

// The text controls whose text does not fit them as they are drawn: labels on one line, push
// buttons, and check boxes and radio buttons beside their box, described "text: needs N, has M".
std::vector<std::string> Clipped(HWND dialog, const DialogTemplate& table);

// The width of an icon's image in pixels; 0 for none.
int IconWidth(HICON icon);

// A report list's columns as its header shows them: "title width centred" (or "left").
std::vector<std::string> Columns(HWND list);

// A capture of the window as the X display shows it, written by the harness as
// "<name>.png" into its render folder. False when the harness could not; true without one.
bool Render(HWND window, const std::string& name);

// Runs `action` with the views' messages shown as real message boxes captioned `caption`. A
// timer of the thread answers each box with OK, noting its owner as it was then, and once the
// box has gone calls `answered` (inside whatever modal loop runs); after 30 s without a box it
// calls `answered` too, so that a test fails rather than hangs. The views record again after.
struct MessageBoxSeen {
    HWND owner;
    bool ownerVisible;
};
std::vector<MessageBoxSeen> AnswerMessageBoxes(const wchar_t* caption,
                                               const std::function<void()>& action,
                                               const std::function<void()>& answered = {});

// The machine's serial ports as a window's port source lists them: a test changes them while the
// window's list thread reads them, and each listing notes its thread.
struct PortMachine {
    std::mutex mutex;
    std::vector<std::string> ports{"COM3", "COM7"};
    std::vector<DWORD> listedOn;

    std::vector<std::string> List();
};

// Adapters plugged in and pulled out of `machine`, each change broadcast to `dialog`: the list
// follows once the window's messages are pumped, and every listing after the window's first was
// taken off its thread. What a refresh keeps and stores is the presenters' test.
void FollowDeviceChanges(HWND dialog, const Win32DialogView& view, int listId,
                         PortMachine& machine);

// The messages the views showed since the last call, in order.
std::vector<std::string> TakeMessages();
void RecordMessages();

}  // namespace uhf::test
