#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/ReaderFrame.h"
#include "protocol/TagFrameScanner.h"
#include "reader/LinkError.h"
#include "reader/ParamBlocks.h"
#include "reader/ReaderParams.h"
#include "reader/TimedRecursiveMutex.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

namespace uhf {

// The reader's serial link and its commands. Operations return 1 for success and 0 for failure;
// LastError() (and LastOpenError() after a failed Open) says why.
//
// Threading contract:
// - One caller thread (the user-interface thread) runs Open, Close, every command and
//   TakeTagRecords. The link is not meant to be driven from two caller threads at once.
// - At most one receive thread runs, from StartReceiveThread until it sees stopRequested, which
//   it checks between reads and again after taking portMutex. It holds portMutex (waiting at
//   most 1000 ms) for one read and the scan of what it read, storing tag records under tagMutex
//   meanwhile; it touches no other state.
// - A command holds portMutex (re-entrant, waited for at most 3000 ms) from before its request
//   until its reply has been read; ReadParams and WriteParams hold it across all seven exchanges.
//   A command that waits for portMutex wakes the receive thread's read; the thread finishes the
//   tag frame under way and lets the command in.
// - Lock order: portMutex, then tagMutex.
// - Close, the destructor and StartReceiveThread set stopRequested, wake the receive thread's
//   read and join the thread before anything it uses is closed or reused.
// - Outside tag collection, each request is preceded by a purge of what the port holds.
class ReaderLink {
  public:
    static constexpr int kTagSlots = 450;
    static constexpr int kTagRecordSize = 8;
    static constexpr int kTagStoreSize = kTagSlots * kTagRecordSize;  // 3600 bytes
    static constexpr int kSendBufferSize = 64;
    static constexpr int kReplyReadSize = 100;
    static constexpr int kBufferSize = 2048;
    static constexpr std::chrono::milliseconds kCommandLockWait{3000};
    static constexpr std::chrono::milliseconds kThreadLockWait{1000};
    static constexpr std::chrono::milliseconds kTagLockWait{1000};
    static constexpr std::chrono::milliseconds kReplyPause{100};

    using SleepFunction = std::function<void(std::chrono::milliseconds)>;

    // On the machine's own serial port.
    ReaderLink();
    explicit ReaderLink(std::unique_ptr<SerialPort> port);
    // `sleep` makes the pause before each reply read (tests pass one that does not sleep).
    ReaderLink(std::unique_ptr<SerialPort> port, SleepFunction sleep);
    virtual ~ReaderLink();
    ReaderLink(const ReaderLink&) = delete;
    ReaderLink& operator=(const ReaderLink&) = delete;

    // Link.
    int Open(const std::string& portName, int baudRate);
    void Close();
    bool IsOpen() const;
    int SendFrame(ReaderFrame& frame);
    int ReadReplyFrame(ReaderFrame& frame);
    // After the 100 ms pause, reads until a frame answers `code` (its command byte or 0x88),
    // passing over tag frames and noise, for as long as one reply read may last (200 ms; a read
    // under way ends by its own time-outs). Every frame gathered is judged: two answering frames
    // that differ fail the exchange, since nothing tells a stale copy from the fresh one.
    int WaitReply(std::uint8_t code, ReaderFrame& frame);
    int StartReceiveThread();
    // `destination` holds at least kTagStoreSize bytes; returns the records copied.
    int TakeTagRecords(std::uint8_t* destination);

