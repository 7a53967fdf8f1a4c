#include "sim/ReaderSimulator.h"

#include <algorithm>
#include <utility>

#include "protocol/BaudRates.h"
#include "protocol/FrameCodec.h"
#include "protocol/FrameSplitter.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

namespace {

constexpr std::uint8_t kStatusBadRequest = 0x01;
constexpr std::uint8_t kStatusUnknownCommand = 0x02;

constexpr int kMaxBlock = 32;
constexpr std::size_t kDataPerFrame = 64;
// Entries kept for a caller that does not take them; the oldest half goes first.
constexpr std::size_t kLogCapacity = 4096;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return HexText(bytes.data(), bytes.size());
}

const char* CommandName(std::uint8_t command) {
    const RequestWords* words = FindRequestWords(command);
    return words != nullptr ? words->frame : "unknown command";
}

bool IsFrameStart(std::uint8_t b) {
    return b == kFixedFrameHeader || b == kAltProbeHeader || b == kRequestHeader ||
           b == kReplyHeader || b == kUpgradeReplyHeader;
}

}  // namespace

ReaderSimulator::ReaderSimulator(SimConfig cfg, ParameterMemory initialMemory, Mode initial)
    : config(std::move(cfg)),
      memory(initialMemory),
      population(config.tags),
      parser(std::chrono::milliseconds(config.requestGapMs)),
      mode(initial),
      loaderOnly(initial == Mode::Upgrade),
      readerBaud(config.workingBaud),
      queuedBaud(config.workingBaud),
      noiseState(config.seed == 0 ? 0x9E3779B9u : config.seed) {}

bool ReaderSimulator::Silent() const {
    return config.faults.silentAfter >= 0 && framesAnswered >= config.faults.silentAfter;
}

std::uint8_t ReaderSimulator::NextNoise() {
    // xorshift32: cheap, repeatable from the seed, and good enough for line noise.
    for (;;) {
        noiseState ^= noiseState << 13;
        noiseState ^= noiseState >> 17;
        noiseState ^= noiseState << 5;
        const auto b = static_cast<std::uint8_t>(noiseState >> 24);
        // Noise that never starts a frame, so it cannot pass for one by chance.
        if (!IsFrameStart(b)) {
            return b;
        }
    }
}

void ReaderSimulator::Log(SimTime at, std::string text) {
    if (log.size() >= kLogCapacity) {
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(kLogCapacity / 2));
    }
    log.push_back(SimLogEntry{at, std::move(text)});
}

std::vector<SimLogEntry> ReaderSimulator::TakeLog() {
    return std::exchange(log, {});
}

bool ReaderSimulator::TakeMemoryChanged() {
    return std::exchange(memoryChanged, false);
}

std::optional<std::vector<std::uint8_t>> ReaderSimulator::TakeFirmware() {
    return std::exchange(firmware, std::nullopt);
}

void ReaderSimulator::Receive(const std::uint8_t* bytes, std::size_t count, SimTime now) {
    Advance(now);
    if (count == 0) {
        return;
    }
    if (hostBaud != 0 && hostBaud != readerBaud) {
        Log(now, "lost " + std::to_string(count) + " bytes from the tool: it talks at " +
                     std::to_string(hostBaud) + " baud, the reader at " +
                     std::to_string(readerBaud));
        return;
    }
    parser.Feed(bytes, count, now);
    ProcessRequests(now);
}

std::vector<std::uint8_t> ReaderSimulator::Poll(SimTime now) {
    Advance(now);
    return std::exchange(outbox, {});
}

std::optional<SimTime> ReaderSimulator::NextEventAt() const {
    std::optional<SimTime> next;
    auto consider = [&next](SimTime t) {
        if (!next || t < *next) {
            next = t;
        }
    };
    if (!line.empty()) {
        const Scheduled& head = line.front();
        // A bare rate switch is due at its start; otherwise when the next byte has left, or with
        // frame writes when the last one has.
        const std::size_t upTo =
            config.frameWrites ? head.bytes.size() : std::min(head.sent + 1, head.bytes.size());
        consider(head.start + LineTime(upTo, head.baud));
    }
    if (mode == Mode::Working && config.tagRate > 0 && !Silent()) {
        consider(std::max(nextTagAt, lineFreeAt));
    }
    if (const std::optional<SimTime> expiry = parser.PartialExpiresAt()) {
        consider(*expiry);
    }
    if (mode == Mode::Upgrade) {
        consider(lastUpgradeFrameAt + std::chrono::milliseconds(config.upgradeIdleMs) + SimTime{1});
    }
    return next;
}

