#include "reader/TurnaroundMeter.h"

#include <algorithm>
#include <numeric>

#include "protocol/BaudRates.h"

namespace uhf {

void TurnaroundMeter::Add(std::chrono::microseconds roundTrip, std::size_t wireBytes, int baud) {
    // A round trip shorter than its bytes' wire time is a clock's rounding, not a negative wait.
    const std::chrono::microseconds turnaround =
        std::max(roundTrip - LineTime(wireBytes, baud), std::chrono::microseconds{0});
    if (samples.size() < kMaxSamples) {
        samples.push_back(turnaround);
        return;
    }
    samples[next] = turnaround;
    next = (next + 1) % kMaxSamples;
}

std::chrono::microseconds TurnaroundMeter::Median() const {
    if (samples.empty()) {
        return {};
    }
    std::vector<std::chrono::microseconds> sorted = samples;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    return *middle;
}

std::chrono::microseconds TurnaroundMeter::Longest() const {
    return samples.empty() ? std::chrono::microseconds{}
                           : *std::max_element(samples.begin(), samples.end());
}

std::chrono::microseconds TurnaroundMeter::Mean() const {
    if (samples.empty()) {
        return {};
    }
    return std::accumulate(samples.begin(), samples.end(), std::chrono::microseconds{0}) /
           static_cast<long long>(samples.size());
}

}  // namespace uhf
