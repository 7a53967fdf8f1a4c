#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "protocol/FrameChecksum.h"

namespace uhf::test {

// A reader's side of the parameter protocol as a pure function of the request bytes: parameter
// memory, the stopped or working state, and answers to Stop, Resume, ReadBlock and WriteBlock.
class FakeReader {
  public:
    using Bytes = std::vector<std::uint8_t>;

    static Bytes Reply(std::uint8_t header, std::uint8_t command, const Bytes& data) {
        // Sized up front: GCC 12 at -O3 misreads an insert into a short vector as out of bounds.
        Bytes frame(data.size() + 4);
        frame[0] = header;
        frame[1] = static_cast<std::uint8_t>(data.size() + 2);
        frame[2] = command;
        std::copy(data.begin(), data.end(), frame.begin() + 3);
        frame.back() = FrameChecksum(frame.data(), 0, static_cast<int>(frame.size()) - 1);
        return frame;
    }
    static Bytes TagFrame(const std::array<std::uint8_t, 8>& id, std::uint8_t a = 0x11,
                          std::uint8_t b = 0x22) {
        Bytes frame(14);
        frame[0] = 0xE0;
        frame[1] = 0x0C;
        frame[2] = 0x58;
        frame[3] = a;
        frame[4] = b;
        std::copy(id.begin(), id.end(), frame.begin() + 5);
        frame[13] = FrameChecksum(frame.data(), 0, 13);
        return frame;
    }

    // A record that IsValid accepts, spread over all seven blocks.
    FakeReader() {
        const std::array<std::pair<int, std::uint8_t>, 16> initial{{{100, 7},
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
                                                                    {144, 25}}};
        for (const auto& [address, value] : initial) {
            memory[static_cast<std::size_t>(address)] = value;
        }
    }

    // The frames that answer one complete request; nothing for anything else.
    Bytes Answer(const Bytes& request) {
        ++requests;
        if (request.size() < 4 || request[0] != 0xA0 || request[1] + 2u != request.size() ||
            FrameChecksum(request.data(), 0, static_cast<int>(request.size()) - 1) !=
                request.back()) {
            return {};
        }
        if (silent) {
            return {};
        }
        const std::uint8_t code = request[2];
        switch (code) {
            case 0xFE:
                working = false;
                return Reply(replyHeader, code, {0x00});
            case 0x65:
                if (refuseResume) {
                    return Reply(replyHeader, code, {0x01});
                }
                working = true;
                return Reply(replyHeader, code, {0x00});
            case 0x63: {
                if (request.size() != 7) {
                    return Reply(replyHeader, code, {0x01});
                }
                const int length = request[3];
                const int address = request[4] * 256 + request[5];
                Bytes data{0x00, static_cast<std::uint8_t>(length), request[5]};
                for (int i = 0; i < length; ++i) {
                    data.push_back(memory[static_cast<std::size_t>((address + i) & 0xFFFF)]);
                }
                return Reply(0xE0, code, data);
            }
            case 0x62: {
                const int length = request[3];
                const int address = request[4] * 256 + request[5];
                if (request.size() != static_cast<std::size_t>(length) + 7) {
                    return Reply(replyHeader, code, {0x01});
                }
                if (failWriteAt == address) {
                    return Reply(replyHeader, code, {failWriteStatus});
                }
                for (int i = 0; i < length; ++i) {
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
    int blocksWritten = 0;
    int requests = 0;
    std::uint8_t replyHeader = 0xE0;
};

}  // namespace uhf::test
