#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/FrameSplitter.h"

namespace uhf {

// What crossed a serial line, one line per frame as the protocols frame it, and the line's own
// events (open, close, rate changes, time-outs), in one tab-separated format:
//   microseconds since the first line \t out|in|- \t line rate (- unknown) \t bytes in hex \t
//   meaning
// "out" is what this program wrote, "in" what it read; events have "-" and no bytes. The last
// kKeptLines lines are kept in memory for a failure's report; with a file every line is written
// to it as it happens and flushed, so that a crash or a kill leaves everything before it.
//
// Thread-safe: a link's receive thread and its caller's thread may report at once.
class TraceLog {
  public:
    static constexpr std::size_t kKeptLines = 64;
    enum class Direction { Out, In };

    TraceLog() = default;
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Writes every line to `path` as well (created, or emptied), or to standard error for "-";
    // called again, to each. False, with the reason in `error`, when it cannot be opened.
    bool WriteTo(const std::string& path, std::string& error);

    // The port `what` opened at `baud`; a rate unlike the last one's is a rate change too.
    void Opened(const std::string& what, int baud);
    // Cuts what is held of unfinished frames, then "close".
    void Closed();
    // The line's rate is now `baud` (0: unknown); a change from a known rate has its own line.
    void Rate(int baud);
    void Bytes(Direction direction, const std::uint8_t* bytes, std::size_t count);
    // The line went quiet: what is held of an unfinished frame is garbage now. With `timeOut` a
    // read found nothing: "time-out", said once until something else happens.
    void Quiet(bool timeOut);
    // Any other event; one said twice with nothing between is said once.
    void Event(const std::string& text);

    // The last kKeptLines lines, oldest first.
    std::vector<std::string> Lines() const;

  private:
    void Cut(Direction direction, std::vector<FramePiece> pieces);
    void Emit(const char* direction, const std::string& hex, const std::string& meaning);
    void EmitEvent(const std::string& text);

    mutable std::mutex mutex;
    std::optional<std::chrono::steady_clock::time_point> origin;
    int rate = 0;
    FrameSplitter out;
    FrameSplitter in;
    std::string lastEvent;  // the last line's, while it is an event
    std::deque<std::string> kept;
    std::vector<std::FILE*> files;
};

}  // namespace uhf
