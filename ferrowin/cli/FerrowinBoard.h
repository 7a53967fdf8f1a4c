#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace uhf {

// What ferrowin-cli shows while it upgrades several readers at once, shared by their threads.
// On a terminal: one progress line per port at the bottom, kept in place while log lines scroll
// above it. Elsewhere: every log line behind its port, and no progress lines.
class FerrowinBoard {
  public:
    FerrowinBoard(bool terminal, std::vector<std::string> ports, std::FILE* stream);

    // A time-stamped line of the transfer on port `row`.
    void Log(int row, const std::string& line);
    // The progress text of port `row`; redrawn at most every kRedrawInterval.
    void Progress(int row, const std::string& text);
    // Draws the progress lines a last time, so that the final state stays on the screen.
    void Finish();

    static constexpr std::chrono::milliseconds kRedrawInterval{100};

  private:
    // With the mutex held.
    void Redraw(bool erase);

    bool terminal;
    std::vector<std::string> ports;
    std::vector<std::string> progress;
    std::FILE* stream;
    std::mutex mutex;
    bool drawn = false;
    std::chrono::steady_clock::time_point lastRedraw;
};

}  // namespace uhf
