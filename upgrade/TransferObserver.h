#pragma once

#include <string>

#include "upgrade/TransferError.h"

namespace uhf {

// What the host of the upgrade transfer hears of it: the download window, or ferrowin-cli. Every
// call comes from the host's own thread, inside the transfer's start, a timer expiry or a
// receive notification.
class TransferObserver {
  public:
    virtual ~TransferObserver() = default;

    // One line for the log; the host stamps it with the local time "%H:%M:%S".
    virtual void AddLog(const std::string& line) = 0;

    // A modal message box captioned "提示" with an exclamation icon and an OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // Image bytes handed to the port so far, of `totalBytes`: 0 when the size frame leaves, then
    // once for every data frame.
    virtual void ShowProgress(int sentBytes, int totalBytes) = 0;

    // The attempt is over (TransferError::None: the upgrade succeeded); the port is closed. Comes
    // once for every start that was not ignored, a start refused before the port opened included.
    virtual void Finished(TransferError result) = 0;
};

}  // namespace uhf
