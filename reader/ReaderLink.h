#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "reader/LinkError.h"
#include "reader/ParamBlocks.h"
#include "reader/ReaderParams.h"
#include "reader/ReplyExchange.h"
#include "reader/TagCollector.h"
#include "reader/TimedRecursiveMutex.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

namespace uhf {

// The reader's serial link and its commands. Operations return true for success; LastError()
// (and LastOpenError() after a failed Open) says why not. Every request goes through the one
// ReplyExchange; the TagCollector runs the receive thread and keeps the tag store.
//
// Threading contract:
// - One caller thread (the user-interface thread) runs Open, Close, every command and
//   TakeTagRecords. The link is not meant to be driven from two caller threads at once.
// - At most one receive thread (the TagCollector's) runs, from StartTagCollection until it sees
//   its stop request, which it checks between reads and again after taking portMutex. It holds
//   portMutex (waiting at most 1000 ms) for one read and the scan of what it read, storing tag
//   records under tagMutex meanwhile; it touches no other state.
// - A command holds portMutex (re-entrant, waited for at most 3000 ms) from before its request
//   until its reply has been read; ReadParams and WriteParams hold it across all seven exchanges,
//   Stop across its exchange and the end of collection. A command that waits for portMutex wakes
//   the receive thread's read; the thread finishes the tag frame under way and lets the command in.
// - Lock order: portMutex, then tagMutex.
// - Close, the destructor and StartTagCollection ask the receive thread to stop, wake its read
//   and join it before anything it uses is closed or reused.
// - Outside tag collection, each request is preceded by a purge of what the port holds.
class ReaderLink {
  public:
    static constexpr int kTagSlots = TagCollector::kSlots;
    static constexpr int kTagRecordSize = TagCollector::kRecordSize;
    static constexpr int kTagStoreSize = TagCollector::kStoreSize;  // 3600 bytes

    using SleepFunction = ReplyExchange::SleepFunction;

    // On the machine's own serial port unless given one; `sleep` makes the pause before each
    // reply read (tests pass one that does not sleep).
    explicit ReaderLink(std::unique_ptr<SerialPort> port = nullptr, SleepFunction sleep = {});
    ~ReaderLink() { Close(); }
    ReaderLink(const ReaderLink&) = delete;
    ReaderLink& operator=(const ReaderLink&) = delete;

    // Link.
    bool Open(const std::string& portName, int baudRate);
    void Close();
    bool IsOpen() const { return port->IsOpen(); }
    // `destination` holds at least kTagStoreSize bytes; returns the records copied.
    int TakeTagRecords(std::uint8_t* destination);

    // Commands.
    bool Stop();
    bool Resume();
    bool ReadBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                   std::uint8_t* values);
    bool WriteBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                    const std::uint8_t* values);
    bool ReadParams(ReaderParams& out);
    // Writes the blocks of kParamBlocks whose bit (1 << index) is set in `blocks`, in the usual
    // order: all of them unless told.
    static constexpr unsigned kAllParamBlocks = (1u << kParamBlockCount) - 1;
    bool WriteParams(const ReaderParams& in, unsigned blocks = kAllParamBlocks);
    // Stop, then Resume, which must succeed, then the receive thread.
    bool StartTagCollection();

    // For callers that must not lose a report (tesmarle-cli tags): records stay in the store
    // until taken, also across Stop and the end of the receive thread, and the tag frames that
    // a reply read passes over, or that follow the answer in it, become records too. Off by
    // default: the store is then emptied as the dialogs expect.
    void KeepEveryTagReport(bool keep) { tags.KeepEveryReport(keep); }

    // Asked before every request but Stop: true refuses it with LinkError::Stopped before
    // anything is sent, so that after the user's stop request no block write or Resume goes out,
    // while the Stop that leaves the reader at rest still does. Called on the caller's thread.
    void SetStopCheck(std::function<bool()> stopRequested) {
        exchange.SetStopCheck(std::move(stopRequested));
    }

    LinkError LastError() const { return lastError; }
    // LastError's text with what the failed operation knew (the refused field, the blocks
    // already written).
    std::string LastErrorText() const { return ToString(lastError, lastErrorDetail); }
    SerialError LastOpenError() const { return lastOpenError; }
    // After WriteParams failed at a block whose request may have reached the reader, the
    // answer being lost or unclear: that block's index in kParamBlocks (the reader may have
    // written it); -1 otherwise.
    int UncertainBlock() const { return uncertainBlock; }
    // True while a receive thread has been started and not yet joined.
    bool ReceiveThreadStarted() const { return tags.Running(); }
    // True when the receive thread's last read failed (the port went away, for instance).
    bool ReceiveReadFailed() const { return tags.ReadFailed(); }

  private:
    // Keeps `error` as the last one (LinkError::None clears it); true when there is none.
    bool Done(LinkError error, std::string detail = {});

    std::unique_ptr<SerialPort> port;
    TimedRecursiveMutex portMutex;
    TagCollector tags;
    ReplyExchange exchange;
    LinkError lastError = LinkError::None;
    std::string lastErrorDetail;
    int uncertainBlock = -1;
    SerialError lastOpenError = SerialError::None;
};

}  // namespace uhf
