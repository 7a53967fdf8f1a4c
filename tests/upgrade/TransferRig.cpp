#include "TransferRig.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace uhf {

Bytes TransferRig::Pattern(int size) {
    Bytes bytes(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

std::string TransferRig::UseImage(int size, const std::string& name) {
    const std::string file = folder.PathOf(name);
    const Bytes bytes = Pattern(size);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    out.close();
    path = file;
    return file;
}

void TransferRig::RunUntil(ManualClock::Ms target) {
    for (;;) {
        if (comm.FinishOpen()) {
            continue;  // a port opens before the next event: the loop runs it first
        }
        const auto timer = clock.NextDeadline();
        const bool replyDue = !pending.empty() && pending.front().first <= target;
        const bool timerDue = timer && *timer <= target;
        if (!replyDue && !timerDue) {
            break;
        }
        // A reply that lands at the same moment as an expiry is handled first.
        if (replyDue && (!timerDue || pending.front().first <= *timer)) {
            const auto [when, bytes] = pending.front();
            pending.pop_front();
            if (when > clock.Now()) {
                clock.Sleep(when - clock.Now());
            }
            comm.Deliver(bytes);
        } else {
            host.FireNext(target);
        }
    }
    if (target > clock.Now()) {
        clock.Sleep(target - clock.Now());
    }
}

void TransferRig::RunToEnd(ManualClock::Ms limit) {
    while (transfer.IsRunning() && clock.Now() < limit) {
        const auto timer = clock.NextDeadline();
        ManualClock::Ms next = limit;
        if (timer && *timer < next) {
            next = *timer;
        }
        if (!pending.empty() && pending.front().first < next) {
            next = pending.front().first;
        }
        RunUntil(next);
    }
}

std::vector<FakeCommControl::WriteRecord> TransferRig::Frames(std::uint8_t command) const {
    std::vector<FakeCommControl::WriteRecord> out;
    for (const auto& w : comm.writes) {
        if (w.bytes.size() >= 3 && w.bytes[0] == 0xA0 && w.bytes[2] == command) {
            out.push_back(w);
        }
    }
    return out;
}

std::vector<FakeCommControl::WriteRecord> TransferRig::AltProbes() const {
    std::vector<FakeCommControl::WriteRecord> out;
    for (const auto& w : comm.writes) {
        if (!w.bytes.empty() && w.bytes[0] == 0x52) {
            out.push_back(w);
        }
    }
    return out;
}

void TransferRig::React(const Bytes& frame) {
    writeTimes.push_back(clock.Now());
    if (frame.size() < 3 || frame[0] != 0xA0) {
        return;
    }
    switch (frame[2]) {
        case 0x69:
            if (reader.answerProbe && reader.probesSeen++ >= reader.probesToIgnore) {
                Reply(Ack(0x69));
            }
            break;
        case 0x64:
            if (reader.answerBaud && reader.baudFramesSeen++ >= reader.baudFramesToIgnore) {
                Reply(Ack(0x64));
            }
            break;
        case 0x66:
            if (reader.answerSize) {
                Reply(Ack(0x66));
            }
            break;
        case 0x67: {
            const int count = frame[1] - 4;
            reader.image.insert(reader.image.end(), frame.begin() + 3, frame.begin() + 3 + count);
            if (reader.dataAcksBeforeSilence < 0 ||
                reader.dataFramesSeen < reader.dataAcksBeforeSilence) {
                Reply(Ack(0x67));
            }
            ++reader.dataFramesSeen;
            break;
        }
        case 0x68:
            if (reader.answerEnd) {
                Reply(Ack(0x68));
            }
            break;
        default:
            break;
    }
}

}  // namespace uhf
