#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "downloader/UpgradeTransfer.h"
#include "reader/ReaderLink.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

namespace uhf {

// What a reader was found speaking.
enum class ReaderMode {
    ParameterProtocol,  // it answered Stop: its working firmware
    UpgradeLoader,      // it answered only the download tool's probe
};

// "parameter protocol", "upgrade loader".
const char* ToString(ReaderMode mode);

// Finds the rate a reader talks at by asking it at each of the five rates in turn, with the
// requests the tools themselves send: Stop (through a ReaderLink), and the download tool's probe
// and alternate probe. The probe is asked only where Stop found nothing: a reader that answers
// it goes into its upgrade.
class ReaderProbe {
  public:
    // As long as the download tool waits for a probe answer before it sends again.
    static constexpr std::chrono::milliseconds kProbeAnswerWait{UpgradeTransfer::kProbeMs};

    struct Outcome {
        std::optional<int> baud;  // where the reader answered; none when nowhere
        // Why the port could not be opened, when it could not be at any rate (probing stops at
        // the first such failure: it is the device, not the rate).
        SerialError openError = SerialError::None;
        bool echo = false;  // what was sent came back as it was: TX looped to RX
    };

    // Stop at each rate on `link`, which is left closed.
    static Outcome FindStopRate(ReaderLink& link, const std::string& device);
    // The probe and the alternate probe at each rate on `port`, which is left closed.
    static Outcome FindLoaderRate(SerialPort& port, const std::string& device);

    // Where ferrowin-cli's `--device-baud auto` starts its download, on the machine's port.
    struct DownloadStart {
        ReaderMode mode = ReaderMode::ParameterProtocol;
        int answeredAt = 0;  // the rate the reader answered at
        // The rate to probe at: the working rate; for a loader, the rate it listens at once
        // it has answered a probe (it then waits for the baud-rate frame).
        int startAt = 0;
    };
    static std::optional<DownloadStart> FindDownloadStart(const std::string& device,
                                                          SerialError& openError);

  private:
    static bool AnswersProbe(SerialPort& port, bool& echo);
};

}  // namespace uhf
