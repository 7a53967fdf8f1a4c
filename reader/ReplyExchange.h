#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "protocol/ReaderFrame.h"
#include "reader/LinkError.h"
#include "reader/TagCollector.h"
#include "reader/TimedRecursiveMutex.h"
#include "serial/SerialPort.h"

namespace uhf {

// The one door of every request to the reader: the stop check, portMutex, a purge of what the
// port holds (outside tag collection), the request, the 100 ms pause, the one reply read and the
// judgement of every frame in it. Nothing is sent again and nothing is read a second time.
class ReplyExchange {
  public:
    static constexpr int kSendBufferSize = 64;
    static constexpr int kReplyReadSize = 100;
    static constexpr int kBufferSize = 2048;
    static constexpr std::chrono::milliseconds kReplyPause{100};

    using SleepFunction = std::function<void(std::chrono::milliseconds)>;
    using PortLock = std::unique_lock<TimedRecursiveMutex>;

    // `sleep` makes the pause before each reply read.
    ReplyExchange(SerialPort& port, TimedRecursiveMutex& portMutex, TagCollector& tags,
                  SleepFunction sleep);

    // portMutex for a run of requests (it is re-entrant), waited for at most 3000 ms while the
    // receive thread is asked to let go of it; nothing when it stayed taken.
    std::optional<PortLock> LockPort();

    // Sends request `code` with `data` and fills `reply` with the frame that answers it (its
    // command byte is `code` or 0x88); LinkError::None, or why there is no answer.
    LinkError Request(std::uint8_t code, std::span<const std::uint8_t> data, ReaderFrame& reply);
    // A request answered by a status: "done" (0x00), or the acknowledgement 88 88.
    LinkError StatusRequest(std::uint8_t code, std::span<const std::uint8_t> data = {});

    // Asked before every request but Stop: true refuses it with LinkError::Stopped.
    void SetStopCheck(std::function<bool()> stopRequested) { stopCheck = std::move(stopRequested); }

  private:
    // After the 100 ms pause, reads until a frame answers `code`, passing over tag frames and
    // noise, for as long as one reply read may last (200 ms; a read under way ends by its own
    // time-outs). Every frame gathered is judged: two answering frames that differ fail the
    // exchange, since nothing tells a stale copy from the fresh one.
    LinkError WaitReply(std::uint8_t code, ReaderFrame& reply);
    // Judges the reply bytes from replyPos on, taking each frame that is complete; with `final`
    // the bytes that never completed a frame are passed over too.
    struct ReplyJudgement;
    void JudgeReplyBytes(std::uint8_t code, bool final, ReplyJudgement& judgement);

    SerialPort& port;
    TimedRecursiveMutex& portMutex;
    TagCollector& tags;
    SleepFunction sleep;
    std::function<bool()> stopCheck;
    std::array<std::uint8_t, kSendBufferSize> sendBuffer{};
    std::array<std::uint8_t, kBufferSize> replyBuffer{};
    int replyCount = 0;
    int replyPos = 0;
};

}  // namespace uhf
