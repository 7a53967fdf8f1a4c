#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "protocol/ReaderFrame.h"
#include "protocol/TagFrameScanner.h"
#include "reader/TimedRecursiveMutex.h"
#include "serial/SerialPort.h"

namespace uhf {

// The receive thread of tag identification and the store it fills. The thread reads the port
// whenever no command holds portMutex and keeps the identifier of every tag frame, in arrival
// order, in 450 slots under tagMutex; a 451st record starts the store again.
class TagCollector {
  public:
    static constexpr int kSlots = 450;
    static constexpr int kRecordSize = 8;
    static constexpr int kStoreSize = kSlots * kRecordSize;  // 3600 bytes
    static constexpr int kBufferSize = 2048;

    // `portMutex` is the one every command takes around its request and reply.
    TagCollector(SerialPort& port, TimedRecursiveMutex& portMutex);
    ~TagCollector() { Join(); }

    // Starts a receive thread, once the one before has ended: on an empty store, or in keep mode
    // on what the store holds and the start of a tag frame that the last reply read cut off.
    void Start();
    // Asks the thread to stop, wakes its read and waits for it to end.
    void Join();
    // After the reader accepted Stop, with portMutex held: empties the store (not in keep mode)
    // and asks the thread to stop after its current pass.
    void End();
    // True while a thread has been started and not yet joined.
    bool Running() const { return thread.joinable(); }
    // True while a thread runs that has not been asked to stop: the port's bytes are its tags.
    bool Collecting() const { return Running() && stopRequested == 0; }
    // Copies the records to `destination` (kStoreSize bytes at least) and empties the store;
    // nothing when tagMutex stayed taken for 1000 ms.
    std::optional<int> Take(std::uint8_t* destination);

    // Around a command's wait for portMutex: the thread's read is woken, and the thread steps
    // back until the command has the port.
    void CommandWaitBegins();
    void CommandWaitEnds() { --portWaiters; }

    // For callers that must not lose a report; see ReaderLink::KeepEveryTagReport.
    void KeepEveryReport(bool keep) { keepReports = keep; }
    // Keep mode: a tag frame that a reply read passed over becomes a record.
    void PassedOver(const ReaderFrame& frame);
    // Keep mode, no thread running: keeps the unfinished tag frame at the end of the `count`
    // bytes of a reply read for the next thread. Forgets what it kept before in any case.
    void CarryUnfinished(const std::uint8_t* bytes, int count);
    // True when the thread's last read failed (the port went away, for instance).
    bool ReadFailed() const { return readFailed; }

  private:
    void Run(int fill);
    // Stores the tag frames among the first `fill` bytes of receiveBuffer and moves the unfinished
    // rest to its start; returns the bytes kept.
    int ScanReceived(int fill);
    void ClearStore();
    void Store(const std::uint8_t* id);
    // Bytes the thread asks for when it holds `fill`.
    int ReadLimit(int fill) const;

    SerialPort& port;
    TimedRecursiveMutex& portMutex;
    std::atomic<int> stopRequested{0};
    std::array<std::uint8_t, kBufferSize> receiveBuffer{};
    std::array<std::uint8_t, kStoreSize> tagRecords{};
    int tagCount = 0;
    TimedRecursiveMutex tagMutex;  // never taken twice by one thread
    std::thread thread;
    // Commands waiting for portMutex: the thread steps back so that they get it.
    std::atomic<int> portWaiters{0};
    std::atomic<bool> readFailed{false};
    bool keepReports = false;
    // The start of a tag frame cut off by the end of a reply read, handed to the next thread when
    // it starts. Used by the caller's thread only.
    std::array<std::uint8_t, kTagFrameSize> carried{};
    int carriedCount = 0;
};

}  // namespace uhf
