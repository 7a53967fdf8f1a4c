#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "ferrowin/TransferWords.h"
#include "ui/DialogView.h"
#include "ui/PortListFollower.h"
#include "ui/TimerService.h"
#include "upgrade/TransferObserver.h"
#include "upgrade/TransferTimers.h"
#include "upgrade/UpgradeTransfer.h"

namespace uhf {

class CommControl;
class FileChooser;
class LowLatencyMode;
class PortConfig;

// What the download window does, whatever draws it: restores the user's last choices from the
// settings file and stores every change at once, runs "File", "Download" and "Exist", keeps the
// inputs' enabling rule, and hosts the upgrade transfer, whose steps and end it words (in
// TransferWords) as log lines and "提示" messages, and whose progress it shows. The window is
// seen only through a view keyed by the ids of DownloadControlIds. Everything runs on the
// window's thread.
class DownloadPresenter : public TransferObserver {
  public:
    static constexpr int kPortWatchTimer = 0;

    // The local time of day now; the log stamps its lines with it.
    using LocalTime = std::function<std::tm()>;

    struct LogLine {
        std::string time;  // "%H:%M:%S"
        std::string message;
    };

    // Keeps references to all; they must outlive it. The baud-rate lists of the view hold their
    // five rates already. `localTime` defaults to the machine's clock.
    DownloadPresenter(DialogView& view, PortConfig& config, CommControl& comm,
                      TransferTimers& timers, FileChooser& files, LocalTime localTime = {});

    ~DownloadPresenter() override;
    DownloadPresenter(const DownloadPresenter&) = delete;
    DownloadPresenter& operator=(const DownloadPresenter&) = delete;

    // Restores the stored choices, fills the port list and sets the progress range. The ports
    // come from `ports`, or without one from the settings object's port list.
    void Initialise(PortSource ports = {});
    // Lists the ports again every half second and refreshes the port list when an adapter comes
    // or goes, keeping the chosen port while it is still there. A refresh stores nothing.
    void WatchPorts(TimerService& timers);
    // Lists the ports now, as the watch timer's tick does: for a window that hears of a device
    // change from the system. Nothing before WatchPorts.
    void PollPorts();
    // The port list's choice changed: its tooltip names the adapter.
    void PortChosen();
    // The warning of a USB adapter that stays slow goes into the log, once per adapter. `mode`
    // is the one the serial control opens ports with, on this thread; it must outlive this.
    void LogLatencyWarnings(LowLatencyMode& mode);

    // The buttons. "File" asks for the firmware file; "Download" starts the transfer with the
    // path shown; "Exist" exits: it closes the port and the window, in any phase of a transfer.
    void ChooseFile();
    void Download();
    void Exit();
    // The user picked entry `index` of the port list or a baud-rate list: stored at once.
    void SelectionChanged(int id, int index);

    // Appends a line stamped with the local time "%H:%M:%S", marks it and scrolls to it.
    void AddLog(const std::string& message);

    // TransferObserver
    void Report(TransferEvent event) override;
    // The bar's range is 1 to the number of data frames when the size frame leaves, then its
    // position the index of each data frame as it leaves.
    void ShowProgress(int sentBytes, int totalBytes) override;
    // Says how it ended, then enables the inputs again.
    void Finished(const TransferEnd& end) override;

    // The port list, both baud-rate lists and the "File" and "Download" buttons; "Exist", the
    // log and the progress bar stay usable.
    void EnableInputs(bool on);

    int LogCount() const { return static_cast<int>(log_.size()); }
    const LogLine& Log(int row) const { return log_[static_cast<std::size_t>(row)]; }

  private:
    void RestoreBaudRates();
    void FillPortList();
    void Say(const std::vector<TransferWords::Line>& lines);
    // The choices of the three lists now; a list without a selection reads as 0.
    TransferSelections ReadSelections() const;
    std::string Selected(int id) const;

    DialogView& view_;
    PortConfig& config_;
    CommControl& comm_;
    FileChooser& files_;
    LocalTime localTime_;
    LowLatencyMode* lowLatency_ = nullptr;
    std::vector<LogLine> log_;
    PortListFollower ports_;
    UpgradeTransfer transfer_;
};

}  // namespace uhf
