#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "common/PortWatcher.h"
#include "reader/ReaderLink.h"
#include "reader/ReaderParams.h"
#include "widgets/DialogView.h"
#include "widgets/TaskRunner.h"
#include "widgets/TimerService.h"

namespace uhf {

// Lists the serial ports for the "Port" list, in the order the machine gives them, with what is
// known of each (only the path for a port named on the command line).
using PortSource = std::function<std::vector<PortInfo>()>;

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
    std::vector<std::string> ListPorts();
    void FillPortList(const std::vector<std::string>& ports, const std::string& choice);
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
    PortSource portSource_;
    std::vector<PortInfo> portDetails_;
    std::unique_ptr<PortWatcher> portWatcher_;
};

}  // namespace uhf
