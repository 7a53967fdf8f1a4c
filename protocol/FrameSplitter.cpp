#include "protocol/FrameSplitter.h"

#include <algorithm>

#include "protocol/BaudRates.h"
#include "protocol/FrameCodec.h"
#include "protocol/ReplyRecognition.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

namespace {

constexpr int kNoFrame = 0;
constexpr int kMayComplete = -1;

// The size of the frame at the start of the `count` bytes; kNoFrame when none starts there,
// kMayComplete when more bytes may still make one.
int FrameAt(const std::uint8_t* bytes, std::size_t count) {
    if (bytes[0] == kRequestHeader) {
        if (count < 2) {
            return kMayComplete;
        }
        const std::size_t size = bytes[1] + 2u;
        if (bytes[1] < 2) {
            return kNoFrame;
        }
        if (count < size) {
            return kMayComplete;
        }
        return ParseRequest(bytes, size) ? static_cast<int>(size) : kNoFrame;
    }
    if (bytes[0] == kAltProbeHeader) {
        const std::size_t have = std::min(count, kAltProbeFrame.size());
        if (!std::equal(bytes, bytes + have, kAltProbeFrame.begin())) {
            return kNoFrame;
        }
        return have < kAltProbeFrame.size() ? kMayComplete : static_cast<int>(have);
    }
    const int n = static_cast<int>(count);
    ReaderFrame frame;
    int consumed = 0;
    if (RecognizeReply(bytes, n, 0, frame, consumed)) {
        return consumed;
    }
    return n < ReplyBytesNeeded(bytes, n, 0) ? kMayComplete : kNoFrame;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return HexText(bytes.data(), bytes.size());
}

// What a reply to `code` answers, by the request's name; null for a code no request carries.
const char* RequestName(std::uint8_t code) {
    const RequestWords* words = FindRequestWords(code);
    return words != nullptr ? words->name : nullptr;
}

std::string CodeText(std::uint8_t code) {
    return "0x" + HexText(&code, 1);
}

// "100+2": the block's address and length.
std::string BlockText(const std::vector<std::uint8_t>& data) {
    return std::to_string(data[1] * 256 + data[2]) + "+" + std::to_string(data[0]);
}

std::string DescribeReply(const ReaderFrame& reply) {
    const std::vector<std::uint8_t>& data = reply.data;
    constexpr std::uint8_t kAck = Byte(ReaderCode::Acknowledge);
    if (reply.header == kFixedFrameHeader) {
        return "fixed frame " + Hex(data);
    }
    if (reply.command == Byte(ReaderCode::TagReport) && reply.header == kReplyHeader &&
        data.size() == kTagFrameSize - 4u) {
        return "tag report " + HexText(data.data() + (kTagIdOffset - 3), kTagIdSize);
    }
    if (reply.command == kAck) {
        return data.size() == 2 && data[0] == kAck && data[1] == kAck ? "ack"
                                                                      : "ack with " + Hex(data);
    }
    const char* name = RequestName(reply.command);
    if (name == nullptr) {
        return "reply " + CodeText(reply.command) + (data.empty() ? "" : ": " + Hex(data));
    }
    const std::string head = std::string("reply to ") + name;
    if (reply.command == Byte(ReaderCode::ReadBlock) && data.size() > kBlockHeadSize) {
        return head + ": " + HexText(data.data(), kBlockHeadSize) + ", values " +
               HexText(data.data() + kBlockHeadSize, data.size() - kBlockHeadSize);
    }
    if (data.empty()) {
        return head + ", no data";
    }
    return head + ": status " + std::to_string(data[0]) +
           (data.size() > 1 ? ", " + HexText(data.data() + 1, data.size() - 1) : "");
}

}  // namespace

