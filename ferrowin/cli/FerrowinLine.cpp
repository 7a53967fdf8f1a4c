#include "ferrowin/cli/FerrowinLine.h"

#include <cstdio>
#include <optional>

#include "common/AtomicFile.h"
#include "common/Sha256.h"
#include "ferrowin/cli/FerrowinCliHost.h"
#include "ferrowin/cli/FerrowinEventLoop.h"
#include "reader/ReaderProbe.h"
#include "serial/NativeCommControl.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/JsonText.h"
#include "toolsupport/ProcessSetup.h"
#include "toolsupport/TraceTail.h"
#include "upgrade/UpgradeTransfer.h"

namespace uhf {

namespace {

constexpr int kTickMs = 50;
// The transfer itself waits for the size answer without limit (the window has its exit button);
// a command line must end on its own.
constexpr int kSizeAnswerLimitMs = 3000;
constexpr std::size_t kImageReadLimit = 1 << 20;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

FerrowinLine::FerrowinLine(const FerrowinOptions& chosen, std::function<bool()> stopCheck)
    : options(chosen), interrupted(std::move(stopCheck)) {}

void FerrowinLine::SetReport(RunReport* record, std::vector<PortInfo> ports) {
    report = record;
    knownPorts = std::move(ports);
    const AtomicFile::Contents image = AtomicFile::Read(options.firmware, kImageReadLimit);
    if (image.error == FileError::None) {
        imageSize = std::to_string(image.bytes.size());
        imageSha256 = JsonText(Sha256::Of(reinterpret_cast<const std::uint8_t*>(image.bytes.data()),
                                          image.bytes.size()));
    }
}

int FerrowinLine::Run(std::ostream& out, std::ostream& err) {
    // On a terminal each of several readers keeps a progress line below the lines of the logs;
    // that takes moving the cursor up.
    std::optional<FerrowinBoard> board;
    if (options.ports.size() > 1 &&
        ProcessSetup::ErrorTerminal() == ProcessSetup::Terminal::EscapeSequences) {
        board.emplace(options.ports, err);
    }
    FerrowinBoard* shared = board ? &*board : nullptr;
    std::ostream boardStream(shared);
    PortRunner runner(out, shared != nullptr ? boardStream : err);
    runner.SetColumns({"retries"}, "");
    return runner.Run(options.ports,
                      [this, shared](const PortRunner::Job& job) { return RunOne(job, shared); });
}

PortRunner::Outcome FerrowinLine::RunOne(const PortRunner::Job& job, FerrowinBoard* board) const {
    FerrowinOptions run = options;
    std::string found;  // what `--device-baud auto` found, for the table
    Transfer transfer;
    TraceLog trace;
    if (!options.traceFile.empty() && !trace.WriteTo(options.traceFile, transfer.message)) {
        job.err << "ferrowin-cli: " << transfer.message << "\n";
        return {kExitFailure, transfer.message, {"0"}};
    }
    if (run.deviceBaudAuto) {
        run.deviceBaud = FindDeviceBaud(job, trace, found, transfer);
    }
    if (run.deviceBaud != 0) {
        transfer = Download(run, job, trace, board);
    }
    const bool ok = transfer.error == TransferError::None;
    const std::vector<std::string> lastFrames = ok ? std::vector<std::string>{} : trace.Lines();
    if (!ok && options.verbose) {
        PrintTraceTail(job.err, "ferrowin-cli", lastFrames);
    }
    const std::string reason =
        transfer.message.empty() ? ToString(transfer.error) : transfer.message;
    PortRunner::Outcome outcome{
        ok ? kExitOk : kExitFailure, found, {std::to_string(transfer.retries)}};
    if (!ok) {
        outcome.message += (found.empty() ? "" : "; ") + reason;
    }
    if (report == nullptr) {
        return outcome;
    }
    // The time counts from the job's start: the search for the rate is part of the attempt.
    const double seconds = job.Seconds();
    const double rate = transfer.streamSeconds > 0 && imageSize != "null"
                            ? std::stod(imageSize) / transfer.streamSeconds
                            : 0.0;
    RunReport::Entry entry{
        job.port,
        RunReport::SerialNumberOf(job.port, knownPorts),
        "download",
        ok ? "ok" : "failed",
        ok ? "" : reason,
        {{"imageSize", imageSize},
         {"sha256", imageSha256},
         // The rate the reader was asked at: what auto found, null when it found none.
         {"deviceBaud", run.deviceBaud != 0 ? std::to_string(run.deviceBaud) : "null"},
         {"downloadBaud", std::to_string(options.downloadBaud)},
         {"bytesPerSecond", ok ? Number(rate) : "null"},
         {"seconds", Number(seconds)},
         {"retries", std::to_string(transfer.retries)},
         {"turnaroundMs",
          transfer.turnaround ? Number(transfer.turnaround->count() / 1000.0) : "null"},
         {"predictedSeconds",
          transfer.turnaround && imageSize != "null"
              ? Number(std::chrono::duration<double>(UpgradeDuration(std::stoi(imageSize),
                                                                     options.downloadBaud,
                                                                     *transfer.turnaround))
                           .count())
              : "null"}}};
    if (!ok) {
        entry.values.emplace_back("trace", JsonTextList(lastFrames));
    }
    if (!report->Append(entry)) {
        job.err << "ferrowin-cli: --report: the line for " << job.port << " could not be written\n";
        outcome.status = kExitFailure;
    }
    return outcome;
}

int FerrowinLine::FindDeviceBaud(const PortRunner::Job& job, TraceLog& trace, std::string& found,
                                 Transfer& failure) const {
    TracingSerialPort scanPort(std::make_unique<NativeSerialPort>(), trace);
    ReaderProbe::Outcome scan;
    const auto start = ReaderProbe(scanPort, interrupted).FindDownloadStart(job.port, scan);
    if (start) {
        found = start->mode == ReaderMode::ParameterProtocol
                    ? "found the reader at " + std::to_string(start->startAt) + " baud"
                    : "found the reader's upgrade loader at " + std::to_string(start->answeredAt) +
                          " baud; it listens at " + std::to_string(start->startAt) +
                          " baud now, and the download starts there";
        job.err << "ferrowin-cli: " << found << "\n";
        return start->startAt;
    }
    const bool opened = scan.openError == SerialError::None;
    failure.error = scan.stopped ? TransferError::Cancelled
                    : opened     ? TransferError::NoProbeAnswer
                                 : TransferError::PortOpenFailed;
    failure.message = !opened        ? "open " + job.port + " failed: " + ToString(scan.openError)
                      : scan.stopped ? "--device-baud auto: stopped before the reader was found"
                      : scan.echo    ? "--device-baud auto: the line sends back what is sent (TX "
                                       "joined to RX): connect the reader"
                                     : "--device-baud auto: no answer at any rate: check power "
                                       "and wiring, TX/RX may be swapped";
    job.err << "ferrowin-cli: " << failure.message << "\n";
    return 0;
}

FerrowinLine::Transfer FerrowinLine::Download(const FerrowinOptions& run,
                                              const PortRunner::Job& job, TraceLog& trace,
                                              FerrowinBoard* board) const {
    // The port is opened by its path as given, relative to the working folder or not.
    FerrowinEventLoop loop;
    TracingSerialPort port(std::make_unique<NativeSerialPort>(), trace);
    NativeCommControl comm(port, [&loop] { loop.Wake(); });
    loop.SetWakeHandler([&comm] { comm.ProcessPending(); });
    // One reader's progress line redrawn in place; several share the board.
    FerrowinCliHost host(
        job.err,
        options.ports.size() == 1 ? ProcessSetup::ErrorTerminal() : ProcessSetup::Terminal::None,
        [&loop] { loop.Quit(); }, board, job.index);
    host.SetDownloadBaud(run.downloadBaud);
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
        const bool waitingForSize =
            transfer.Phase() == TransferPhase::SizeAnnounced && !transfer.IsOpeningPort();
        sizeWaitMs = waitingForSize ? sizeWaitMs + kTickMs : 0;
        if (sizeWaitMs > kSizeAnswerLimitMs) {
            host.AddLog("The reader did not answer the image size.");
            transfer.Cancel();
        }
    });

    transfer.StartDownload(run.firmware, {job.port, run.deviceBaud, run.downloadBaud});
    if (!host.HasFinished()) {
        loop.Run();
    }
    host.FinishProgress();
    Transfer result;
    result.error = host.End().error;
    result.streamSeconds = host.StreamSeconds();
    result.retries = transfer.State().retryCount;
    if (host.Turnaround().Count() > 0) {
        result.turnaround = host.Turnaround().Mean();
    }
    if (result.error == TransferError::PortOpenFailed) {
        result.message = std::string(ToString(result.error)) + ": " + ToString(host.End().port);
    }
    return result;
}

}  // namespace uhf
