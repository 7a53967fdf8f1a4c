// ferrowin-cli: the firmware download tool without a window.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/FerrowinCliHost.h"
#include "cli/FerrowinEventLoop.h"
#include "cli/FerrowinOptions.h"
#include "cli/FerrowinTerminal.h"
#include "cli/ProcessSetup.h"
#include "cli/ReaderProbe.h"
#include "downloader/UpgradeTransfer.h"
#include "serial/NativeCommControl.h"
#include "serial/NativeSerialPort.h"
#include "version/ProgramVersion.h"

namespace {

constexpr int kTickMs = 50;
// The transfer itself waits for the size answer without limit (the window has its exit button);
// a command line must end on its own.
constexpr int kSizeAnswerLimitMs = 3000;

}  // namespace

int main(int argc, char** argv) {
    uhf::ProcessSetup::Prepare();
    if (uhf::PrintVersionIfAsked("ferrowin-cli", argc, argv)) {
        return uhf::ProcessSetup::Finish("ferrowin-cli", uhf::kExitOk);
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<uhf::FerrowinOptions> options = uhf::FerrowinOptions::Parse(args, error);
    if (!options) {
        std::fprintf(stderr, "ferrowin-cli: %s\n%s", error.c_str(), uhf::FerrowinOptions::Usage());
        return uhf::kExitUsage;
    }
    if (options->help) {
        std::fputs(uhf::FerrowinOptions::Usage(), stdout);
        return uhf::ProcessSetup::Finish("ferrowin-cli", uhf::kExitOk);
    }

    uhf::FerrowinOptions run = *options;
    if (run.deviceBaudAuto) {
        uhf::SerialError openError = uhf::SerialError::None;
        const auto start = uhf::ReaderProbe::FindDownloadStart(run.port, openError);
        if (!start) {
            if (openError != uhf::SerialError::None) {
                std::fprintf(stderr, "ferrowin-cli: open %s failed: %s\n", run.port.c_str(),
                             uhf::ToString(openError).c_str());
            } else {
                std::fprintf(stderr,
                             "ferrowin-cli: --device-baud auto: no answer at any rate: "
                             "check power and wiring, TX/RX may be swapped\n");
            }
            return uhf::ProcessSetup::Finish("ferrowin-cli", uhf::kExitFailure);
        }
        if (start->mode == uhf::ReaderMode::ParameterProtocol) {
            std::fprintf(stderr, "ferrowin-cli: found the reader at %d baud\n", start->startAt);
        } else {
            std::fprintf(stderr,
                         "ferrowin-cli: found the reader's upgrade loader at %d baud; it listens "
                         "at %d baud now, and the download starts there\n",
                         start->answeredAt, start->startAt);
        }
        run.deviceBaud = start->startAt;
    }

    // The port is opened by its path as given, relative to the working folder or not.
    uhf::FerrowinEventLoop loop;
    uhf::NativeSerialPort port;
    uhf::NativeCommControl comm(port, [&loop] { loop.Wake(); });
    loop.SetWakeHandler([&comm] { comm.ProcessPending(); });
    uhf::FerrowinCliHost host(uhf::StderrIsTerminal(), [&loop] { loop.Quit(); });
    uhf::UpgradeTransfer transfer(comm, loop, host);

    // The signal handlers only raise a flag; the tick looks at it and ends the attempt cleanly.
    int sizeWaitMs = 0;
    loop.SetTick(kTickMs, [&] {
        if (uhf::ProcessSetup::Interrupted()) {
            transfer.Cancel();
            return;
        }
        sizeWaitMs =
            transfer.Phase() == uhf::TransferPhase::SizeAnnounced ? sizeWaitMs + kTickMs : 0;
        if (sizeWaitMs > kSizeAnswerLimitMs) {
            host.AddLog("The reader did not answer the image size.");
            transfer.Cancel();
        }
    });

    uhf::TransferSelections selections;
    selections.portName = run.port;
    selections.deviceBaud = run.deviceBaud;
    selections.downloadBaud = options->downloadBaud;
    selections.downloadBaudIndex = uhf::FerrowinOptions::BaudIndex(options->downloadBaud);
    transfer.StartDownload(options->firmware, selections);
    if (!host.HasFinished()) {
        loop.Run();
    }
    host.FinishProgress();
    return uhf::ProcessSetup::Finish("ferrowin-cli", host.Result() == uhf::TransferError::None
                                                         ? uhf::kExitOk
                                                         : uhf::kExitFailure);
}
