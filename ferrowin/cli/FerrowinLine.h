#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "ferrowin/cli/FerrowinBoard.h"
#include "ferrowin/cli/FerrowinOptions.h"
#include "serial/TraceLog.h"
#include "toolsupport/PortRunner.h"
#include "toolsupport/RunReport.h"
#include "upgrade/TransferError.h"

namespace uhf {

// Runs ferrowin-cli's upgrade on every port given, through PortRunner. Each reader's attempt runs
// on its thread from start to end (with `--device-baud auto` the search for the rate, then the
// transfer) over its own port, serial control and event loop, so that several run side by side
// sharing nothing but the board of progress lines. With a report each becomes one line of it.
class FerrowinLine {
  public:
    // `interrupted` is polled while the rate is searched and on the loop's tick: true cancels.
    FerrowinLine(const FerrowinOptions& options, std::function<bool()> interrupted);

    // One line per reader to `report`; reads the image's size and digest for it. `knownPorts`
    // give the adapters' serial numbers.
    void SetReport(RunReport* report, std::vector<PortInfo> knownPorts);

    // Prints the upgrade's lines to `err` and, for several readers, the table to `out`.
    int Run(std::ostream& out, std::ostream& err);

  private:
    struct Transfer {
        TransferError error = TransferError::Cancelled;
        double streamSeconds = 0;  // from the first data frame to the last
        int retries = 0;           // probes and baud-rate commands sent again
        // The acknowledgements' mean turnaround, what the download spent waiting on each;
        // none before two data frames were sent.
        std::optional<std::chrono::microseconds> turnaround;
        // Why it failed in words, where more is known than the error's name; empty otherwise.
        std::string message;
    };

    PortRunner::Outcome RunOne(const PortRunner::Job& job, FerrowinBoard* board) const;
    // Finds the reader's rate for `--device-baud auto`: 0 when there is none, `failure` saying why.
    int FindDeviceBaud(const PortRunner::Job& job, TraceLog& trace, std::string& found,
                       Transfer& failure) const;
    Transfer Download(const FerrowinOptions& run, const PortRunner::Job& job, TraceLog& trace,
                      FerrowinBoard* board) const;

    const FerrowinOptions& options;
    std::function<bool()> interrupted;
    RunReport* report = nullptr;
    std::vector<PortInfo> knownPorts;
    // The image's size and digest for the report, read apart from the transfer, which reads it
    // itself; "null" when the file cannot be read (the transfer then says why).
    std::string imageSize = "null";
    std::string imageSha256 = "null";
};

}  // namespace uhf
