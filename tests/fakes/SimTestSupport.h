#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/FrameChecksum.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "sim/ReaderSimulator.h"

namespace uhf::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline SimConfig QuietConfig() {
    SimConfig config;
    config.tagRate = 0;
    return config;
}

// A request frame: A0, length, command, data, checksum.
inline Bytes Request(std::uint8_t command, const Bytes& data = {}) {
    return EncodeFrame(kRequestHeader, command, data);
}

// Drives a simulator with a manual clock.
class Bench {
  public:
    explicit Bench(SimConfig config = QuietConfig(), ParameterMemory memory = {},
                   ReaderSimulator::Mode mode = ReaderSimulator::Mode::Stopped)
        : sim(std::move(config), memory, mode) {}

    void Send(const Bytes& bytes) { sim.Receive(bytes.data(), bytes.size(), now); }
    Bytes Wait(SimTime span) {
        now += span;
        return sim.Poll(now);
    }
    // Sends `bytes` and returns everything the reader sent in the next second.
    Bytes Exchange(const Bytes& bytes) {
        Send(bytes);
        return Wait(1s);
    }

    ReaderSimulator sim;
    SimTime now{0};
};

// Cuts what the reader sent into E0/E4 frames by their length bytes; bytes that start no frame
// with a good checksum are collected in `noise`.
struct SplitResult {
    std::vector<Bytes> frames;
    Bytes noise;
    Bytes tail;  // a frame cut off by the end of the bytes
};

inline SplitResult SplitFrames(const Bytes& bytes) {
    SplitResult result;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if ((bytes[i] == 0xE0 || bytes[i] == 0xE4) && i + 1 < bytes.size()) {
            const std::size_t size = bytes[i + 1] + 2u;
            if (i + size > bytes.size()) {
                result.tail.assign(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end());
                break;
            }
            if (i + size <= bytes.size() &&
                FrameChecksum(bytes.data(), static_cast<int>(i), static_cast<int>(size - 1)) ==
                    bytes[i + size - 1]) {
                result.frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                           bytes.begin() + static_cast<std::ptrdiff_t>(i + size));
                i += size;
                continue;
            }
        }
        result.noise.push_back(bytes[i++]);
    }
    return result;
}

inline bool IsTagFrame(const Bytes& frame) {
    return frame.size() == 14 && frame[0] == 0xE0 && frame[1] == 0x0C && frame[2] == 0x58;
}

inline TagId TagOf(const Bytes& frame) {
    TagId id{};
    std::copy(frame.begin() + 5, frame.begin() + 13, id.begin());
    return id;
}

}  // namespace uhf::test
