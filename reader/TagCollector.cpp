#include "reader/TagCollector.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace uhf {

namespace {

constexpr std::chrono::milliseconds kPortLockWait{1000};
constexpr std::chrono::milliseconds kTagLockWait{1000};
// A port that fails at once would otherwise keep the thread spinning.
constexpr std::chrono::milliseconds kFailedReadPause{100};
// How long the thread steps back while a command waits for the port.
constexpr std::chrono::milliseconds kYieldToCommand{5};

}  // namespace

TagCollector::TagCollector(SerialPort& serialPort, TimedRecursiveMutex& commandMutex)
    : port(serialPort), portMutex(commandMutex) {}

void TagCollector::Join() {
    stopRequested = 1;
    if (thread.joinable()) {
        port.Wake();
        thread.join();
    }
}

void TagCollector::Start() {
    // Only one thread may use receiveBuffer: an earlier one ends before a new one starts.
    Join();
    int fill = 0;
    if (keepReports) {
        // Handed over here, before the thread exists: the thread never touches `carried`.
        fill = carriedCount;
        std::memcpy(receiveBuffer.data(), carried.data(), static_cast<std::size_t>(fill));
    } else {
        ClearStore();
    }
    carriedCount = 0;
    stopRequested = 0;
    readFailed = false;
    thread = std::thread(&TagCollector::Run, this, fill);
}

void TagCollector::End() {
    if (!keepReports) {
        ClearStore();
    }
    stopRequested = 1;
}

void TagCollector::CommandWaitBegins() {
    ++portWaiters;
    if (Running()) {
        port.Wake();
    }
}

void TagCollector::PassedOver(const ReaderFrame& frame) {
    if (keepReports && frame.header == kReplyHeader &&
        frame.command == Byte(ReaderCode::TagReport) &&
        frame.data.size() == static_cast<std::size_t>(kTagFrameSize - 4)) {
        Store(frame.data.data() + (kTagIdOffset - 3));
    }
}

void TagCollector::CarryUnfinished(const std::uint8_t* bytes, int count) {
    carriedCount = 0;
    if (!keepReports || Running()) {
        return;
    }
    const int done = ScanTagFrames(bytes, count, [](const auto*) {});
    carriedCount = std::min(count - done, kTagFrameSize - 1);
    std::memcpy(carried.data(), bytes + count - carriedCount,
                static_cast<std::size_t>(carriedCount));
}

void TagCollector::ClearStore() {
    std::lock_guard<TimedRecursiveMutex> tags(tagMutex);
    tagCount = 0;
}

void TagCollector::Store(const std::uint8_t* id) {
    std::lock_guard<TimedRecursiveMutex> tags(tagMutex);
    if (tagCount == kSlots) {
        tagCount = 0;
    }
    std::memcpy(tagRecords.data() + tagCount * kRecordSize, id, kRecordSize);
    ++tagCount;
}

std::optional<int> TagCollector::Take(std::uint8_t* destination) {
    std::unique_lock<TimedRecursiveMutex> tags(tagMutex, std::defer_lock);
    if (!tags.try_lock_for(kTagLockWait)) {
        return std::nullopt;
    }
    const int count = tagCount;
    std::memcpy(destination, tagRecords.data(), static_cast<std::size_t>(count) * kRecordSize);
    tagCount = 0;
    return count;
}

int TagCollector::ReadLimit(int fill) const {
    if (!keepReports) {
        return kBufferSize - fill;
    }
    // What is kept starts a frame: a read that ends on a frame boundary leaves no frame split
    // between this thread and the reply read of a command that takes the port next. A few frames
    // a read: while tags follow each other closer than the 50 ms gap, a read of the whole buffer
    // lasts its total time-out (about 2 s) before any of them reaches the store.
    constexpr int kWholeFrames = 4 * kTagFrameSize;
    return kWholeFrames - fill;
}

int TagCollector::ScanReceived(int fill) {
    const int done =
        ScanTagFrames(receiveBuffer.data(), fill, [this](const std::uint8_t* id) { Store(id); });
    std::memmove(receiveBuffer.data(), receiveBuffer.data() + done,
                 static_cast<std::size_t>(fill - done));
    return fill - done;
}

void TagCollector::Run(int fill) {
    if (!keepReports) {
        ClearStore();
    }
    while (stopRequested == 0) {
        if (portWaiters > 0) {
            std::this_thread::sleep_for(kYieldToCommand);
        }
        std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
        if (!lock.try_lock_for(kPortLockWait)) {
            continue;
        }
        // A Stop or Close may have come while this thread waited for the port.
        if (stopRequested != 0) {
            break;
        }
        const int got = port.Read(receiveBuffer.data() + fill, ReadLimit(fill));
        readFailed = got < 0;
        if (got > 0) {
            fill = ScanReceived(fill + std::min(got, kBufferSize - fill));
        }
        // A command waits (it woke the read): finish the tag frame under way first, so that its
        // last bytes do not end in the command's reply read. A wake still pending may cut the
        // first try short.
        for (int attempt = 0;
             attempt < 2 && got >= 0 && fill > 0 && portWaiters > 0 && stopRequested == 0;
             ++attempt) {
            const int more = port.Read(receiveBuffer.data() + fill, kTagFrameSize - fill);
            if (more < 0) {
                break;
            }
            fill = ScanReceived(fill + more);
        }
        lock.unlock();
        if (got < 0) {
            std::this_thread::sleep_for(kFailedReadPause);
        }
    }
    if (!keepReports) {
        ClearStore();
    }
}

}  // namespace uhf