    // Commands.
    int Stop();
    int Resume();
    int ReadBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                  std::uint8_t* values);
    int WriteBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                   const std::uint8_t* values);
    int CheckReplyStatus(std::uint8_t code);
    int ReadParams(ReaderParams& out);
    int WriteParams(const ReaderParams& in);
    // Writes only the blocks of kParamBlocks whose bit (1 << index) is set in `blocks`, in the
    // usual order; WriteParams writes them all.
    static constexpr unsigned kAllParamBlocks = (1u << kParamBlockCount) - 1;
    int WriteParamBlocks(const ReaderParams& in, unsigned blocks);
    int StartTagCollection();

    // For callers that must not lose a report (tesmarle-cli tags): records stay in the store
    // until taken, also across Stop and the end of the receive thread, and the tag frames that
    // a reply read passes over, or that follow the answer in it, become records too. Off by
    // default: the store is then emptied as the dialogs expect.
    void KeepEveryTagReport(bool keep) { keepReports = keep; }

    // Asked before every request but Stop: true refuses it with LinkError::Stopped before
    // anything is sent, so that after the user's stop request no block write or Resume goes out,
    // while the Stop that leaves the reader at rest still does. Called on the caller's thread.
    void SetStopCheck(std::function<bool()> stopRequested) { stopCheck = std::move(stopRequested); }

    LinkError LastError() const { return lastError; }
    // LastError's text with what the failed operation knew (the refused field, the blocks
    // already written).
    std::string LastErrorText() const { return ToString(lastError, lastErrorDetail); }
    SerialError LastOpenError() const { return lastOpenError; }
    // After WriteParamBlocks failed at a block whose request may have reached the reader, the
    // answer being lost or unclear: that block's index in kParamBlocks (the reader may have
    // written it); -1 otherwise.
    int UncertainBlock() const { return uncertainBlock; }
    // True while a receive thread has been started and not yet joined.
    bool ReceiveThreadStarted() const { return receiveThread.joinable(); }
    // True when the receive thread's last read failed (the port went away, for instance).
    bool ReceiveReadFailed() const { return receiveReadFailed; }

  private:
    int Fail(LinkError error);
    void ClearError();
    int StatusExchange(std::uint8_t code);
    // Takes portMutex, waking the receive thread's read first.
    bool LockPort(std::unique_lock<TimedRecursiveMutex>& lock);
    // Takes portMutex, purges the port outside tag collection, then writes the request; the lock
    // stays held for the reply.
    bool LockAndSend(std::unique_lock<TimedRecursiveMutex>& lock, ReaderFrame& request);
    bool Collecting() const;
    void JoinReceiveThread();
    void ReceiveThreadProc(int fill);
    // Stores the tag frames among the first `fill` bytes of receiveBuffer and moves the unfinished
    // rest to its start; returns the bytes kept.
    int ScanReceived(int fill);
    void ClearTagStore();
    void StoreTagRecord(const std::uint8_t* id);
    // Bytes the receive thread asks for when it holds `fill`.
    int ReadLimit(int fill) const;
    // Judges the reply bytes from replyPos on, taking each frame that is complete; with `final`
    // the bytes that never completed a frame are passed over too.
    struct ReplyJudgement;
    void JudgeReplyBytes(std::uint8_t code, bool final, ReplyJudgement& judgement);

    std::atomic<int> stopRequested{0};
    std::array<std::uint8_t, kBufferSize> receiveBuffer{};
    std::array<std::uint8_t, kTagStoreSize> tagRecords{};
    int tagCount = 0;
    int replyCount = 0;
    int replyPos = 0;
    std::array<std::uint8_t, kSendBufferSize> sendBuffer{};
    std::array<std::uint8_t, kBufferSize> replyBuffer{};
    std::unique_ptr<SerialPort> port;
    TimedRecursiveMutex portMutex;
    std::thread receiveThread;
    TimedRecursiveMutex tagMutex;  // never taken twice by one thread

    SleepFunction sleep;
    std::function<bool()> stopCheck;
    // Commands waiting for portMutex: the receive thread steps back so that they get it.
    std::atomic<int> portWaiters{0};
    std::atomic<bool> receiveReadFailed{false};
    bool keepReports = false;
    // The start of a tag frame cut off by the end of a reply read, handed to the next receive
    // thread when it starts. Used by the caller's thread only.
    std::array<std::uint8_t, kTagFrameSize> carried{};
    int carriedCount = 0;
    LinkError lastError = LinkError::None;
    std::string lastErrorDetail;
    int uncertainBlock = -1;
    SerialError lastOpenError = SerialError::None;
};

}  // namespace uhf
