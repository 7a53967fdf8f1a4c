#include "ferrowin/cli/FerrowinDownload.h"

#include <chrono>

#include "ferrowin/cli/FerrowinCliHost.h"
#include "ferrowin/cli/FerrowinEventLoop.h"
#include "ferrowin/cli/FerrowinTerminal.h"
#include "upgrade/UpgradeTransfer.h"
#include "serial/NativeCommControl.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

namespace {

constexpr int kTickMs = 50;
// The transfer itself waits for the size answer without limit (the window has its exit button);
// a command line must end on its own.
constexpr int kSizeAnswerLimitMs = 3000;

}  // namespace

FerrowinDownload::Result FerrowinDownload::Run(const FerrowinOptions& options,
                                               const std::string& portName, FerrowinBoard* board,
                                               int row, const std::function<bool()>& interrupted) {
    const auto start = std::chrono::steady_clock::now();
    // The port is opened by its path as given, relative to the working folder or not.
    FerrowinEventLoop loop;
    NativeSerialPort port;
    NativeCommControl comm(port, [&loop] { loop.Wake(); });
    loop.SetWakeHandler([&comm] { comm.ProcessPending(); });
    FerrowinCliHost host(StderrIsTerminal(), [&loop] { loop.Quit(); });
    if (board != nullptr) {
        host.SetBoard(board, row);
    }
    UpgradeTransfer transfer(comm, loop, host);
    transfer.SetStopCheck(interrupted);

    // The signal handlers only raise a flag; the transfer looks at it before each step that a
    // timer takes, the tick while it waits for answers.
    int sizeWaitMs = 0;
    loop.SetTick(kTickMs, [&] {
        if (interrupted()) {
            transfer.Cancel();
            return;
        }
        sizeWaitMs = transfer.Phase() == TransferPhase::SizeAnnounced ? sizeWaitMs + kTickMs : 0;
        if (sizeWaitMs > kSizeAnswerLimitMs) {
            host.AddLog("The reader did not answer the image size.");
            transfer.Cancel();
        }
    });

    TransferSelections selections;
    selections.portName = portName;
    selections.deviceBaud = options.deviceBaud;
    selections.downloadBaud = options.downloadBaud;
    selections.downloadBaudIndex = FerrowinOptions::BaudIndex(options.downloadBaud);
    transfer.StartDownload(options.firmware, selections);
    if (!host.HasFinished()) {
        loop.Run();
    }
    host.FinishProgress();
    Result result;
    result.error = host.Result();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.streamSeconds = host.StreamSeconds();
    result.retries = transfer.State().retryCount;
    if (result.error == TransferError::PortOpenFailed &&
        transfer.OpenError() != SerialError::None) {
        result.message =
            std::string(ToString(result.error)) + ": " + ToString(transfer.OpenError());
    }
    return result;
}

}  // namespace uhf
