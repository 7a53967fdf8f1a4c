#pragma once

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace uhf {

// `-v` after a failure: the last lines of the port's trace under the error, as the trace writes
// them, so that a failure shows the frames that led to it.
inline constexpr std::size_t kTraceTailLines = 8;

inline void PrintTraceTail(std::ostream& err, const char* tool,
                           const std::vector<std::string>& lines) {
    const std::size_t first = lines.size() - std::min(lines.size(), kTraceTailLines);
    err << tool << ": the last " << lines.size() - first << " lines of the trace:\n";
    for (std::size_t i = first; i < lines.size(); ++i) {
        err << lines[i] << "\n";
    }
}

}  // namespace uhf
