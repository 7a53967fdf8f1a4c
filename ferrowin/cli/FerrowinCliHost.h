#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "ferrowin/TransferWords.h"
#include "ferrowin/cli/FerrowinBoard.h"
#include "reader/TurnaroundMeter.h"
#include "toolsupport/ProcessSetup.h"
#include "upgrade/TransferObserver.h"

namespace uhf {

// What ferrowin-cli shows of the upgrade transfer: the window's log lines and message boxes, in
// the window's words, as time-stamped lines on `log`, a progress line there redrawn as the
// terminal allows (none when it is no terminal), and the end, at which the transfer's loop ends.
// Output that cannot be written is lost output, nothing more: it never ends a transfer.
class FerrowinCliHost : public TransferObserver {
  public:
    // `onFinished` is called once the attempt is over. With a board the progress shows as its row
    // `boardRow`, shared with other transfers.
    FerrowinCliHost(std::ostream& log, ProcessSetup::Terminal terminal,
                    std::function<void()> onFinished, FerrowinBoard* board = nullptr,
                    std::size_t boardRow = 0);

    // A time-stamped line of its own.
    void AddLog(const std::string& line);

    void Report(TransferEvent event) override;
    void ShowProgress(int sentBytes, int totalBytes) override;
    void Finished(const TransferEnd& end) override;

    bool HasFinished() const { return finished; }
    const TransferEnd& End() const { return end; }

    // Ends the progress line so the shell prompt starts on a line of its own; on a board, draws
    // the final state.
    void FinishProgress();

    // The rate the image goes at: each data frame's round trip to its acknowledgement, less the
    // bytes' wire time, is a turnaround sample, and from the 16th frame on the time left is
    // predicted from their mean.
    void SetDownloadBaud(int baud) { downloadBaud = baud; }
    const TurnaroundMeter& Turnaround() const { return turnaround; }
    // Seconds from the first data frame to the end of the attempt (on success the end frame's
    // acknowledgement); 0 before any data frame.
    double StreamSeconds() const;

  private:
    void Print(const std::string& line);
    // Back to the start of the progress line, and the line cleared.
    std::string ClearProgress() const;
    void Say(const std::vector<TransferWords::Line>& lines);

    std::ostream& log;
    FerrowinBoard* board;
    std::size_t boardRow;
    std::chrono::steady_clock::time_point lastProgress;
    ProcessSetup::Terminal terminal;
    std::function<void()> onFinished;
    bool finished = false;
    TransferEnd end;
    bool progressVisible = false;
    bool streaming = false;
    std::chrono::steady_clock::time_point streamStart;
    int downloadBaud = 0;
    TurnaroundMeter turnaround;
    int framesSent = 0;
    std::string progressLine;
};

}  // namespace uhf
