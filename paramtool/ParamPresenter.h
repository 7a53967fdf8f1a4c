#pragma once

#include <cstdint>

#include "reader/ReaderLink.h"
#include "reader/ReaderParams.h"
#include "widgets/DialogView.h"
#include "widgets/PortListFollower.h"
#include "widgets/TaskRunner.h"
#include "widgets/TimerService.h"

namespace uhf {

// What Tesmarle's parameter window does: connects to the reader, shows and edits its parameter
// record, writes it back and sends the resume command. Every reader call runs through the task
// runner, one at a time; while one runs the window is busy and every handler is ignored, and
// its outcome is shown only once the window is no longer busy.
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

    bool IsBusy() const { return busy_; }

  private:
    void Begin();
    void End();
    void ShowParams(const ReaderParams& params);
    void TakeParams(ReaderParams& params) const;
    void SetDisconnectedState();
    void SetConnectedState();
    void EnableWiegandGroup(bool on);
    void SelectValue(int id, std::uint8_t value);
    std::uint8_t SelectedValue(int id) const;

    DialogView& view_;
    ReaderLink& link_;
    TaskRunner& runner_;
    bool busy_ = false;
    PortListFollower ports_;
};

}  // namespace uhf
