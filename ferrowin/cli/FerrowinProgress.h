#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace uhf {

// The one-line progress bar of ferrowin-cli: bar, percent, bytes sent, rate and time left.
class FerrowinProgress {
  public:
    // `elapsedMs` is the time since the first data frame left; rate and time left show "--" until
    // something measurable has been sent. `msLeft`, when known, is the time left; otherwise it
    // comes from the rate so far.
    static std::string Format(std::int64_t sentBytes, std::int64_t totalBytes,
                              std::int64_t elapsedMs, int barWidth = 24,
                              std::optional<std::int64_t> msLeft = {});
};

}  // namespace uhf
