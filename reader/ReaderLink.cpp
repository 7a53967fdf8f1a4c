#include "reader/ReaderLink.h"

#include <algorithm>
#include <cstring>

#include "reader/ParamBlocks.h"
#include "reader/ReplyRecognition.h"
#include "reader/TagFrameScanner.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

namespace {

// A port that fails at once would otherwise keep the receive thread spinning.
constexpr std::chrono::milliseconds kFailedReadPause{100};
// How long the receive thread steps back while a command waits for the port.
constexpr std::chrono::milliseconds kYieldToCommand{5};

void RealSleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace

ReaderLink::ReaderLink() : ReaderLink(std::make_unique<NativeSerialPort>()) {}

ReaderLink::ReaderLink(std::unique_ptr<SerialPort> port) : ReaderLink(std::move(port), RealSleep) {}

ReaderLink::ReaderLink(std::unique_ptr<SerialPort> serialPort, SleepFunction sleepFunction)
    : port(std::move(serialPort)), sleep(std::move(sleepFunction)) {
    if (!port) {
        port = std::make_unique<NativeSerialPort>();
    }
    if (!sleep) {
        sleep = RealSleep;
    }
}

ReaderLink::~ReaderLink() {
    Close();
}

int ReaderLink::Fail(LinkError error) {
    lastError = error;
    return 0;
}

int ReaderLink::Open(const std::string& portName, int baudRate) {
    Close();
    lastOpenError = port->Open(portName, baudRate);
    if (lastOpenError != SerialError::None) {
        // Nothing stays half open: the port was closed by the failed open.
        port->Close();
        return Fail(LinkError::OpenFailed);
    }
    lastError = LinkError::None;
    return 1;
}

void ReaderLink::Close() {
    JoinReceiveThread();
    port->Close();
    replyCount = 0;
    replyPos = 0;
}

bool ReaderLink::IsOpen() const {
    return port->IsOpen();
}

void ReaderLink::JoinReceiveThread() {
    stopRequested = 1;
    if (receiveThread.joinable()) {
        receiveThread.join();
    }
}

bool ReaderLink::LockPort(std::unique_lock<TimedRecursiveMutex>& lock) {
    ++portWaiters;
    const bool taken = lock.try_lock_for(kCommandLockWait);
    --portWaiters;
    if (!taken) {
        lastError = LinkError::LockTimeout;
    }
    return taken;
}

bool ReaderLink::LockAndSend(std::unique_lock<TimedRecursiveMutex>& lock, ReaderFrame& request) {
    return LockPort(lock) && SendFrame(request) != 0;
}

int ReaderLink::SendFrame(ReaderFrame& frame) {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    int encoded = 0;
    if (frame.Encode(sendBuffer.data(), kSendBufferSize, encoded) == 0) {
        return Fail(LinkError::FrameRefused);
    }
    if (port->Write(sendBuffer.data(), encoded) != encoded) {
        return Fail(LinkError::WriteFailed);
    }
    return 1;
}

int ReaderLink::ReadReplyFrame(ReaderFrame& frame) {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    if (replyCount == 0) {
        replyPos = 0;
        const int got = port->Read(replyBuffer.data(), kReplyReadSize);
        if (got < 0) {
            return Fail(LinkError::PortFailed);
        }
        replyCount = std::min(got, kReplyReadSize);
    }
    while (replyPos < replyCount) {
        int consumed = 0;
        if (RecognizeReply(replyBuffer.data(), replyCount, replyPos, frame, consumed) != 0) {
            replyPos += consumed;
            return 1;
        }
        ++replyPos;
    }
    return Fail(LinkError::NoReply);
}

int ReaderLink::WaitReply(std::uint8_t code, ReaderFrame& frame) {
    sleep(kReplyPause);
    int result = 0;
    while (ReadReplyFrame(frame) != 0) {
        if (frame.command == code || frame.command == kAcknowledgeCode) {
            result = 1;
            break;
        }
    }
    if (keepReports) {
        CollectTagsFromReplyRead();
    }
    // One read per wait: whatever follows the answer, or was never recognised, is dropped.
    replyPos = 0;
    replyCount = 0;
    return result;
}

void ReaderLink::ClearTagStore() {
    std::lock_guard<TimedRecursiveMutex> tags(tagMutex);
    tagCount = 0;
}

int ReaderLink::ReadLimit(int fill) const {
    if (!keepReports) {
        return kBufferSize - fill;
    }
    // What is kept starts a frame: a read that ends on a frame boundary leaves no frame split
    // between this thread and the reply read of a command that takes the port next.
    constexpr int kWholeFrames = kBufferSize / kTagFrameSize * kTagFrameSize;
    return kWholeFrames - fill;
}

void ReaderLink::StoreTagRecord(const std::uint8_t* id) {
    std::lock_guard<TimedRecursiveMutex> tags(tagMutex);
    if (tagCount == kTagSlots) {
        tagCount = 0;
    }
    std::memcpy(tagRecords.data() + tagCount * kTagRecordSize, id, kTagRecordSize);
    ++tagCount;
}

void ReaderLink::CollectTagsFromReplyRead() {
    const int done = ScanTagFrames(replyBuffer.data(), replyCount,
                                   [this](const std::uint8_t* id) { StoreTagRecord(id); });
    // A running thread has its own partial frame; only a thread yet to start takes this one.
    carriedCount = 0;
    if (!receiveThread.joinable() && done < replyCount) {
        carriedCount = replyCount - done;
        std::memcpy(carried.data(), replyBuffer.data() + done,
                    static_cast<std::size_t>(carriedCount));
    }
}

int ReaderLink::StartReceiveThread() {
    // Only one thread may use receiveBuffer: an earlier one ends before a new one starts.
    JoinReceiveThread();
    if (!keepReports) {
        ClearTagStore();
        carriedCount = 0;
    }
    stopRequested = 0;
    receiveReadFailed = false;
    receiveThread = std::thread(&ReaderLink::ReceiveThreadProc, this);
    return 1;
}

void ReaderLink::ReceiveThreadProc() {
    int fill = 0;
    if (keepReports) {
        fill = std::min(carriedCount, kBufferSize);
        std::memcpy(receiveBuffer.data(), carried.data(), static_cast<std::size_t>(fill));
        carriedCount = 0;
    } else {
        ClearTagStore();
    }
    while (stopRequested == 0) {
        if (portWaiters > 0) {
            std::this_thread::sleep_for(kYieldToCommand);
        }
        int got = 0;
        {
            std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
            if (lock.try_lock_for(kThreadLockWait)) {
                got = port->Read(receiveBuffer.data() + fill, ReadLimit(fill));
            }
        }
        receiveReadFailed = got < 0;
        if (got < 0) {
            std::this_thread::sleep_for(kFailedReadPause);
        } else {
            fill += std::min(got, kBufferSize - fill);
        }
        const int done = ScanTagFrames(receiveBuffer.data(), fill,
                                       [this](const std::uint8_t* id) { StoreTagRecord(id); });
        std::memmove(receiveBuffer.data(), receiveBuffer.data() + done,
                     static_cast<std::size_t>(fill - done));
        fill -= done;
    }
    if (!keepReports) {
        ClearTagStore();
    }
}

int ReaderLink::TakeTagRecords(std::uint8_t* destination) {
    if (destination == nullptr) {
        return 0;
    }
    std::unique_lock<TimedRecursiveMutex> tags(tagMutex, std::defer_lock);
    if (!tags.try_lock_for(kTagLockWait)) {
        return Fail(LinkError::LockedOut);
    }
    const int count = tagCount;
    std::memcpy(destination, tagRecords.data(), static_cast<std::size_t>(count) * kTagRecordSize);
    tagCount = 0;
    return count;
}

int ReaderLink::CheckReplyStatus(std::uint8_t code) {
    ReaderFrame reply;
    if (WaitReply(code, reply) == 0) {
        return 0;
    }
    if (!reply.data.empty() && reply.data[0] == 0x00) {
        return 1;
    }
    if (reply.command == kAcknowledgeCode && reply.data.size() >= 2 &&
        reply.data[0] == kAcknowledgeCode && reply.data[1] == kAcknowledgeCode) {
        return 1;
    }
    return Fail(LinkError::StatusRefused);
}

int ReaderLink::StatusExchange(std::uint8_t code) {
    ReaderFrame request;
    if (request.SetCommand(code, nullptr, 0) == 0) {
        return Fail(LinkError::FrameRefused);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    const int result = CheckReplyStatus(code);
    if (result != 0 && code == kStopCode) {
        // Still under portMutex: the lock order is portMutex, then tagMutex.
        if (!keepReports) {
            ClearTagStore();
        }
        stopRequested = 1;
    }
    if (result != 0) {
        lastError = LinkError::None;
    }
    return result;
}

int ReaderLink::Stop() {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    return StatusExchange(kStopCode);
}

int ReaderLink::Resume() {
    return StatusExchange(kResumeCode);
}

int ReaderLink::ReadBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                          std::uint8_t* values) {
    if (values == nullptr) {
        return Fail(LinkError::FrameRefused);
    }
    const std::uint8_t requestData[3] = {length, addressHigh, address};
    ReaderFrame request;
    if (request.SetCommand(kReadBlockCode, requestData, 3) == 0) {
        return Fail(LinkError::FrameRefused);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    ReaderFrame reply;
    if (WaitReply(kReadBlockCode, reply) == 0) {
        return 0;
    }
    if (reply.header != 0xE0) {
        return Fail(LinkError::WrongHeader);
    }
    // Three bytes of the reply come before the values; a reply without all of them fails.
    constexpr std::size_t kSkipped = 3;
    if (reply.data.size() < kSkipped + length) {
        return Fail(LinkError::ShortReply);
    }
    std::copy_n(reply.data.begin() + kSkipped, length, values);
    lastError = LinkError::None;
    return 1;
}

int ReaderLink::WriteBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                           const std::uint8_t* values) {
    // Three bytes of address and length come before the values, in one frame of the send buffer.
    constexpr int kMaxValues = kSendBufferSize - 4 - 3;
    if (length > kMaxValues || (values == nullptr && length > 0)) {
        return Fail(LinkError::FrameRefused);
    }
    std::array<std::uint8_t, 3 + kMaxValues> requestData{};
    requestData[0] = length;
    requestData[1] = addressHigh;
    requestData[2] = address;
    std::copy_n(values, length, requestData.begin() + 3);
    ReaderFrame request;
    if (request.SetCommand(kWriteBlockCode, requestData.data(),
                           static_cast<std::uint8_t>(3 + length)) == 0) {
        return Fail(LinkError::FrameRefused);
    }
    // Normally held already by WriteParams; taking it again costs nothing and keeps a direct
    // caller from racing the receive thread.
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    if (CheckReplyStatus(kWriteBlockCode) == 0) {
        return 0;
    }
    lastError = LinkError::None;
    return 1;
}

int ReaderLink::ReadParams(ReaderParams& out) {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    ReaderParams local;
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockPort(lock)) {
        return 0;
    }
    for (int i = 0; i < kParamBlockCount; ++i) {
        const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(i)];
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        if (ReadBlock(0, block.address, block.readLength, values.data()) == 0) {
            return 0;
        }
        StoreBlock(local, i, values.data());
    }
    out = local;
    lastError = LinkError::None;
    return 1;
}

int ReaderLink::WriteParams(const ReaderParams& in) {
    if (in.IsValid() == 0) {
        return Fail(LinkError::RecordInvalid);
    }
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockPort(lock)) {
        return 0;
    }
    for (int i = 0; i < kParamBlockCount; ++i) {
        const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(i)];
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        LoadBlock(in, i, values.data());
        if (WriteBlock(0, block.address, block.writeLength, values.data()) == 0) {
            return 0;
        }
    }
    lastError = LinkError::None;
    return 1;
}

int ReaderLink::StartTagCollection() {
    (void)Stop();
    if (Resume() == 0) {
        return 0;
    }
    return StartReceiveThread();
}

}  // namespace uhf