void ReaderSimulator::Advance(SimTime now) {
    if (mode == Mode::Upgrade &&
        now - lastUpgradeFrameAt > std::chrono::milliseconds(config.upgradeIdleMs)) {
        Log(now, "upgrade abandoned: no frame for " + std::to_string(config.upgradeIdleMs) +
                     " ms; back to " + std::to_string(config.workingBaud) + " baud");
        // A reader that started in its loader has no firmware to go back to.
        mode = loaderOnly ? Mode::Upgrade : Mode::Stopped;
        lastUpgradeFrameAt = now;
        sizeKnown = false;
        image.clear();
        SwitchRateWhenLineFree(config.workingBaud, now);
    }
    ProcessRequests(now);  // a partial request may have expired and uncovered a whole one
    ScheduleTags(now);
    Drain(now);
}

void ReaderSimulator::MendLine() {
    SimFaults& faults = config.faults;
    faults.dropEvery = 0;
    faults.delayMs = 0;
    faults.corruptEvery = 0;
    faults.garbageBytes = 0;
    faults.splitParts = 0;
}

void ReaderSimulator::ScheduleTags(SimTime now) {
    if (mode != Mode::Working || config.tagRate <= 0) {
        return;
    }
    const SimTime period{1'000'000 / config.tagRate};
    while (!Silent()) {
        const SimTime due = std::max(nextTagAt, lineFreeAt);
        if (due > now) {
            return;
        }
        const TagId& id = population.Report(tagReports++);
        std::vector<std::uint8_t> frame = EncodeTagFrame(id, 0x00, 0x01);
        Log(due, "sent tag frame " + Hex(frame));
        Queue(std::move(frame), due, 0);
        nextTagAt = due + period;
    }
}

void ReaderSimulator::Drain(SimTime now) {
    while (!line.empty()) {
        Scheduled& head = line.front();
        if (config.frameWrites && head.start + LineTime(head.bytes.size(), head.baud) > now) {
            return;
        }
        while (head.sent < head.bytes.size() &&
               head.start + LineTime(head.sent + 1, head.baud) <= now) {
            std::uint8_t b = head.bytes[head.sent++];
            ++bytesSent;
            if (config.faults.corruptEvery > 0 && bytesSent % config.faults.corruptEvery == 0) {
                b ^= 0x5A;  // any change to one byte breaks the frame's checksum
            }
            if (hostBaud != 0 && hostBaud != head.baud) {
                b = NextNoise();  // sampled at the wrong rate, the byte is not what was sent
            }
            outbox.push_back(b);
        }
        if (head.sent < head.bytes.size()) {
            return;
        }
        if (head.start + LineTime(head.bytes.size(), head.baud) > now) {
            return;  // a rate switch waits for its moment even when nothing is left to send
        }
        if (head.baudAfter != 0 && head.baudAfter != readerBaud) {
            readerBaud = head.baudAfter;
            Log(head.start + LineTime(head.bytes.size(), head.baud),
                "reader now at " + std::to_string(readerBaud) + " baud");
        }
        line.pop_front();
    }
}

SimTime ReaderSimulator::Queue(std::vector<std::uint8_t> bytes, SimTime earliest, int baudAfter) {
    Scheduled item;
    item.start = std::max(earliest, lineFreeAt);
    item.baud = queuedBaud;
    item.bytes = std::move(bytes);
    item.baudAfter = baudAfter;
    lineFreeAt = item.start + LineTime(item.bytes.size(), item.baud);
    if (baudAfter != 0) {
        queuedBaud = baudAfter;
    }
    const SimTime start = item.start;
    line.push_back(std::move(item));
    return start;
}

void ReaderSimulator::SwitchRateWhenLineFree(int baud, SimTime now) {
    Queue({}, now, baud);
}

void ReaderSimulator::SendReply(std::vector<std::uint8_t> frame, SimTime now,
                                const std::string& what, int baudAfter) {
    ++replies;
    const SimTime earliest =
        now + std::chrono::milliseconds(config.turnaroundMs + config.faults.delayMs);
    if (config.faults.dropEvery > 0 && replies % config.faults.dropEvery == 0) {
        Log(now, "dropped " + what + " " + Hex(frame) + " (every " +
                     std::to_string(config.faults.dropEvery) + "th reply is lost)");
        if (baudAfter != 0) {
            SwitchRateWhenLineFree(baudAfter, earliest);  // the reader acted all the same
        }
        return;
    }
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < config.faults.garbageBytes; ++i) {
        bytes.push_back(NextNoise());
    }
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const std::size_t parts = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(config.faults.splitParts, 1)), 1, bytes.size());
    Log(std::max(earliest, lineFreeAt),
        "sent " + what + " " + Hex(bytes) +
            (parts > 1 ? " in " + std::to_string(parts) + " writes" : std::string()));
    std::size_t from = 0;
    SimTime at = earliest;
    for (std::size_t p = 0; p < parts; ++p) {
        const std::size_t to = bytes.size() * (p + 1) / parts;
        std::vector<std::uint8_t> piece(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(to));
        const bool last = p + 1 == parts;
        const SimTime start = Queue(std::move(piece), at, last ? baudAfter : 0);
        at = start + LineTime(to - from, line.back().baud) +
             std::chrono::milliseconds(config.faults.splitGapMs);
        from = to;
    }
}

