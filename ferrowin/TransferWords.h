#pragma once

#include <string>
#include <vector>

#include "upgrade/TransferObserver.h"

namespace uhf {

// What the download tool says of its transfer, the same in the window and in ferrowin-cli: lines
// for the time-stamped log, and the texts of the message boxes captioned "提示", in the order
// they are shown.
class TransferWords {
  public:
    struct Line {
        bool messageBox = false;  // a "提示" box; otherwise a log line
        std::string text;

        bool operator==(const Line&) const = default;
    };

    static std::vector<Line> Of(TransferEvent event);
    static std::vector<Line> Of(const TransferEnd& end);
};

}  // namespace uhf
