#include "ferrowin/cli/FerrowinBoard.h"

namespace uhf {

FerrowinBoard::FerrowinBoard(std::vector<std::string> names, std::ostream& out)
    : ports(std::move(names)), progress(ports.size(), "waiting"), terminal(out) {}

FerrowinBoard::int_type FerrowinBoard::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char text = traits_type::to_char_type(c);
    xsputn(&text, 1);
    return c;
}

std::streamsize FerrowinBoard::xsputn(const char* text, std::streamsize count) {
    const std::lock_guard<std::mutex> lock(mutex);
    std::string line(text, static_cast<std::size_t>(count));
    if (line.empty() || line.back() != '\n') {
        line += '\n';  // the progress lines start on a line of their own
    }
    if (drawn) {
        // Up to the first progress line and clear from there: the line takes its place.
        line.insert(0, "\033[" + std::to_string(ports.size()) + "A\r\033[J");
    }
    Put(line + Drawing(false));
    return count;
}

void FerrowinBoard::Progress(std::size_t row, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (row >= ports.size()) {
        return;
    }
    progress[row] = text;
    if (drawn && std::chrono::steady_clock::now() - lastRedraw < kRedrawInterval) {
        return;
    }
    Put(Drawing(true));
}

void FerrowinBoard::Finish() {
    const std::lock_guard<std::mutex> lock(mutex);
    Put(Drawing(true));
}

std::string FerrowinBoard::Drawing(bool erase) {
    std::string lines;
    if (erase && drawn) {
        lines = "\033[" + std::to_string(ports.size()) + "A\r";
    }
    for (std::size_t i = 0; i < ports.size(); ++i) {
        lines += "\r\033[K" + ports[i] + ": " + progress[i] + "\n";
    }
    drawn = true;
    lastRedraw = std::chrono::steady_clock::now();
    return lines;
}

void FerrowinBoard::Put(const std::string& text) {
    terminal.write(text.data(), static_cast<std::streamsize>(text.size()));
    terminal.flush();
}

}  // namespace uhf
