#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <string>

#include "ferrowin/cli/FerrowinBoard.h"
#include "toolsupport/LinePrefixer.h"

namespace uhf {
namespace {

TEST(FerrowinBoardTest, OnATerminalLogLinesScrollAboveOneProgressLinePerPort) {
    std::ostringstream terminal;
    FerrowinBoard board({"A", "B"}, terminal);
    // B's log lines come as PortRunner hands them on: whole, behind their port.
    std::ostream boardStream(&board);
    std::mutex mutex;
    LinePrefixer lines(boardStream, mutex, "B: ");
    std::ostream log(&lines);
    board.Progress(0, "10%");
    log << "li"
        << "ne\n";
    board.Progress(1, "20%");  // within the redraw interval: kept for the next drawing
    board.Finish();
    EXPECT_EQ(terminal.str(),
              "\r\033[KA: 10%\n\r\033[KB: waiting\n"         // first drawing
              "\033[2A\r\033[JB: line\n"                     // up, clear, the log line
              "\r\033[KA: 10%\n\r\033[KB: waiting\n"         // the rows below it again
              "\033[2A\r\r\033[KA: 10%\n\r\033[KB: 20%\n");  // the final drawing in place
}

}  // namespace
}  // namespace uhf
