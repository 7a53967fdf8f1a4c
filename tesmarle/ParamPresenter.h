#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "reader/ParamUpdate.h"
#include "reader/ReaderLink.h"
#include "reader/ReaderParams.h"
#include "ui/DialogView.h"
#include "ui/PortListFollower.h"
#include "ui/TaskRunner.h"
#include "ui/TimerService.h"

namespace uhf {

// What Tesmarle's parameter window does: connects to the reader, shows and edits its parameter
// record, writes it back and sends the resume command. Every reader call runs through the task
// runner, one at a time; while one runs the window is busy and every handler is ignored, and
// its outcome is shown only once the window is no longer busy. A request to close the window
// is never ignored: it waits for the call under way.
class ParamPresenter {
  public:
    static constexpr int kPortWatchTimer = 0;

    ParamPresenter(DialogView& view, ReaderLink& link, TaskRunner& runner);

    // Fills the lists and sets the disconnected state.
    void Initialise(PortSource portSource);
    // Lists the ports again every half second and refreshes the "Port" list when an adapter
    // comes or goes, keeping the chosen port while it is still there.
    void WatchPorts(TimerService& timers);
    // Lists the ports now; the watch timer's tick.
    void PollPorts();
    // The port box's choice changed: its tooltip follows.
    void PortChosen();

    void Connect();
    void Disconnect();
    void Set();
    void Read();
    void Resume();
    // The user's choice in "Connect port": the Wiegand controls follow it.
    void ConnectPortChosen(int index);
    // True when the tag window may open now (never while a reader call runs).
    bool CanIdentifyTags() const { return !busy_; }
    // The user asked to close the window (close box, Alt+F4, Escape). Idle, it closes at once;
    // during a reader call it closes once the call has ended and its outcome has been shown, so
    // that "Set" writes the whole record or none of it, never a part for want of a window.
    void Close();

    bool IsBusy() const { return busy_; }

  private:
    // Runs a reader call with the window busy; its continuation runs once the window is idle
    // again, and after it a close asked for meanwhile is carried out.
    void Run(std::function<void()> work, std::function<void()> done);
    void ShowParams(const ReaderParams& params);
    // The changes the controls ask for, as "Set" applies them to the record read.
    std::vector<ParamChange> TakeChanges() const;
    void SetDisconnectedState();
    void SetConnectedState();
    void EnableWiegandGroup(bool on);
    void SelectValue(int id, std::uint8_t value);
    int SelectedValue(int id) const;

    DialogView& view_;
    ReaderLink& link_;
    TaskRunner& runner_;
    bool busy_ = false;
    bool closeAsked_ = false;
    PortListFollower ports_;
};

}  // namespace uhf
