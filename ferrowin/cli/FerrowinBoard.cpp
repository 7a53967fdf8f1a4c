#include "ferrowin/cli/FerrowinBoard.h"

namespace uhf {

FerrowinBoard::FerrowinBoard(bool onTerminal, std::vector<std::string> names, std::FILE* out)
    : terminal(onTerminal),
      ports(std::move(names)),
      progress(ports.size(), "waiting"),
      stream(out) {}

void FerrowinBoard::Log(int row, const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (row < 0 || static_cast<std::size_t>(row) >= ports.size()) {
        return;
    }
    if (terminal && drawn) {
        // Up to the first progress line and clear from there: the log line takes its place.
        std::fprintf(stream, "\033[%zuA\r\033[J", ports.size());
        drawn = false;
    }
    std::fprintf(stream, "%s: %s\n", ports[static_cast<std::size_t>(row)].c_str(), line.c_str());
    if (terminal) {
        Redraw(false);
    }
    std::fflush(stream);
}

void FerrowinBoard::Progress(int row, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!terminal || row < 0 || static_cast<std::size_t>(row) >= ports.size()) {
        return;
    }
    progress[static_cast<std::size_t>(row)] = text;
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastRedraw < kRedrawInterval) {
        return;
    }
    Redraw(true);
    std::fflush(stream);
}

void FerrowinBoard::Finish() {
    const std::lock_guard<std::mutex> lock(mutex);
    if (terminal) {
        Redraw(true);
        std::fflush(stream);
    }
}

void FerrowinBoard::Redraw(bool erase) {
    if (erase && drawn) {
        std::fprintf(stream, "\033[%zuA\r", ports.size());
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::fprintf(stream, "\r\033[K%s: %s\n", ports[i].c_str(), progress[i].c_str());
    }
    drawn = true;
    lastRedraw = std::chrono::steady_clock::now();
}

}  // namespace uhf
