#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/DialogView.h"
#include "paramtool/TaskRunner.h"
#include "reader/ReaderLink.h"
#include "reader/ReaderParams.h"

namespace uhf {

// Lists the serial port names for the "Port" list, in the order the machine gives them.
using PortSource = std::function<std::vector<std::string>()>;

// What Tesmarle's parameter window does: connects to the reader, shows and edits its parameter
// record, writes it back and sends the resume command. Every reader call runs through the task
// runner, one at a time; while one runs the window is busy and every handler is ignored, and
// its outcome is shown only once the window is no longer busy.
class ParamPresenter {
  public:
    ParamPresenter(DialogView& view, ReaderLink& link, TaskRunner& runner);

    // Fills the lists and sets the disconnected state.
    void Initialise(const PortSource& portSource);

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
};

}  // namespace uhf