void ReaderSimulator::SendStatus(std::uint8_t command, std::uint8_t status, SimTime now,
                                 const std::string& what) {
    if (config.faults.ack88) {
        SendReply(EncodeAcknowledgement(), now, "0x88 acknowledgement for " + what);
        return;
    }
    SendReply(EncodeFrame(kReplyHeader, command, {status}), now, what);
}

void ReaderSimulator::ProcessRequests(SimTime now) {
    while (std::optional<ReceivedRequest> request = parser.Next(now)) {
        Handle(*request, now);
    }
    if (const std::size_t skipped = parser.TakeSkipped(); skipped > 0) {
        Log(now, "passed over " + std::to_string(skipped) + " bytes of noise");
    }
}

void ReaderSimulator::Handle(const ReceivedRequest& request, SimTime now) {
    if (request.kind == ReceivedRequest::Kind::BadChecksum) {
        Log(now, "rejected frame with a bad checksum " + Hex(request.bytes));
        return;
    }
    const std::string name = request.kind == ReceivedRequest::Kind::AltProbe
                                 ? "alternate probe"
                                 : CommandName(request.command);
    Log(now, "received " + name + " " + Hex(request.bytes));
    if (Silent()) {
        Log(now, "silent: not answered");
        return;
    }
    // Either probe is heard in every mode: it is how an upgrade starts, and starts over.
    if (request.kind == ReceivedRequest::Kind::AltProbe ||
        request.command == Byte(UpgradeCode::Probe)) {
        HandleProbe(request, now);
    } else if (mode == Mode::Upgrade) {
        HandleUpgradeFrame(request, now);
    } else {
        HandleParameterFrame(request, now);
    }
}

void ReaderSimulator::HandleProbe(const ReceivedRequest& request, SimTime now) {
    if (request.kind != ReceivedRequest::Kind::AltProbe &&
        (request.data.size() != 1 || request.data[0] != 0x00)) {
        Log(now, "not acknowledged: a probe carries one byte 00");
        return;
    }
    ++framesAnswered;
    if (mode != Mode::Upgrade) {
        Log(now, "entering the upgrade: the reader goes to " + std::to_string(kBaudChangeRate) +
                     " baud after its answer");
    }
    mode = Mode::Upgrade;
    lastUpgradeFrameAt = now;
    // Probes heard before the switch to the upgrade rate are all answered before it: the tool
    // sends the probe and the alternate probe together.
    if (!line.empty() && line.back().baudAfter == kBaudChangeRate &&
        readerBaud != kBaudChangeRate) {
        line.back().baudAfter = 0;
        queuedBaud = line.back().baud;
    }
    SendReply(EncodeUpgradeAnswer(Byte(UpgradeCode::Probe)), now, "probe answer", kBaudChangeRate);
}

