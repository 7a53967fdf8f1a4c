#include "reader/ReaderLink.h"

#include <algorithm>
#include <array>
#include <optional>
#include <thread>

#include "protocol/FrameCodec.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

namespace {

void RealSleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace

ReaderLink::ReaderLink(std::unique_ptr<SerialPort> serialPort, SleepFunction sleep)
    : port(serialPort ? std::move(serialPort) : std::make_unique<NativeSerialPort>()),
      tags(*port, portMutex),
      exchange(*port, portMutex, tags, sleep ? std::move(sleep) : SleepFunction(RealSleep)) {}

bool ReaderLink::Done(LinkError error, std::string detail) {
    lastError = error;
    lastErrorDetail = std::move(detail);
    return error == LinkError::None;
}

bool ReaderLink::Open(const std::string& portName, int baudRate) {
    Close();
    lastOpenError = port->Open(portName, baudRate);
    if (lastOpenError != SerialError::None) {
        // Nothing stays half open: the port was closed by the failed open.
        port->Close();
        return Done(LinkError::OpenFailed);
    }
    return Done(LinkError::None);
}

void ReaderLink::Close() {
    tags.Join();
    port->Close();
}

int ReaderLink::TakeTagRecords(std::uint8_t* destination) {
    if (destination == nullptr) {
        return 0;
    }
    const std::optional<int> count = tags.Take(destination);
    if (!count) {
        Done(LinkError::LockedOut);
        return 0;
    }
    return *count;
}

bool ReaderLink::Stop() {
    if (!IsOpen()) {
        return Done(LinkError::NotOpen);
    }
    // Held across the exchange and the end of collection: portMutex, then tagMutex.
    const auto lock = exchange.LockPort();
    if (!lock) {
        return Done(LinkError::LockTimeout);
    }
    if (!Done(exchange.StatusRequest(Byte(ReaderCode::Stop)))) {
        return false;
    }
    tags.End();
    return true;
}

bool ReaderLink::Resume() {
    return Done(exchange.StatusRequest(Byte(ReaderCode::Resume)));
}

bool ReaderLink::StartTagCollection() {
    (void)Stop();
    if (!Resume()) {
        return false;
    }
    tags.Start();
    return true;
}

bool ReaderLink::ReadBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                           std::uint8_t* values) {
    if (values == nullptr) {
        return Done(LinkError::FrameRefused);
    }
    ReaderFrame reply;
    const LinkError error = exchange.Request(
        Byte(ReaderCode::ReadBlock), EncodeBlockRequestData(length, addressHigh, address), reply);
    if (error != LinkError::None) {
        return Done(error);
    }
    if (reply.header != kReplyHeader) {
        return Done(LinkError::WrongHeader);
    }
    // The block's head comes before the values; a reply without all of them fails.
    if (reply.data.size() < kBlockHeadSize + length) {
        return Done(LinkError::ShortReply);
    }
    std::copy_n(reply.data.begin() + kBlockHeadSize, length, values);
    return Done(LinkError::None);
}

bool ReaderLink::WriteBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                            const std::uint8_t* values) {
    if (values == nullptr && length > 0) {
        return Done(LinkError::FrameRefused);
    }
    return Done(
        exchange.StatusRequest(Byte(ReaderCode::WriteBlock),
                               EncodeBlockRequestData(length, addressHigh, address, values)));
}

bool ReaderLink::ReadParams(ReaderParams& out) {
    if (!IsOpen()) {
        return Done(LinkError::NotOpen);
    }
    const auto lock = exchange.LockPort();
    if (!lock) {
        return Done(LinkError::LockTimeout);
    }
    ReaderParams local;
    for (int i = 0; i < kParamBlockCount; ++i) {
        const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(i)];
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        if (!ReadBlock(0, block.address, block.readLength, values.data())) {
            return false;
        }
        StoreBlock(local, i, values.data());
    }
    out = local;
    return true;
}

bool ReaderLink::WriteParams(const ReaderParams& in, unsigned blocks) {
    uncertainBlock = -1;
    if (!in.IsValid()) {
        return Done(LinkError::RecordInvalid, in.Refusal());
    }
    if (!IsOpen()) {
        return Done(LinkError::NotOpen);
    }
    const auto lock = exchange.LockPort();
    if (!lock) {
        return Done(LinkError::LockTimeout);
    }
    std::string written;
    for (int i = 0; i < kParamBlockCount; ++i) {
        if ((blocks & (1u << i)) == 0) {
            continue;
        }
        const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(i)];
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        LoadBlock(in, i, values.data());
        if (!WriteBlock(0, block.address, block.writeLength, values.data())) {
            // Nothing is rolled back, nor sent again: say what the reader now holds, as far as
            // that is known. A request whose answer was lost may have been carried out.
            const std::string at = "the block at address " + std::to_string(block.address);
            const std::string earlier =
                written.empty() ? "" : " (already written: the blocks at " + written + ")";
            const bool unanswered =
                lastError == LinkError::NoReply || lastError == LinkError::PortFailed;
            if (unanswered || lastError == LinkError::BadChecksum ||
                lastError == LinkError::Conflicting) {
                uncertainBlock = i;
                lastErrorDetail =
                    (unanswered
                         ? "the reader did not answer the write of " + at + " and"
                         : "the reader's answer to the write of " + at + " was unclear, and it") +
                    " may have written it" + earlier;
            } else {
                lastErrorDetail = "at " + at + (written.empty() ? " (no block written)" : earlier);
            }
            return false;
        }
        written += (written.empty() ? "" : ", ") + std::to_string(block.address);
    }
    return Done(LinkError::None);
}

}  // namespace uhf
