#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace uhf {

// How long the far end takes to answer, as the host sees it: each round trip, from handing the
// request to the port to having the whole answer, less the wire time of both at 10 bits a byte.
// What is left is the reader's own turnaround plus whatever the adapter and the machine add (an
// FTDI latency timer holds short answers for up to its period). The median of a few stands
// against the stray slow read of a busy machine; the mean of many is what a run of them costs.
// The newest kMaxSamples are kept.
class TurnaroundMeter {
  public:
    static constexpr std::size_t kMaxSamples = 1024;

    // A round trip that moved `wireBytes` (request and answer) at `baud`.
    void Add(std::chrono::microseconds roundTrip, std::size_t wireBytes, int baud);

    std::size_t Count() const { return samples.size(); }
    // 0 without samples.
    std::chrono::microseconds Median() const;
    std::chrono::microseconds Longest() const;
    // What a run of exchanges costs on average, the stray slow ones included.
    std::chrono::microseconds Mean() const;

  private:
    std::vector<std::chrono::microseconds> samples;
    std::size_t next = 0;  // where the next sample goes once kMaxSamples are kept
};

}  // namespace uhf