void ReaderSimulator::HandleParameterFrame(const ReceivedRequest& request, SimTime now) {
    const std::vector<std::uint8_t>& data = request.data;
    if (config.ignoreWhileWorking && mode == Mode::Working &&
        request.command != Byte(ReaderCode::Stop) && request.command != Byte(ReaderCode::Resume)) {
        Log(now, std::string("ignored while working: ") + CommandName(request.command));
        return;
    }
    switch (request.command) {
        case Byte(ReaderCode::Stop):
        case Byte(ReaderCode::Resume): {
            ++framesAnswered;
            if (!data.empty()) {
                SendStatus(request.command, kStatusBadRequest, now, "refusal");
                return;
            }
            const bool resume = request.command == Byte(ReaderCode::Resume);
            SendStatus(request.command, kStatusDone, now, resume ? "Resume reply" : "Stop reply");
            if (resume && mode != Mode::Working) {
                nextTagAt = lineFreeAt;
            }
            mode = resume ? Mode::Working : Mode::Stopped;
            return;
        }
        case Byte(ReaderCode::ReadBlock): {
            ++framesAnswered;
            const int count = data.size() == 3 ? data[0] : 0;
            const int address = data.size() == 3 ? data[2] : 0;
            std::vector<std::uint8_t> values(static_cast<std::size_t>(std::max(count, 0)));
            if (data.size() != 3 || data[1] != 0 || count < 1 || count > kMaxBlock ||
                !memory.Read(address, count, values.data())) {
                SendReply(
                    EncodeFrame(kReplyHeader, Byte(ReaderCode::ReadBlock), {kStatusBadRequest}),
                    now, "ReadBlock refusal");
                return;
            }
            SendReply(EncodeReadBlockReply({data[0], data[1], data[2]}, values), now,
                      "ReadBlock reply");
            return;
        }
        case Byte(ReaderCode::WriteBlock): {
            ++framesAnswered;
            const int count = data.size() >= 3 ? data[0] : 0;
            if (data.size() < 3 || data.size() != static_cast<std::size_t>(count) + 3 ||
                data[1] != 0 || count < 1 ||
                (data[2] != config.faults.ignoreWriteAddress &&
                 !memory.Write(data[2], data.data() + 3, count))) {
                SendStatus(Byte(ReaderCode::WriteBlock), kStatusBadRequest, now,
                           "WriteBlock refusal");
                return;
            }
            memoryChanged = true;
            SendStatus(Byte(ReaderCode::WriteBlock), kStatusDone, now, "WriteBlock reply");
            return;
        }
        case Byte(UpgradeCode::BaudRate):
        case Byte(UpgradeCode::Size):
        case Byte(UpgradeCode::Data):
        case Byte(UpgradeCode::End):
            Log(now, "not acknowledged: no upgrade in progress");
            return;
        default:
            ++framesAnswered;
            SendReply(EncodeFrame(kReplyHeader, request.command, {kStatusUnknownCommand}), now,
                      "refusal of an unknown command");
            return;
    }
}

void ReaderSimulator::HandleUpgradeFrame(const ReceivedRequest& request, SimTime now) {
    const std::vector<std::uint8_t>& data = request.data;
    auto reject = [&](const std::string& why) { Log(now, "not acknowledged: " + why); };
    auto acknowledge = [&](std::uint8_t command, const std::string& what, int baudAfter = 0) {
        ++framesAnswered;
        lastUpgradeFrameAt = now;
        SendReply(EncodeUpgradeAnswer(command), now, what, baudAfter);
    };
    switch (request.command) {
        case Byte(UpgradeCode::BaudRate): {
            const int baud = data.size() == 1 ? BaudRateAt(data[0]) : 0;
            if (baud == 0) {
                reject("a baud-rate frame carries one index from 0 to 4");
                return;
            }
            Log(now, "download rate " + std::to_string(baud) + " baud, after the answer");
            acknowledge(Byte(UpgradeCode::BaudRate), "baud-rate answer", baud);
            return;
        }
        case Byte(UpgradeCode::Size):
            if (data.size() != 2) {
                reject("a size frame carries two bytes");
                return;
            }
            sizeKnown = true;
            imageSize = static_cast<std::size_t>(data[0]) * 256 + data[1];
            image.clear();
            Log(now, "image of " + std::to_string(imageSize) + " bytes announced");
            acknowledge(Byte(UpgradeCode::Size), "size answer");
            return;
        case Byte(UpgradeCode::Data): {
            if (!sizeKnown) {
                reject("data before the size frame");
                return;
            }
            if (data.size() < 2 || data.size() - 2 > kDataPerFrame || data[data.size() - 2] != 0 ||
                data[data.size() - 1] != 0) {
                reject("a data frame carries up to 64 image bytes and then 00 00");
                return;
            }
            const std::size_t carried = data.size() - 2;
            const std::size_t after = image.size() + carried;
            if (after > imageSize || (carried != kDataPerFrame && after != imageSize)) {
                reject("the data frame does not fit the announced image (" +
                       std::to_string(image.size()) + " of " + std::to_string(imageSize) +
                       " bytes received, " + std::to_string(carried) + " more)");
                return;
            }
            image.insert(image.end(), data.begin(), data.end() - 2);
            acknowledge(Byte(UpgradeCode::Data), "data answer");
            return;
        }
        case Byte(UpgradeCode::End):
            if (!data.empty()) {
                reject("an end frame carries no data");
                return;
            }
            if (!sizeKnown || image.size() != imageSize) {
                reject("the image is incomplete (" + std::to_string(image.size()) + " of " +
                       std::to_string(imageSize) + " bytes)");
                return;
            }
            acknowledge(Byte(UpgradeCode::End), "end answer", config.workingBaud);
            Log(now, "upgrade complete: " + std::to_string(image.size()) +
                         " bytes; the reader restarts at " + std::to_string(config.workingBaud) +
                         " baud");
            firmware = std::move(image);
            image.clear();
            sizeKnown = false;
            mode = Mode::Stopped;
            loaderOnly = false;
            return;
        default:
            reject(std::string(CommandName(request.command)) + " during the upgrade");
            return;
    }
}

}  // namespace uhf
