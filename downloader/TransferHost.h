#pragma once

#include <string>

namespace uhf {

// The user's choices as the window (or the command line) holds them at the moment of reading.
// A list without a selection reads as 0.
struct TransferSelections {
    std::string portName;  // what the port is opened by: "/dev/ttyUSB0", "COM3"
    int portNumber = 0;    // COM12 gives 12; 0 where names carry no number
    int deviceBaud = 0;    // the reader's working rate, e.g. 115200
    int downloadBaud = 0;  // the rate the image travels at
};

// What the upgrade transfer needs of whoever hosts it: the download window or ferrowin-cli.
// Every call comes from the host's own thread, inside StartDownload, HandleTimer or
// HandleCommEvent of the transfer.
class TransferHost {
  public:
    virtual ~TransferHost() = default;

    // Appends one line, stamped with the local time "%H:%M:%S", to the log.
    virtual void AddLog(const std::string& message) = 0;

    // Make the port list, both baud-rate lists and the "File" and "Download" buttons usable or
    // unusable; the exit button always stays usable.
    virtual void EnableInputs() = 0;
    virtual void DisableInputs() = 0;

    virtual TransferSelections ReadSelections() = 0;

    // The progress bar: range from `lower` to `upper`, and the position in it.
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPosition(int position) = 0;

    // Index of the current download baud-rate choice (0 = 9600 ... 4 = 115200), -1 when none.
    virtual int DownloadBaudIndex() = 0;

    // The firmware path as the path box shows it now.
    virtual std::string FirmwarePath() = 0;

    // A modal message box captioned "提示" with an exclamation icon and an OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // One-shot timers 0, 1 and 2: when one expires the host calls HandleTimer(id) on the transfer,
    // never inside another handler. Arming a running timer restarts it; stopping an idle one is
    // harmless.
    virtual void ArmTimer(int id, int milliseconds) = 0;
    virtual void StopTimer(int id) = 0;

    // Blocks the host's thread for `milliseconds`; no timer or receive notification is handled
    // meanwhile.
    virtual void Pause(int milliseconds) = 0;
};

}  // namespace uhf
