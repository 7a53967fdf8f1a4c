// ferrowin-cli: the firmware download tool without a window.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/FerrowinCliHost.h"
#include "cli/FerrowinOptions.h"
#include "cli/FerrowinTerminal.h"
#include "cli/ProcessSetup.h"
#include "downloader/UpgradeTransfer.h"
#include "serial/qt/QtCommControl.h"
#include "version/ProgramVersion.h"

namespace {

constexpr int kInterruptPollMs = 50;
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
    run.port = uhf::PortPathAsGiven(options->port);

    QCoreApplication app(argc, argv);
    uhf::QtCommControl comm;
    uhf::FerrowinCliHost host(run, uhf::StderrIsTerminal());
    uhf::UpgradeTransfer transfer(comm, host);
    host.Attach(&transfer);

    // The signal handlers only raise a flag; the event loop looks at it and ends the attempt
    // cleanly.
    QTimer interruptPoll;
    int sizeWaitMs = 0;
    QObject::connect(&interruptPoll, &QTimer::timeout, [&] {
        sizeWaitMs = transfer.Phase() == uhf::TransferPhase::SizeAnnounced
                         ? sizeWaitMs + kInterruptPollMs
                         : 0;
        if (sizeWaitMs > kSizeAnswerLimitMs) {
            sizeWaitMs = 0;
            host.AddLog("The reader did not answer the image size.");
            transfer.Cancel();
            return;
        }
        if (uhf::ProcessSetup::Interrupted()) {
            interruptPoll.stop();
            if (transfer.IsRunning()) {
                transfer.Cancel();
            } else {
                QCoreApplication::quit();
            }
        }
    });
    interruptPoll.start(kInterruptPollMs);

    transfer.StartDownload();
    if (transfer.IsRunning()) {
        app.exec();
    }
    host.FinishProgress();
    return uhf::ProcessSetup::Finish("ferrowin-cli",
                                     transfer.Succeeded() ? uhf::kExitOk : uhf::kExitFailure);
}
