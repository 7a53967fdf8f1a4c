#pragma once

#include <functional>
#include <string>

#include "ferrowin/cli/FerrowinBoard.h"
#include "ferrowin/cli/FerrowinOptions.h"
#include "upgrade/TransferError.h"

namespace uhf {

// One reader's upgrade from start to end on the calling thread: its own port, serial control,
// event loop and transfer, so that several run side by side without sharing anything but the
// board.
class FerrowinDownload {
  public:
    struct Result {
        TransferError error = TransferError::Cancelled;
        double seconds = 0;        // the whole attempt
        double streamSeconds = 0;  // from the first data frame to the last
        int retries = 0;           // probes and baud-rate commands sent again
        // Why it failed in words, where more is known than the error's name; empty otherwise.
        std::string message;
    };

    // `interrupted` is polled on the loop's tick: true cancels the attempt.
    static Result Run(const FerrowinOptions& options, const std::string& port, FerrowinBoard* board,
                      int row, const std::function<bool()>& interrupted);
};

}  // namespace uhf
