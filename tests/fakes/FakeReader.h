#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"

namespace uhf::test {

// A reader's side of the parameter protocol as a pure function of the request bytes: parameter
// memory, the stopped or working state, and answers to Stop, Resume, ReadBlock and WriteBlock.
class FakeReader {
  public:
    using Bytes = std::vector<std::uint8_t>;

    static Bytes Reply(std::uint8_t header, std::uint8_t command, const Bytes& data) {
        return EncodeFrame(header, command, data);
    }
    static Bytes TagFrame(const std::array<std::uint8_t, 8>& id, std::uint8_t a = 0x11,
                          std::uint8_t b = 0x22) {
        return EncodeTagFrame(id, a, b);
    }

    // Parameter bytes by address, to set or compare several in one step.
    using Cells = std::map<int, int>;

    // A record that IsValid accepts, spread over all seven blocks.
    FakeReader() {
        Set({{100, 7},
             {101, 30},
             {112, 2},
             {113, 5},
             {114, 2},
             {115, 3},
             {116, 10},
             {117, 20},
             {118, 2},
             {119, 4},
             {123, 1},
             {132, 9},
             {135, 1},
             {137, 12},
             {138, 0xAB},
             {144, 25}});
    }

    void Set(const Cells& cells) {
        for (const auto& [address, value] : cells) {
            memory[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
        }
    }
    // The bytes now at the addresses `cells` names, to compare with `cells`.
    Cells At(const Cells& cells) const {
        Cells now;
        for (const auto& [address, value] : cells) {
            now[address] = memory[static_cast<std::size_t>(address)];
        }
        return now;
    }

    // The frames that answer one complete request; nothing for anything else.
    Bytes Answer(const Bytes& request) {
        ++requests;
        const std::optional<RequestView> frame = ParseRequest(request.data(), request.size());
        if (!frame || silent) {
            return {};
        }
        const std::uint8_t code = frame->command;
        switch (code) {
            case Byte(ReaderCode::Stop):
                working = false;
                return Reply(replyHeader, code, {0x00});
            case Byte(ReaderCode::Resume):
                if (refuseResume) {
                    return Reply(replyHeader, code, {0x01});
                }
                working = true;
                return Reply(replyHeader, code, {0x00});
            case Byte(ReaderCode::ReadBlock): {
                if (request.size() != 7) {
                    return Reply(replyHeader, code, {0x01});
                }
                const int length = request[3];
                const int address = request[4] * 256 + request[5];
                Bytes values;
                for (int i = 0; i < length; ++i) {
                    values.push_back(memory[static_cast<std::size_t>((address + i) & 0xFFFF)]);
                }
                return EncodeReadBlockReply({request[3], request[4], request[5]}, values);
            }
            case Byte(ReaderCode::WriteBlock): {
                const int length = request[3];
                const int address = request[4] * 256 + request[5];
                if (request.size() != static_cast<std::size_t>(length) + 7) {
                    return Reply(replyHeader, code, {0x01});
                }
                if (failWriteAt == address) {
                    return Reply(replyHeader, code, {failWriteStatus});
                }
                for (int i = 0; i < length && address != ignoreWriteAt; ++i) {
                    memory[static_cast<std::size_t>((address + i) & 0xFFFF)] = request[6 + i];
                }
                ++blocksWritten;
                return Reply(replyHeader, code, {0x00});
            }
            default:
                return Reply(replyHeader, code, {0x02});
        }
    }

    std::array<std::uint8_t, 65536> memory{};
    bool working = true;
    bool silent = false;
    bool refuseResume = false;
    int failWriteAt = -1;
    std::uint8_t failWriteStatus = 0x05;
    int ignoreWriteAt = -1;  // a block write at this address is acknowledged but not stored
    int blocksWritten = 0;
    int requests = 0;
    std::uint8_t replyHeader = 0xE0;
};

// Stop and Resume as the host must send them, byte for byte.
inline const FakeReader::Bytes kStopRequest{0xA0, 0x02, 0xFE, 0x60};
inline const FakeReader::Bytes kResumeRequest{0xA0, 0x02, 0x65, 0xF9};

}  // namespace uhf::test
