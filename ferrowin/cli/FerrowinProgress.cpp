#include "ferrowin/cli/FerrowinProgress.h"

#include <algorithm>
#include <cstdio>

namespace uhf {

std::string FerrowinProgress::Format(std::int64_t sentBytes, std::int64_t totalBytes,
                                     std::int64_t elapsedMs, int barWidth,
                                     std::optional<std::int64_t> msLeft) {
    totalBytes = std::max<std::int64_t>(totalBytes, 0);
    sentBytes = std::clamp<std::int64_t>(sentBytes, 0, totalBytes);
    const int percent =
        totalBytes == 0 ? 100
                        : static_cast<int>(sentBytes * 100 / std::max<std::int64_t>(1, totalBytes));
    const int filled = barWidth * percent / 100;

    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '-');
    line += "]";

    char text[160];
    std::snprintf(text, sizeof text, " %3d%%  %lld/%lld bytes", percent,
                  static_cast<long long>(sentBytes), static_cast<long long>(totalBytes));
    line += text;

    if (sentBytes > 0 && elapsedMs > 0) {
        const double bytesPerSecond =
            static_cast<double>(sentBytes) * 1000.0 / static_cast<double>(elapsedMs);
        const long long secondsLeft =
            msLeft ? static_cast<long long>((*msLeft + 500) / 1000)
                   : static_cast<long long>(
                         static_cast<double>(totalBytes - sentBytes) / bytesPerSecond + 0.5);
        std::snprintf(text, sizeof text, "  %.1f KB/s  %lld:%02lld left", bytesPerSecond / 1024.0,
                      secondsLeft / 60, secondsLeft % 60);
    } else {
        std::snprintf(text, sizeof text, "  -- KB/s  --:-- left");
    }
    line += text;
    return line;
}

}  // namespace uhf
