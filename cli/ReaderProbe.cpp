#include "cli/ReaderProbe.h"

#include <algorithm>
#include <array>
#include <vector>

#include "downloader/UpgradeTransfer.h"
#include "protocol/BaudRates.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/UpgradeFrames.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

namespace {

using Clock = std::chrono::steady_clock;

// A failed open that another rate cannot mend.
bool DeviceFailed(SerialError error) {
    return error != SerialError::None && error != SerialError::SettingsRefused;
}

// The probe answer somewhere in `bytes`: what the download tool accepts, from any start, so
// that noise before it does not hide it.
bool HoldsProbeAnswer(const std::vector<std::uint8_t>& bytes) {
    const int count = static_cast<int>(bytes.size());
    for (int from = 0; from + 5 <= count; ++from) {
        for (int to = from + 5; to <= count; ++to) {
            const Answer answer = JudgeAnswer(bytes.data() + from, to - from);
            if ((answer.kind == AnswerKind::Reply && answer.command == Byte(UpgradeCode::Probe)) ||
                answer.kind == AnswerKind::Alternate) {
                return true;
            }
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

ReaderProbe::Outcome ReaderProbe::FindStopRate(ReaderLink& link, const std::string& device) {
    Outcome outcome;
    for (const int rate : kBaudRates) {
        if (link.Open(device, rate) == 0) {
            if (DeviceFailed(link.LastOpenError())) {
                outcome.openError = link.LastOpenError();
                return outcome;
            }
            continue;
        }
        // A refusal is an answer too: the reader heard Stop at this rate.
        const bool answered = link.Stop() != 0 || link.LastError() == LinkError::StatusRefused;
        link.Close();
        if (answered) {
            outcome.baud = rate;
            return outcome;
        }
    }
    return outcome;
}

ReaderProbe::Outcome ReaderProbe::FindLoaderRate(SerialPort& port, const std::string& device) {
    Outcome outcome;
    for (const int rate : kBaudRates) {
        const SerialError error = port.Open(device, rate);
        if (error != SerialError::None) {
            port.Close();
            if (DeviceFailed(error)) {
                outcome.openError = error;
                return outcome;
            }
            continue;
        }
        bool echo = false;
        const bool answered = AnswersProbe(port, echo);
        port.Close();
        if (echo) {
            outcome.echo = true;
            return outcome;
        }
        if (answered) {
            outcome.baud = rate;
            return outcome;
        }
    }
    return outcome;
}

bool ReaderProbe::AnswersProbe(SerialPort& port, bool& echo) {
    // Sent together, as the download tool sends them when it starts.
    std::vector<std::uint8_t> sent(kProbeFrame.begin(), kProbeFrame.end());
    sent.insert(sent.end(), kAltProbeFrame.begin(), kAltProbeFrame.end());
    if (port.Write(sent.data(), static_cast<int>(sent.size())) != static_cast<int>(sent.size())) {
        return false;
    }
    constexpr int kMaxGathered = 256;  // as much as the download tool gathers
    std::vector<std::uint8_t> gathered;
    std::array<std::uint8_t, 64> chunk{};
    const auto deadline = Clock::now() + kProbeAnswerWait;
    while (Clock::now() < deadline && gathered.size() < kMaxGathered) {
        const int got = port.Read(chunk.data(), static_cast<int>(chunk.size()));
        if (got < 0) {
            return false;
        }
        gathered.insert(gathered.end(), chunk.begin(), chunk.begin() + got);
        if (gathered.size() >= sent.size() &&
            std::search(gathered.begin(), gathered.end(), sent.begin(), sent.end()) !=
                gathered.end()) {
            echo = true;
            return false;
        }
        if (HoldsProbeAnswer(gathered)) {
            return true;
        }
    }
    return false;
}

std::optional<ReaderProbe::DownloadStart> ReaderProbe::FindDownloadStart(const std::string& device,
                                                                         SerialError& openError) {
    ReaderLink link;
    const Outcome stop = FindStopRate(link, device);
    openError = stop.openError;
    if (stop.baud) {
        return DownloadStart{ReaderMode::ParameterProtocol, *stop.baud, *stop.baud};
    }
    if (openError != SerialError::None) {
        return std::nullopt;
    }
    NativeSerialPort port;
    const Outcome loader = FindLoaderRate(port, device);
    openError = loader.openError;
    if (loader.baud) {
        return DownloadStart{ReaderMode::UpgradeLoader, *loader.baud, kBaudChangeRate};
    }
    return std::nullopt;
}

}  // namespace uhf
