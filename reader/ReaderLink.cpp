#include "reader/ReaderLink.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ReplyRecognition.h"
#include "protocol/TagFrameScanner.h"
#include "reader/ParamBlocks.h"
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

void ReaderLink::ClearError() {
    lastError = LinkError::None;
    lastErrorDetail.clear();
}

int ReaderLink::Fail(LinkError error) {
    lastError = error;
    lastErrorDetail.clear();
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
    ClearError();
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
        port->Wake();
        receiveThread.join();
    }
}

bool ReaderLink::Collecting() const {
    return receiveThread.joinable() && stopRequested == 0;
}

bool ReaderLink::LockPort(std::unique_lock<TimedRecursiveMutex>& lock) {
    ++portWaiters;
    if (receiveThread.joinable()) {
        port->Wake();
    }
    const bool taken = lock.try_lock_for(kCommandLockWait);
    --portWaiters;
    if (!taken) {
        return Fail(LinkError::LockTimeout) != 0;
    }
    // A wake meant for the thread that found it between reads must not cut this command's read.
    port->ClearWake();
    return true;
}

bool ReaderLink::LockAndSend(std::unique_lock<TimedRecursiveMutex>& lock, ReaderFrame& request) {
    if (stopCheck && request.command != Byte(ReaderCode::Stop) && stopCheck()) {
        return Fail(LinkError::Stopped) != 0;
    }
    if (!LockPort(lock)) {
        return false;
    }
    // Whatever the port holds now (a late copy of an earlier reply, tags of a reader that was
    // working) would be taken for this request's answer. During collection the bytes belong to
    // the receive thread's tags.
    if (IsOpen() && !Collecting()) {
        port->Purge();
    }
    return SendFrame(request) != 0;
}

int ReaderLink::SendFrame(ReaderFrame& frame) {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    const std::optional<std::size_t> size = frame.Encode(sendBuffer);
    if (!size) {
        return Fail(LinkError::FrameRefused);
    }
    const int encoded = static_cast<int>(*size);
    const int written = port->Write(sendBuffer.data(), encoded);
    if (written < 0) {
        return Fail(LinkError::PortFailed);  // the device went away, no time-out
    }
    if (written != encoded) {
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
        if (RecognizeReply(replyBuffer.data(), replyCount, replyPos, frame, consumed)) {
            replyPos += consumed;
            return 1;
        }
        ++replyPos;
    }
    return Fail(LinkError::NoReply);
}

struct ReaderLink::ReplyJudgement {
    ReaderFrame* answer = nullptr;
    std::vector<std::uint8_t> answerBytes;  // empty until an answering frame was taken
    bool conflicting = false;
    bool badChecksum = false;
};

namespace {

bool IsTagReply(const ReaderFrame& frame) {
    return frame.header == kReplyHeader && frame.command == Byte(ReaderCode::TagReport) &&
           frame.data.size() == static_cast<std::size_t>(kTagFrameSize - 4);
}

}  // namespace

void ReaderLink::JudgeReplyBytes(std::uint8_t code, bool final, ReplyJudgement& judgement) {
    const std::uint8_t* bytes = replyBuffer.data();
    while (replyPos < replyCount) {
        const int needed = ReplyBytesNeeded(bytes, replyCount, replyPos);
        if (!final && replyPos + needed > replyCount) {
            return;  // the rest of this frame may still come
        }
        ReaderFrame frame;
        int consumed = 0;
        if (!RecognizeReply(bytes, replyCount, replyPos, frame, consumed)) {
            const bool whole = replyPos + needed <= replyCount && needed > 1;
            if (whole && (bytes[replyPos + 2] == code ||
                          bytes[replyPos + 2] == Byte(ReaderCode::Acknowledge))) {
                judgement.badChecksum = true;
            }
            ++replyPos;
            continue;
        }
        const std::uint8_t* start = bytes + replyPos;
        replyPos += consumed;
        if (frame.command == code || frame.command == Byte(ReaderCode::Acknowledge)) {
            if (judgement.answerBytes.empty()) {
                judgement.answerBytes.assign(start, start + consumed);
                *judgement.answer = std::move(frame);
            } else if (!std::equal(start, start + consumed, judgement.answerBytes.begin(),
                                   judgement.answerBytes.end())) {
                judgement.conflicting = true;
            }
        } else if (keepReports && IsTagReply(frame)) {
            StoreTagRecord(frame.data.data() + (kTagIdOffset - 3));
        }
    }
}

