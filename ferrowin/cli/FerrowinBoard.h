#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace uhf {

// What ferrowin-cli shows on a terminal while it upgrades several readers at once: one progress
// line per port at the bottom, kept in place while the lines written to the board scroll above
// it. Shared by the readers' threads; each write is one whole line (as LinePrefixer writes them).
class FerrowinBoard : public std::streambuf {
  public:
    FerrowinBoard(std::vector<std::string> ports, std::ostream& terminal);

    // The progress text of port `row`; redrawn at most every kRedrawInterval.
    void Progress(std::size_t row, const std::string& text);
    // Draws the progress lines now, so that a transfer's final state stays on the screen.
    void Finish();

    static constexpr std::chrono::milliseconds kRedrawInterval{100};

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

  private:
    // With the mutex held: the progress lines, after moving up over the old ones when `erase`.
    std::string Drawing(bool erase);
    void Put(const std::string& text);

    std::vector<std::string> ports;
    std::vector<std::string> progress;
    std::ostream& terminal;
    std::mutex mutex;
    bool drawn = false;
    std::chrono::steady_clock::time_point lastRedraw;
};

}  // namespace uhf
