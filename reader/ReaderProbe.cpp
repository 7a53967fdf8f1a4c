#include "reader/ReaderProbe.h"

#include <algorithm>
#include <utility>

#include "protocol/BaudRates.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ReplyRecognition.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// As much as the download tool gathers; the link's answer must lie within 100 bytes.
constexpr std::size_t kMaxGathered = 256;

// A failed open that another rate cannot mend.
bool DeviceFailed(SerialError error) {
    return error != SerialError::None && error != SerialError::SettingsRefused;
}

// A reply to Stop anywhere in `bytes`; a refusal is an answer too: the reader heard Stop.
bool HoldsStopAnswer(const Bytes& bytes) {
    const int count = static_cast<int>(bytes.size());
    for (int pos = 0; pos < count; ++pos) {
        ReaderFrame frame;
        int consumed = 0;
        if (RecognizeReply(bytes.data(), count, pos, frame, consumed) != 0 &&
            (frame.command == Byte(ReaderCode::Stop) ||
             frame.command == Byte(ReaderCode::Acknowledge))) {
            return true;
        }
    }
    return false;
}

// What the download tool accepts as a probe answer, ending at the newest byte and starting
// anywhere, so that noise before it does not hide it (earlier ends were judged before).
bool HoldsProbeAnswer(const Bytes& bytes) {
    const int count = static_cast<int>(bytes.size());
    for (int from = 0; from + 5 <= count; ++from) {
        const Answer answer = JudgeAnswer(bytes.data() + from, count - from);
        if ((answer.kind == AnswerKind::Reply && answer.command == Byte(UpgradeCode::Probe)) ||
            answer.kind == AnswerKind::Alternate) {
            return true;
        }
    }
    return false;
}

}  // namespace

const char* ToString(ReaderMode mode) {
    switch (mode) {
        case ReaderMode::ParameterProtocol:
            return "parameter protocol";
        case ReaderMode::UpgradeLoader:
            return "upgrade loader";
    }
    return "?";
}

ReaderProbe::ReaderProbe(SerialPort& serialPort, StopCheck stop,
                         std::function<Clock::time_point()> clock)
    : port(serialPort), stopRequested(std::move(stop)), now(std::move(clock)) {}

ReaderProbe::Outcome ReaderProbe::FindStopRate(const std::string& device) {
    return Scan(device, EncodeFrame(kRequestHeader, Byte(ReaderCode::Stop), {}),
                {kStopAnswerWait, kSlowStopAnswerWait}, &HoldsStopAnswer);
}

ReaderProbe::Outcome ReaderProbe::FindLoaderRate(const std::string& device) {
    // Sent together, as the download tool sends them when it starts.
    Bytes probes(kProbeFrame.begin(), kProbeFrame.end());
    probes.insert(probes.end(), kAltProbeFrame.begin(), kAltProbeFrame.end());
    return Scan(device, probes, {kProbeAnswerWait}, &HoldsProbeAnswer);
}

ReaderProbe::Outcome ReaderProbe::Scan(const std::string& device, const Bytes& request,
                                       const std::vector<milliseconds>& waits, Judge answers) {
    Outcome outcome;
    for (const milliseconds wait : waits) {
        for (const int rate : kBaudRates) {
            if (Stopping()) {
                outcome.stopped = true;
                return outcome;
            }
            const SerialError error = port.Open(device, rate);
            if (error != SerialError::None) {
                port.Close();
                if (DeviceFailed(error)) {
                    outcome.openError = error;
                    return outcome;
                }
                continue;
            }
            Clock::duration answerTime{};
            std::size_t heardBytes = 0;
            const Heard heard = Ask(request, wait, answers, answerTime, heardBytes);
            outcome.answerTime = std::chrono::duration_cast<milliseconds>(answerTime);
            port.Close();
            switch (heard) {
                case Heard::Answer:
                    outcome.baud = rate;
                    return outcome;
                case Heard::Echo:
                    outcome.echo = true;
                    return outcome;
                case Heard::Stopped:
                    outcome.stopped = true;
                    return outcome;
                case Heard::BytesWithoutAnswer: {
                    std::vector<int>& rates = outcome.bytesWithoutAnswerAt;
                    if (std::find(rates.begin(), rates.end(), rate) == rates.end()) {
                        rates.push_back(rate);
                    }
                    break;
                }
                case Heard::Nothing:
                    break;
            }
        }
    }
    std::sort(outcome.bytesWithoutAnswerAt.begin(), outcome.bytesWithoutAnswerAt.end());
    return outcome;
}

