#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "common/PortWatcher.h"
#include "ui/DialogView.h"
#include "ui/TimerService.h"

namespace uhf {

// Lists the serial ports for a window's port list, in the order the machine gives them, with
// what is known of each (only the path for a port named on the command line).
using PortSource = std::function<std::vector<PortInfo>()>;

// A window's port list that follows the adapters plugged in and pulled out, as both programs'
// windows have it: the items are the plain paths, the tooltip names the chosen port's adapter,
// and a refresh keeps the current choice while that port is still there (else the first).
// It only fills and selects; a refresh is never the user's choice, so nothing is stored for it.
// Runs on the window's thread.
class PortListFollower {
  public:
    PortListFollower(DialogView& view, int listId);
    ~PortListFollower();
    PortListFollower(const PortListFollower&) = delete;
    PortListFollower& operator=(const PortListFollower&) = delete;

    // Where the ports come from, now and at every refresh; none lists no port.
    void SetSource(PortSource source);
    // Lists the ports now; their paths, in order.
    std::vector<std::string> List();
    // Puts `ports` into the list and selects entry `selected` (-1: none).
    void Fill(const std::vector<std::string>& ports, int selected);
    // The tooltip of the list: the chosen path, and on a second line what its adapter is.
    void ShowChoice();

    // Lists the ports again on every tick of timer `timerId`, every half second.
    void Watch(TimerService& timers, int timerId);
    // One such tick.
    void Poll();

  private:
    DialogView& view_;
    int listId_;
    PortSource source_;
    std::vector<PortInfo> details_;
    std::unique_ptr<PortWatcher> watcher_;
};

}  // namespace uhf
