// ferrowin-cli: the firmware download tool without a window.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "toolsupport/ExitStatus.h"
#include "ferrowin/cli/FerrowinBoard.h"
#include "ferrowin/cli/FerrowinDownload.h"
#include "ferrowin/cli/FerrowinOptions.h"
#include "ferrowin/cli/FerrowinTerminal.h"
#include "toolsupport/JsonText.h"
#include "toolsupport/ProcessSetup.h"
#include "reader/ReaderProbe.h"
#include "toolsupport/RunReport.h"
#include "common/AtomicFile.h"
#include "common/PortEnumerator.h"
#include "common/Sha256.h"
#include "serial/LowLatencyMode.h"
#include "serial/NativeSerialPort.h"
#include "version/ProgramVersion.h"

namespace {

// The reader a thread is upgrading, so that a slow-adapter warning lands on its own board line.
thread_local int boardRow = -1;

constexpr std::size_t kImageReadLimit = 1 << 20;

// The image's size and digest for the report, read apart from the transfer, which reads it
// itself; empty when the file cannot be read (the transfer then says why).
struct ImageFacts {
    std::string size = "null";
    std::string sha256 = "null";
};

ImageFacts ReadImageFacts(const std::string& path) {
    ImageFacts facts;
    const uhf::AtomicFile::Contents image = uhf::AtomicFile::Read(path, kImageReadLimit);
    if (image.error == uhf::FileError::None) {
        facts.size = std::to_string(image.bytes.size());
        facts.sha256 = uhf::JsonText(uhf::Sha256::Of(
            reinterpret_cast<const std::uint8_t*>(image.bytes.data()), image.bytes.size()));
    }
    return facts;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    uhf::ProcessSetup::Prepare();
    if (uhf::PrintVersionIfAsked("ferrowin-cli", argc, argv)) {
        return uhf::ProcessSetup::Finish("ferrowin-cli",
                                         uhf::ProcessSetup::RefuseClosedOutput("ferrowin-cli")
                                             ? uhf::kExitFailure
                                             : uhf::kExitOk);
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<uhf::FerrowinOptions> options = uhf::FerrowinOptions::Parse(args, error);
    if (!options) {
        std::fprintf(stderr, "ferrowin-cli: %s\n%s", error.c_str(), uhf::FerrowinOptions::Usage());
        return uhf::kExitUsage;
    }
    // The usage and the table of several readers go to standard output; one reader's result is
    // its exit status.
    if ((options->help || options->ports.size() > 1) &&
        uhf::ProcessSetup::RefuseClosedOutput("ferrowin-cli")) {
        return uhf::kExitFailure;
    }
    if (options->help) {
        std::fputs(uhf::FerrowinOptions::Usage(), stdout);
        return uhf::ProcessSetup::Finish("ferrowin-cli", uhf::kExitOk);
    }
    uhf::RunReport report("ferrowin-cli", uhf::ProgramVersion());
    if (!options->reportFile.empty()) {
        const auto opened = report.Open(options->reportFile, error);
        if (opened != uhf::RunReport::OpenResult::Opened) {
            std::fprintf(stderr, "ferrowin-cli: %s\n", error.c_str());
            return uhf::ProcessSetup::Finish(
                "ferrowin-cli", opened == uhf::RunReport::OpenResult::NotAFile ? uhf::kExitUsage
                                                                               : uhf::kExitFailure);
        }
    }
    const bool reporting = !options->reportFile.empty();
    const ImageFacts image = reporting ? ReadImageFacts(options->firmware) : ImageFacts{};
    const std::vector<uhf::PortInfo> knownPorts =
        reporting ? uhf::PortEnumerator::ListSystemPortDetails() : std::vector<uhf::PortInfo>{};

    const std::size_t count = options->ports.size();
    std::vector<uhf::FerrowinDownload::Result> results(count);
    std::atomic<bool> reportLost{false};
    uhf::FerrowinBoard* sharedBoard = nullptr;
    uhf::LowLatencyMode::System().SetWarningSink([&sharedBoard](const std::string& warning) {
        if (sharedBoard != nullptr && boardRow >= 0) {
            sharedBoard->Log(boardRow, "warning: " + warning);
        } else {
            std::fprintf(stderr, "ferrowin-cli: warning: %s\n", warning.c_str());
        }
    });
    // What `--device-baud auto` found, for the table.
    std::vector<std::string> found(count);
    const auto runOne = [&](std::size_t i, uhf::FerrowinBoard* board) {
        boardRow = static_cast<int>(i);
        const std::string& port = options->ports[i];
        uhf::FerrowinOptions run = *options;
        const auto say = [&](const std::string& line) {
            if (board != nullptr) {
                board->Log(static_cast<int>(i), line);
            } else {
                std::fprintf(stderr, "ferrowin-cli: %s\n", line.c_str());
            }
        };
        // The time counts from here: the search for the rate is part of the attempt.
        const auto started = std::chrono::steady_clock::now();
        auto& r = results[i];
        if (run.deviceBaudAuto) {
            uhf::NativeSerialPort scanPort;
            uhf::ReaderProbe::Outcome scan;
            const auto start = uhf::ReaderProbe(scanPort, &uhf::ProcessSetup::Interrupted)
                                   .FindDownloadStart(port, scan);
            if (!start) {
                const bool opened = scan.openError == uhf::SerialError::None;
                r.error = scan.stopped ? uhf::TransferError::Cancelled
                          : opened     ? uhf::TransferError::NoProbeAnswer
                                       : uhf::TransferError::PortOpenFailed;
                r.message =
                    !opened        ? "open " + port + " failed: " + uhf::ToString(scan.openError)
                    : scan.stopped ? "--device-baud auto: stopped before the reader was found"
                    : scan.echo    ? "--device-baud auto: the line sends back what is sent (TX "
                                     "joined to RX): connect the reader"
                                   : "--device-baud auto: no answer at any rate: check power and "
                                     "wiring, TX/RX may be swapped";
                say(r.message);
            } else {
                found[i] = start->mode == uhf::ReaderMode::ParameterProtocol
                               ? "found the reader at " + std::to_string(start->startAt) + " baud"
                               : "found the reader's upgrade loader at " +
                                     std::to_string(start->answeredAt) + " baud; it listens at " +
                                     std::to_string(start->startAt) +
                                     " baud now, and the download starts there";
                say(found[i]);
                run.deviceBaud = start->startAt;
            }
        }
        if (!run.deviceBaudAuto || run.deviceBaud != 0) {
            r = uhf::FerrowinDownload::Run(run, port, board, static_cast<int>(i),
                                           &uhf::ProcessSetup::Interrupted);
        }
        r.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!reporting) {
            return;
        }
        const bool ok = r.error == uhf::TransferError::None;
        const double rate = r.streamSeconds > 0 && image.size != "null"
                                ? std::stod(image.size) / r.streamSeconds
                                : 0.0;
        uhf::RunReport::Entry entry{
            port,
            uhf::RunReport::SerialNumberOf(port, knownPorts),
            "download",
            ok ? "ok" : "failed",
            ok ? "" : (r.message.empty() ? uhf::ToString(r.error) : r.message),
            {{"imageSize", image.size},
             {"sha256", image.sha256},
             // The rate the reader was asked at: what auto found, null when it found none.
             {"deviceBaud", run.deviceBaud != 0 ? std::to_string(run.deviceBaud) : "null"},
             {"downloadBaud", std::to_string(options->downloadBaud)},
             {"bytesPerSecond", ok ? Number(rate) : "null"},
             {"seconds", Number(r.seconds)},
             {"retries", std::to_string(r.retries)}}};
        if (!report.Append(entry)) {
            std::fprintf(stderr, "ferrowin-cli: --report: the line for %s could not be written\n",
                         port.c_str());
            reportLost = true;
        }
    };

    if (count == 1) {
        runOne(0, nullptr);
    } else {
        // One thread, port, serial control and event loop per reader; they share only the board.
        uhf::FerrowinBoard board(uhf::StderrIsTerminal(), options->ports, stderr);
        sharedBoard = &board;
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < count; ++i) {
            threads.emplace_back(runOne, i, &board);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        board.Finish();
        sharedBoard = nullptr;
        std::size_t width = 4;
        for (const std::string& port : options->ports) {
            width = std::max(width, port.size());
        }
        std::printf("%-*s  result  seconds  retries\n", static_cast<int>(width), "port");
        for (std::size_t i = 0; i < count; ++i) {
            const auto& r = results[i];
            const bool ok = r.error == uhf::TransferError::None;
            // What auto found, then why it failed.
            std::string message = found[i];
            if (!ok) {
                message += (message.empty() ? "" : "; ") +
                           (r.message.empty() ? std::string(uhf::ToString(r.error)) : r.message);
            }
            std::printf("%-*s  %s  %7.2f  %7d%s%s\n", static_cast<int>(width),
                        options->ports[i].c_str(), ok ? "ok    " : "failed", r.seconds, r.retries,
                        message.empty() ? "" : "  ", message.c_str());
        }
        std::fflush(stdout);
    }
    const bool allOk = std::all_of(results.begin(), results.end(), [](const auto& r) {
        return r.error == uhf::TransferError::None;
    });
    return uhf::ProcessSetup::Finish("ferrowin-cli",
                                     allOk && !reportLost ? uhf::kExitOk : uhf::kExitFailure);
}