ReaderProbe::Heard ReaderProbe::Ask(const Bytes& request, milliseconds wait, Judge answers,
                                    Clock::duration& answerTime, std::size_t& heardBytes,
                                    bool readRest) {
    if (Stopping()) {
        return Heard::Stopped;
    }
    port.Purge();  // what the port held before is no answer to this request
    const Clock::time_point sentAt = now();
    if (port.Write(request.data(), static_cast<int>(request.size())) !=
        static_cast<int>(request.size())) {
        return Heard::Nothing;
    }
    Bytes gathered;
    while (now() - sentAt < wait && gathered.size() < kMaxGathered) {
        if (Stopping()) {
            return Heard::Stopped;
        }
        // One byte a read: a silent read then ends within 101 ms, and each byte is judged as
        // soon as it is there.
        std::uint8_t byte = 0;
        const int got = port.Read(&byte, 1);
        if (got < 0) {
            return Heard::Nothing;  // the device failed: the next open says why
        }
        if (got == 0) {
            continue;
        }
        gathered.push_back(byte);
        if (std::search(gathered.begin(), gathered.end(), request.begin(), request.end()) !=
            gathered.end()) {
            return Heard::Echo;
        }
        if (answers(gathered)) {
            answerTime = now() - sentAt;
            heardBytes = gathered.size();
            if (!readRest) {
                return Heard::Answer;
            }
            // The rest of what the reader says (a loader answers both probes) is read here, up
            // to a silent read, not by whoever opens the port next at another rate.
            for (std::size_t more = 0; more < kMaxGathered && !Stopping(); ++more) {
                if (port.Read(&byte, 1) <= 0) {
                    break;
                }
            }
            return Heard::Answer;
        }
    }
    return gathered.empty() ? Heard::Nothing : Heard::BytesWithoutAnswer;
}

TurnaroundMeter ReaderProbe::MeasureTurnaround(const std::string& device, int baud, int exchanges) {
    TurnaroundMeter meter;
    if (port.Open(device, baud) == SerialError::None) {
        const Bytes stop = EncodeFrame(kRequestHeader, Byte(ReaderCode::Stop), {});
        for (int i = 0; i < exchanges; ++i) {
            Clock::duration roundTrip{};
            std::size_t heardBytes = 0;
            // A stopped reader says nothing after its answer: the next request need not wait
            // for a silent read first.
            if (Ask(stop, kStopAnswerWait, &HoldsStopAnswer, roundTrip, heardBytes, false) !=
                Heard::Answer) {
                break;
            }
            meter.Add(std::chrono::duration_cast<std::chrono::microseconds>(roundTrip),
                      stop.size() + heardBytes, baud);
        }
    }
    port.Close();
    return meter;
}

std::optional<ReaderProbe::DownloadStart> ReaderProbe::FindDownloadStart(const std::string& device,
                                                                         Outcome& scan) {
    scan = FindStopRate(device);
    if (scan.baud) {
        return DownloadStart{ReaderMode::ParameterProtocol, *scan.baud, *scan.baud};
    }
    if (scan.openError != SerialError::None || scan.stopped || scan.echo) {
        return std::nullopt;
    }
    scan = FindLoaderRate(device);
    if (scan.baud) {
        return DownloadStart{ReaderMode::UpgradeLoader, *scan.baud, kBaudChangeRate};
    }
    return std::nullopt;
}

}  // namespace uhf
