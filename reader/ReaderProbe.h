#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/UpgradeFrames.h"
#include "reader/ReplyExchange.h"
#include "reader/TurnaroundMeter.h"
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

// Finds the rate a reader talks at by asking it at each of the five rates in turn, on a port of
// its own, with the requests the tools themselves send: Stop, and the download tool's probe and
// alternate probe. The probe is a scan of its own because it changes the reader: one that hears
// it enters its upgrade loader and moves to kBaudChangeRate. A stop request is looked at before
// every open and every request, and between reads, which last at most one silent read of one byte
// (101 ms), so that a scan ends soon after it and never sends a request after it.
class ReaderProbe {
  public:
    using Clock = std::chrono::steady_clock;
    using StopCheck = std::function<bool()>;

    // Stop is first asked at each rate for as long as the tools wait for an answer (the link's
    // 100 ms pause and one 200 ms read); where none came anywhere, once more with up to a second
    // at each rate, so that a slow reader is found too.
    static constexpr std::chrono::milliseconds kStopAnswerWait{
        ReplyExchange::kReplyPause.count() + SerialPort::kReadTotalConstantMs +
        SerialPort::kReadPerByteMs * ReplyExchange::kReplyReadSize};
    static constexpr std::chrono::milliseconds kSlowStopAnswerWait{1000};
    // As long as the download tool waits for a probe answer before it sends again.
    static constexpr std::chrono::milliseconds kProbeAnswerWait{kProbeAnswerMs};

    struct Outcome {
        std::optional<int> baud;                  // where the reader answered; none when nowhere
        std::chrono::milliseconds answerTime{0};  // from the request to the answer
        // Why the port could not be opened, when it could not be at any rate (probing stops at
        // the first such failure: it is the device, not the rate).
        SerialError openError = SerialError::None;
        bool echo = false;     // what was sent came back as it was: TX looped to RX
        bool stopped = false;  // a stop request ended the scan; nothing was sent after it
        std::vector<int> bytesWithoutAnswerAt;  // rates where bytes came back, but no answer
    };

    // `now` is the scan's clock (tests pass one that moves with the fake port's reads).
    explicit ReaderProbe(SerialPort& port, StopCheck stopRequested = {},
                         std::function<Clock::time_point()> now = &Clock::now);

    // Stop at each rate; the port is left closed.
    Outcome FindStopRate(const std::string& device);
    // The probe and the alternate probe at each rate; the port is left closed.
    Outcome FindLoaderRate(const std::string& device);

    // Stop `exchanges` times at `baud`, one after the other, each round trip measured from the
    // request to the answer's last byte. Ends early at the first Stop not answered and at a stop
    // request; the port is left closed.
    TurnaroundMeter MeasureTurnaround(const std::string& device, int baud, int exchanges);

    // Where ferrowin-cli's `--device-baud auto` starts its download.
    struct DownloadStart {
        ReaderMode mode = ReaderMode::ParameterProtocol;
        int answeredAt = 0;  // the rate the reader answered at
        // The rate to probe at: the working rate; for a loader, the rate it listens at once
        // it has answered a probe (it then waits for the baud-rate frame).
        int startAt = 0;
    };
    // Stop first, the probe only where Stop found nothing; when nothing is found `scan` says why.
    std::optional<DownloadStart> FindDownloadStart(const std::string& device, Outcome& scan);

  private:
    enum class Heard { Nothing, BytesWithoutAnswer, Answer, Echo, Stopped };
    using Judge = bool (*)(const std::vector<std::uint8_t>& gathered);

    Outcome Scan(const std::string& device, const std::vector<std::uint8_t>& request,
                 const std::vector<std::chrono::milliseconds>& waits, Judge answers);
    // Sends `request` and reads until `answers` says yes; with `readRest` what follows the
    // answer is read too, up to a silent read.
    Heard Ask(const std::vector<std::uint8_t>& request, std::chrono::milliseconds wait,
              Judge answers, Clock::duration& answerTime, std::size_t& heardBytes,
              bool readRest = true);
    bool Stopping() const { return stopRequested && stopRequested(); }

    SerialPort& port;
    StopCheck stopRequested;
    std::function<Clock::time_point()> now;
};

}  // namespace uhf