std::string HexText(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string FrameSplitter::Describe(const std::uint8_t* frame, std::size_t size) {
    if (frame[0] == kAltProbeHeader) {
        return "alternate probe";
    }
    if (frame[0] != kRequestHeader) {
        ReaderFrame reply;
        int consumed = 0;
        RecognizeReply(frame, static_cast<int>(size), 0, reply, consumed);
        return DescribeReply(reply);
    }
    const RequestView request = *ParseRequest(frame, size);
    const std::vector<std::uint8_t>& data = request.data;
    switch (request.command) {
        case Byte(ReaderCode::ReadBlock):
            if (data.size() == kBlockHeadSize) {
                return "ReadBlock " + BlockText(data);
            }
            break;
        case Byte(ReaderCode::WriteBlock):
            if (data.size() > kBlockHeadSize && data.size() == kBlockHeadSize + data[0]) {
                return "WriteBlock " + BlockText(data) + ": " +
                       HexText(data.data() + kBlockHeadSize, data[0]);
            }
            break;
        case Byte(UpgradeCode::BaudRate):
            if (data.size() == 1) {
                const int rate = BaudRateAt(data[0]);
                return rate > 0
                           ? "baud change to " + std::to_string(rate)
                           : "baud change to an unknown rate, index " + std::to_string(data[0]);
            }
            break;
        case Byte(UpgradeCode::Size):
            if (data.size() == 2) {
                const int length = data[0] * 256 + data[1];
                packetCount = PacketCountFor(length);
                packetsSeen = 0;
                return "image size " + std::to_string(length) + " bytes, " +
                       std::to_string(packetCount) + " data frames";
            }
            break;
        case Byte(UpgradeCode::Data):
            if (data.size() >= 2) {
                const std::string bytes = std::to_string(data.size() - 2) + " bytes";
                if (packetCount == 0) {
                    return "upgrade data, " + bytes;
                }
                ++packetsSeen;
                return "upgrade data " + std::to_string(packetsSeen) + "/" +
                       std::to_string(packetCount) + ", " + bytes;
            }
            break;
        default:
            break;
    }
    const char* name = RequestName(request.command);
    if (name != nullptr && (data.empty() || request.command == Byte(UpgradeCode::Probe))) {
        const bool plainProbe = data.size() == 1 && data[0] == 0x00;
        return data.empty() || plainProbe ? name : std::string(name) + ": " + Hex(data);
    }
    return "request " + CodeText(request.command) + (data.empty() ? "" : ": " + Hex(data));
}

std::vector<FramePiece> FrameSplitter::Cut(bool final) {
    std::vector<FramePiece> pieces;
    std::size_t pos = 0;
    std::size_t garbageFrom = 0;
    auto endGarbage = [&] {
        if (garbageFrom < pos) {
            const std::size_t n = pos - garbageFrom;
            pieces.push_back({{pending.begin() + static_cast<std::ptrdiff_t>(garbageFrom),
                               pending.begin() + static_cast<std::ptrdiff_t>(pos)},
                              "garbage, " + std::to_string(n) + (n == 1 ? " byte" : " bytes")});
        }
    };
    while (pos < pending.size()) {
        const int size = FrameAt(pending.data() + pos, pending.size() - pos);
        if (size == kMayComplete && !final) {
            break;
        }
        if (size <= 0) {
            ++pos;
            continue;
        }
        endGarbage();
        const auto start = pending.begin() + static_cast<std::ptrdiff_t>(pos);
        pieces.push_back({{start, start + size},
                          Describe(pending.data() + pos, static_cast<std::size_t>(size))});
        pos += static_cast<std::size_t>(size);
        garbageFrom = pos;
    }
    endGarbage();
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(pos));
    return pieces;
}

std::vector<FramePiece> FrameSplitter::Feed(const std::uint8_t* bytes, std::size_t count) {
    pending.insert(pending.end(), bytes, bytes + count);
    return Cut(false);
}

std::vector<FramePiece> FrameSplitter::Flush() {
    return Cut(true);
}

}  // namespace uhf
