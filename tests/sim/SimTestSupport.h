#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "reader/FrameChecksum.h"
#include "sim/ReaderSimulator.h"

namespace uhf::simtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline SimConfig QuietConfig() {
    SimConfig config;
    config.tagRate = 0;
    return config;
}

// A request frame: A0, length, command, data, checksum.
inline Bytes Request(std::uint8_t command, Bytes data = {}) {
    Bytes frame{0xA0, static_cast<std::uint8_t>(data.size() + 2), command};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(FrameChecksum(frame.data(), 0, static_cast<int>(frame.size())));
    return frame;
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

}  // namespace uhf::simtest
