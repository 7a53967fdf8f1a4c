#pragma once

#include <string>
#include <utility>

#include "serial/SerialError.h"
#include "upgrade/TransferError.h"

namespace uhf {

// A step of an attempt that its host tells the user of.
enum class TransferEvent {
    BaudChange,    // the port reopened at 9600 to tell the reader the download rate
    SendingImage,  // the port reopened at the download rate; the size frame goes out
    BytesDropped,  // more unrecognised bytes than the receive buffer holds: they were dropped
};

// How an attempt ended, and what is known of why.
struct TransferEnd {
    TransferEnd(TransferError endError = TransferError::None,
                SerialError portError = SerialError::None, std::string whyNotRead = {})
        : error(endError), port(portError), fileReason(std::move(whyNotRead)) {}

    TransferError error = TransferError::None;
    // PortAlreadyOpen and PortOpenFailed: why the port did not open. Any other end: a fault the
    // port showed while open (the device lost, a write that failed), or None.
    SerialError port = SerialError::None;
    // Why the firmware file could not be read ("it is a directory"), where that is known.
    std::string fileReason;

    bool operator==(const TransferEnd&) const = default;
};

// What the host of the upgrade transfer hears of it, as codes that the host words: the download
// window, or ferrowin-cli. Every call comes from the host's own thread, inside the transfer's
// start, a timer expiry or a receive notification.
class TransferObserver {
  public:
    virtual ~TransferObserver() = default;

    virtual void Report(TransferEvent event) = 0;

    // Image bytes handed to the port so far, of `totalBytes`: 0 when the size frame leaves, then
    // once for every data frame.
    virtual void ShowProgress(int sentBytes, int totalBytes) = 0;

    // The attempt is over, with its port closed and its timers stopped; comes once for every
    // start that was not ignored, a start refused before the port opened included.
    virtual void Finished(const TransferEnd& end) = 0;
};

}  // namespace uhf