int ReaderLink::WaitReply(std::uint8_t code, ReaderFrame& frame) {
    sleep(kReplyPause);
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(SerialPort::ReadTotalTimeoutMs(kReplyReadSize));
    ReplyJudgement judgement;
    judgement.answer = &frame;
    replyCount = 0;
    replyPos = 0;
    bool failed = false;
    for (;;) {
        // What has been judged goes: the buffer keeps at most one frame still arriving.
        std::memmove(replyBuffer.data(), replyBuffer.data() + replyPos,
                     static_cast<std::size_t>(replyCount - replyPos));
        replyCount -= replyPos;
        replyPos = 0;
        const int room = std::min(kReplyReadSize, kBufferSize - replyCount);
        const int got = port->Read(replyBuffer.data() + replyCount, room);
        if (got < 0) {
            failed = true;
            break;
        }
        replyCount += std::min(got, room);
        JudgeReplyBytes(code, false, judgement);
        // A silent read lasted its whole time-out: the answer's time is over.
        if (!judgement.answerBytes.empty() || got == 0 ||
            std::chrono::steady_clock::now() >= limit) {
            break;
        }
    }
    // Keep mode: an unfinished tag frame at the end goes to a receive thread about to start.
    carriedCount = 0;
    if (keepReports && !receiveThread.joinable() && !failed) {
        const int tail = replyCount - replyPos;
        const int done = ScanTagFrames(replyBuffer.data() + replyPos, tail, [](const auto*) {});
        carriedCount = std::min(tail - done, kTagFrameSize - 1);
        std::memcpy(carried.data(), replyBuffer.data() + replyCount - carriedCount,
                    static_cast<std::size_t>(carriedCount));
    }
    JudgeReplyBytes(code, true, judgement);
    // Whatever follows the answer, or was never recognised, is dropped.
    replyPos = 0;
    replyCount = 0;
    if (judgement.conflicting) {
        return Fail(LinkError::Conflicting);
    }
    if (!judgement.answerBytes.empty()) {
        return 1;
    }
    if (failed) {
        return Fail(LinkError::PortFailed);
    }
    return Fail(judgement.badChecksum ? LinkError::BadChecksum : LinkError::NoReply);
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
    // between this thread and the reply read of a command that takes the port next. A few frames
    // a read: while tags follow each other closer than the 50 ms gap, a read of the whole buffer
    // lasts its total time-out (about 2 s) before any of them reaches the store.
    constexpr int kWholeFrames = 4 * kTagFrameSize;
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

int ReaderLink::StartReceiveThread() {
    // Only one thread may use receiveBuffer: an earlier one ends before a new one starts.
    JoinReceiveThread();
    int fill = 0;
    if (keepReports) {
        // Handed over here, before the thread exists: the thread never touches `carried`.
        fill = carriedCount;
        std::memcpy(receiveBuffer.data(), carried.data(), static_cast<std::size_t>(fill));
    } else {
        ClearTagStore();
    }
    carriedCount = 0;
    stopRequested = 0;
    receiveReadFailed = false;
    receiveThread = std::thread(&ReaderLink::ReceiveThreadProc, this, fill);
    return 1;
}

int ReaderLink::ScanReceived(int fill) {
    const int done = ScanTagFrames(receiveBuffer.data(), fill,
                                   [this](const std::uint8_t* id) { StoreTagRecord(id); });
    std::memmove(receiveBuffer.data(), receiveBuffer.data() + done,
                 static_cast<std::size_t>(fill - done));
    return fill - done;
}

void ReaderLink::ReceiveThreadProc(int fill) {
    if (!keepReports) {
        ClearTagStore();
    }
    while (stopRequested == 0) {
        if (portWaiters > 0) {
            std::this_thread::sleep_for(kYieldToCommand);
        }
        std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
        if (!lock.try_lock_for(kThreadLockWait)) {
            continue;
        }
        // A Stop or Close may have come while this thread waited for the port.
        if (stopRequested != 0) {
            break;
        }
        const int got = port->Read(receiveBuffer.data() + fill, ReadLimit(fill));
        receiveReadFailed = got < 0;
        if (got > 0) {
            fill = ScanReceived(fill + std::min(got, kBufferSize - fill));
        }
        // A command waits (it woke the read): finish the tag frame under way first, so that its
        // last bytes do not end in the command's reply read. A wake still pending may cut the
        // first try short.
        for (int attempt = 0;
             attempt < 2 && got >= 0 && fill > 0 && portWaiters > 0 && stopRequested == 0;
             ++attempt) {
            const int more = port->Read(receiveBuffer.data() + fill, kTagFrameSize - fill);
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
    if (!reply.data.empty() && reply.data[0] == kStatusDone) {
        return 1;
    }
    if (reply.command == Byte(ReaderCode::Acknowledge) && reply.data.size() >= 2 &&
        reply.data[0] == Byte(ReaderCode::Acknowledge) &&
        reply.data[1] == Byte(ReaderCode::Acknowledge)) {
        return 1;
    }
    return Fail(LinkError::StatusRefused);
}

int ReaderLink::StatusExchange(std::uint8_t code) {
    ReaderFrame request;
    if (!request.SetCommand(code, nullptr, 0)) {
        return Fail(LinkError::FrameRefused);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    const int result = CheckReplyStatus(code);
    if (result != 0 && code == Byte(ReaderCode::Stop)) {
        // Still under portMutex: the lock order is portMutex, then tagMutex.
        if (!keepReports) {
            ClearTagStore();
        }
        stopRequested = 1;
    }
    if (result != 0) {
        ClearError();
    }
    return result;
}

int ReaderLink::Stop() {
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    return StatusExchange(Byte(ReaderCode::Stop));
}

int ReaderLink::Resume() {
    return StatusExchange(Byte(ReaderCode::Resume));
}

int ReaderLink::ReadBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                          std::uint8_t* values) {
    if (values == nullptr) {
        return Fail(LinkError::FrameRefused);
    }
    const std::vector<std::uint8_t> requestData =
        EncodeBlockRequestData(length, addressHigh, address);
    ReaderFrame request;
    if (!request.SetCommand(Byte(ReaderCode::ReadBlock), requestData.data(),
                            static_cast<std::uint8_t>(requestData.size()))) {
        return Fail(LinkError::FrameRefused);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    ReaderFrame reply;
    if (WaitReply(Byte(ReaderCode::ReadBlock), reply) == 0) {
        return 0;
    }
    if (reply.header != kReplyHeader) {
        return Fail(LinkError::WrongHeader);
    }
    // The block's head comes before the values; a reply without all of them fails.
    if (reply.data.size() < kBlockHeadSize + length) {
        return Fail(LinkError::ShortReply);
    }
    std::copy_n(reply.data.begin() + kBlockHeadSize, length, values);
    ClearError();
    return 1;
}

int ReaderLink::WriteBlock(std::uint8_t addressHigh, std::uint8_t address, std::uint8_t length,
                           const std::uint8_t* values) {
    // The block's head comes before the values, in one frame of the send buffer.
    constexpr int kMaxValues = kSendBufferSize - static_cast<int>(kFrameOverhead + kBlockHeadSize);
    if (length > kMaxValues || (values == nullptr && length > 0)) {
        return Fail(LinkError::FrameRefused);
    }
    const std::vector<std::uint8_t> requestData =
        EncodeBlockRequestData(length, addressHigh, address, values);
    ReaderFrame request;
    if (!request.SetCommand(Byte(ReaderCode::WriteBlock), requestData.data(),
                            static_cast<std::uint8_t>(requestData.size()))) {
        return Fail(LinkError::FrameRefused);
    }
    // Normally held already by WriteParams; taking it again costs nothing and keeps a direct
    // caller from racing the receive thread.
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockAndSend(lock, request)) {
        return 0;
    }
    if (CheckReplyStatus(Byte(ReaderCode::WriteBlock)) == 0) {
        return 0;
    }
    ClearError();
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
    ClearError();
    return 1;
}

int ReaderLink::WriteParams(const ReaderParams& in) {
    return WriteParamBlocks(in, kAllParamBlocks);
}

int ReaderLink::WriteParamBlocks(const ReaderParams& in, unsigned blocks) {
    uncertainBlock = -1;
    if (in.IsValid() == 0) {
        Fail(LinkError::RecordInvalid);
        lastErrorDetail = in.Refusal();
        return 0;
    }
    if (!IsOpen()) {
        return Fail(LinkError::NotOpen);
    }
    std::unique_lock<TimedRecursiveMutex> lock(portMutex, std::defer_lock);
    if (!LockPort(lock)) {
        return 0;
    }
    std::string written;
    for (int i = 0; i < kParamBlockCount; ++i) {
        if ((blocks & (1u << i)) == 0) {
            continue;
        }
        const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(i)];
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        LoadBlock(in, i, values.data());
        if (WriteBlock(0, block.address, block.writeLength, values.data()) == 0) {
            // Nothing is rolled back, nor sent again: say what the reader now holds, as far as
            // that is known. A request whose answer was lost may have been carried out.
            const std::string at = "the block at address " + std::to_string(block.address);
            const bool unanswered =
                lastError == LinkError::NoReply || lastError == LinkError::PortFailed;
            if (unanswered || lastError == LinkError::BadChecksum ||
                lastError == LinkError::Conflicting) {
                uncertainBlock = i;
                lastErrorDetail =
                    (unanswered
                         ? "the reader did not answer the write of " + at + " and"
                         : "the reader's answer to the write of " + at + " was unclear, and it") +
                    " may have written it" +
                    (written.empty() ? "" : " (already written: the blocks at " + written + ")");
            } else {
                lastErrorDetail =
                    "at " + at +
                    (written.empty() ? " (no block written)"
                                     : " (already written: the blocks at " + written + ")");
            }
            return 0;
        }
        written += (written.empty() ? "" : ", ") + std::to_string(block.address);
    }
    ClearError();
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
