#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ferrowin/cli/FerrowinBoard.h"

namespace uhf {
namespace {

std::string Contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text += static_cast<char>(c);
    }
    return text;
}

TEST(FerrowinBoardTest, ElsewhereEveryLogLineIsBehindItsPortAndNoProgressIsShown) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    FerrowinBoard board(false, {"/dev/pts/1", "/dev/pts/2"}, file);
    board.Progress(0, "[####] 50%");
    board.Log(1, "12:00:01 Start sending upgrade firmware.");
    board.Log(0, "12:00:02 Upgrade file transferred successfully.");
    board.Finish();
    EXPECT_EQ(Contents(file),
              "/dev/pts/2: 12:00:01 Start sending upgrade firmware.\n"
              "/dev/pts/1: 12:00:02 Upgrade file transferred successfully.\n");
    std::fclose(file);
}

TEST(FerrowinBoardTest, OnATerminalLogLinesScrollAboveOneProgressLinePerPort) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    FerrowinBoard board(true, {"A", "B"}, file);
    board.Progress(0, "10%");
    board.Log(1, "line");
    board.Progress(1, "20%");  // within the redraw interval: kept for the next drawing
    board.Finish();
    EXPECT_EQ(Contents(file),
              "\r\033[KA: 10%\n\r\033[KB: waiting\n"         // first drawing
              "\033[2A\r\033[JB: line\n"                     // up, clear, the log line
              "\r\033[KA: 10%\n\r\033[KB: waiting\n"         // the rows below it again
              "\033[2A\r\r\033[KA: 10%\n\r\033[KB: 20%\n");  // the final drawing in place
    std::fclose(file);
}

}  // namespace
}  // namespace uhf
