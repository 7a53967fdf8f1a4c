#include "serial/TraceLog.h"

#include <cerrno>
#include <cstring>

#include "common/SystemText.h"

namespace uhf {

TraceLog::~TraceLog() {
    for (std::FILE* file : files) {
        if (file != stderr) {
            std::fclose(file);
        }
    }
}

bool TraceLog::WriteTo(const std::string& path, std::string& error) {
    std::FILE* opened = path == "-" ? stderr : OpenFile(path, "w");
    if (opened == nullptr) {
        error = "--trace " + path + ": " + std::strerror(errno);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    files.push_back(opened);
    return true;
}

void TraceLog::Emit(const char* direction, const std::string& hex, const std::string& meaning) {
    const auto now = std::chrono::steady_clock::now();
    if (!origin) {
        origin = now;
    }
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now - *origin).count();
    std::string line = std::to_string(micros) + "\t" + direction + "\t" +
                       (rate > 0 ? std::to_string(rate) : "-") + "\t" + hex + "\t" + meaning;
    for (std::FILE* file : files) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fflush(file);
    }
    if (kept.size() == kKeptLines) {
        kept.pop_front();
    }
    kept.push_back(std::move(line));
}

void TraceLog::EmitEvent(const std::string& text) {
    if (text != lastEvent) {
        Emit("-", "", text);
        lastEvent = text;
    }
}

void TraceLog::Cut(Direction direction, std::vector<FramePiece> pieces) {
    for (const FramePiece& piece : pieces) {
        Emit(direction == Direction::Out ? "out" : "in",
             HexText(piece.bytes.data(), piece.bytes.size()), piece.meaning);
        lastEvent.clear();
    }
}

void TraceLog::Opened(const std::string& what, int baud) {
    std::lock_guard<std::mutex> lock(mutex);
    const int before = rate;
    rate = baud;
    EmitEvent("open " + what);
    if (before > 0 && baud != before) {
        EmitEvent("rate change to " + std::to_string(baud));
    }
}

void TraceLog::Closed() {
    std::lock_guard<std::mutex> lock(mutex);
    Cut(Direction::Out, out.Flush());
    Cut(Direction::In, in.Flush());
    EmitEvent("close");
}

void TraceLog::Rate(int baud) {
    std::lock_guard<std::mutex> lock(mutex);
    if (baud == rate) {
        return;
    }
    const int before = rate;
    rate = baud;
    if (before > 0 && baud > 0) {
        EmitEvent("rate change to " + std::to_string(baud));
    }
}

void TraceLog::Bytes(Direction direction, const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex);
    Cut(direction, (direction == Direction::Out ? out : in).Feed(bytes, count));
}

void TraceLog::Quiet(bool timeOut) {
    std::lock_guard<std::mutex> lock(mutex);
    Cut(Direction::Out, out.Flush());
    Cut(Direction::In, in.Flush());
    if (timeOut) {
        EmitEvent("time-out");
    }
}

void TraceLog::Event(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    EmitEvent(text);
}

std::vector<std::string> TraceLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex);
    return {kept.begin(), kept.end()};
}

}  // namespace uhf
