#pragma once

#include <cstdint>

namespace uhf {

// Command byte of the parameter protocol's frames.
enum class ReaderCode : std::uint8_t {
    WriteBlock = 0x62,
    ReadBlock = 0x63,
    Resume = 0x65,
    Stop = 0xFE,
    TagReport = 0x58,    // sent unasked while the reader identifies tags
    Acknowledge = 0x88,  // answers whatever request waits, with the data 88 88
};

// Command byte of the upgrade protocol's frames; the reader's answer to a frame carries the
// frame's own code.
enum class UpgradeCode : std::uint8_t {
    BaudRate = 0x64,
    Size = 0x66,
    Data = 0x67,
    End = 0x68,
    Probe = 0x69,
};

// The code as the byte on the wire.
template <typename Code>
constexpr std::uint8_t Byte(Code code) {
    return static_cast<std::uint8_t>(code);
}

// Each request the tools send, by its code: its name in a trace, and the simulated reader's word
// for the frame that carries it.
struct RequestWords {
    std::uint8_t code;
    const char* name;
    const char* frame;
};
inline constexpr RequestWords kRequestWords[] = {
    {Byte(ReaderCode::Stop), "Stop", "Stop"},
    {Byte(ReaderCode::Resume), "Resume", "Resume"},
    {Byte(ReaderCode::ReadBlock), "ReadBlock", "ReadBlock"},
    {Byte(ReaderCode::WriteBlock), "WriteBlock", "WriteBlock"},
    {Byte(UpgradeCode::Probe), "probe", "probe"},
    {Byte(UpgradeCode::BaudRate), "baud change", "baud-rate frame"},
    {Byte(UpgradeCode::Size), "size", "size frame"},
    {Byte(UpgradeCode::Data), "upgrade data", "data frame"},
    {Byte(UpgradeCode::End), "end", "end frame"},
};

// The words of the request `code`; null for a code no request carries.
constexpr const RequestWords* FindRequestWords(std::uint8_t code) {
    for (const RequestWords& words : kRequestWords) {
        if (words.code == code) {
            return &words;
        }
    }
    return nullptr;
}

inline constexpr std::uint8_t kRequestHeader = 0xA0;
inline constexpr std::uint8_t kReplyHeader = 0xE0;
// Replies of the upgrade; the parameter protocol's status replies may carry it too.
inline constexpr std::uint8_t kUpgradeReplyHeader = 0xE4;
// The fixed 17-byte reply: 00 FF xx <12 data> checksum FF.
inline constexpr std::uint8_t kFixedFrameHeader = 0x00;
// In an 0xE0 reply with this command byte the length counts one byte more than follows it.
inline constexpr std::uint8_t kShortLengthCommand = 0x80;

// First data byte of a status reply.
inline constexpr std::uint8_t kStatusDone = 0x00;

// The upgrade's alternate probe and its answer start with this byte and hold the mark at its
// offset.
inline constexpr std::uint8_t kAltProbeHeader = 0x52;
inline constexpr std::uint8_t kAltProbeMark = 0xF4;
inline constexpr int kAltProbeMarkOffset = 5;

}  // namespace uhf
