#include "reader/ReplyExchange.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "protocol/ReplyRecognition.h"

namespace uhf {

namespace {

constexpr std::chrono::milliseconds kCommandLockWait{3000};

bool AnswersCode(std::uint8_t command, std::uint8_t code) {
    return command == code || command == Byte(ReaderCode::Acknowledge);
}

// A status reply succeeds with status "done", whatever its header and command byte, or as the
// acknowledgement 88 88.
bool CheckReplyStatus(const ReaderFrame& reply) {
    const std::vector<std::uint8_t>& data = reply.data;
    constexpr std::uint8_t kAck = Byte(ReaderCode::Acknowledge);
    return (!data.empty() && data[0] == kStatusDone) ||
           (reply.command == kAck && data.size() >= 2 && data[0] == kAck && data[1] == kAck);
}

}  // namespace

ReplyExchange::ReplyExchange(SerialPort& serialPort, TimedRecursiveMutex& commandMutex,
                             TagCollector& collector, SleepFunction sleepFunction)
    : port(serialPort), portMutex(commandMutex), tags(collector), sleep(std::move(sleepFunction)) {}

std::optional<ReplyExchange::PortLock> ReplyExchange::LockPort() {
    PortLock lock(portMutex, std::defer_lock);
    tags.CommandWaitBegins();
    const bool taken = lock.try_lock_for(kCommandLockWait);
    tags.CommandWaitEnds();
    if (!taken) {
        return std::nullopt;
    }
    // A wake meant for the thread that found it between reads must not cut this command's read.
    port.ClearWake();
    return lock;
}

LinkError ReplyExchange::Request(std::uint8_t code, std::span<const std::uint8_t> data,
                                 ReaderFrame& reply) {
    // Framed before anything else happens: a request that does not fit the send buffer goes
    // nowhere, and the port keeps what it holds.
    ReaderFrame request;
    std::optional<std::size_t> size;
    if (data.size() < kSendBufferSize &&
        request.SetCommand(code, data.empty() ? nullptr : data.data(),
                           static_cast<std::uint8_t>(data.size()))) {
        size = request.Encode(sendBuffer);
    }
    if (!size) {
        return LinkError::FrameRefused;
    }
    if (stopCheck && code != Byte(ReaderCode::Stop) && stopCheck()) {
        return LinkError::Stopped;
    }
    const std::optional<PortLock> lock = LockPort();
    if (!lock) {
        return LinkError::LockTimeout;
    }
    if (!port.IsOpen()) {
        return LinkError::NotOpen;
    }
    // Whatever the port holds now (a late copy of an earlier reply, tags of a reader that was
    // working) would be taken for this request's answer. During collection the bytes belong to
    // the receive thread's tags.
    if (!tags.Collecting()) {
        port.Purge();
    }
    const int encoded = static_cast<int>(*size);
    const int written = port.Write(sendBuffer.data(), encoded);
    if (written < 0) {
        return LinkError::PortFailed;  // the device went away, no time-out
    }
    if (written != encoded) {
        return LinkError::WriteFailed;
    }
    return WaitReply(code, reply);
}

LinkError ReplyExchange::StatusRequest(std::uint8_t code, std::span<const std::uint8_t> data) {
    ReaderFrame reply;
    const LinkError error = Request(code, data, reply);
    if (error != LinkError::None) {
        return error;
    }
    return CheckReplyStatus(reply) ? LinkError::None : LinkError::StatusRefused;
}

struct ReplyExchange::ReplyJudgement {
    ReaderFrame* answer = nullptr;
    std::vector<std::uint8_t> answerBytes;  // empty until an answering frame was taken
    bool conflicting = false;
    bool badChecksum = false;
};

void ReplyExchange::JudgeReplyBytes(std::uint8_t code, bool final, ReplyJudgement& judgement) {
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
            if (whole && AnswersCode(bytes[replyPos + 2], code)) {
                judgement.badChecksum = true;
            }
            ++replyPos;
            continue;
        }
        const std::uint8_t* start = bytes + replyPos;
        replyPos += consumed;
        if (!AnswersCode(frame.command, code)) {
            tags.PassedOver(frame);
        } else if (judgement.answerBytes.empty()) {
            judgement.answerBytes.assign(start, start + consumed);
            *judgement.answer = std::move(frame);
        } else if (!std::equal(start, start + consumed, judgement.answerBytes.begin(),
                               judgement.answerBytes.end())) {
            judgement.conflicting = true;
        }
    }
}

LinkError ReplyExchange::WaitReply(std::uint8_t code, ReaderFrame& reply) {
    sleep(kReplyPause);
    if (!port.IsOpen()) {
        return LinkError::NotOpen;
    }
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(SerialPort::ReadTotalTimeoutMs(kReplyReadSize));
    ReplyJudgement judgement;
    judgement.answer = &reply;
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
        const int got = port.Read(replyBuffer.data() + replyCount, room);
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
    tags.CarryUnfinished(replyBuffer.data() + replyPos, failed ? 0 : replyCount - replyPos);
    JudgeReplyBytes(code, true, judgement);
    // Whatever follows the answer, or was never recognised, is dropped.
    replyPos = 0;
    replyCount = 0;
    if (judgement.conflicting) {
        return LinkError::Conflicting;
    }
    if (!judgement.answerBytes.empty()) {
        return LinkError::None;
    }
    if (failed) {
        return LinkError::PortFailed;
    }
    return judgement.badChecksum ? LinkError::BadChecksum : LinkError::NoReply;
}

}  // namespace uhf
