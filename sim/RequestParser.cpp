#include "sim/RequestParser.h"

#include <algorithm>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

RequestParser::RequestParser(SimTime gapLimit) : gap(gapLimit) {}

void RequestParser::Feed(const std::uint8_t* bytes, std::size_t count, SimTime now) {
    if (count == 0) {
        return;
    }
    lastByteAt = now;
    buffer.insert(buffer.end(), bytes, bytes + count);
    if (buffer.size() > kCapacity) {
        Skip(buffer.size() - kCapacity);
    }
}

void RequestParser::Skip(std::size_t count) {
    count = std::min(count, buffer.size());
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    skipped += count;
}

std::size_t RequestParser::TakeSkipped() {
    const std::size_t result = skipped;
    skipped = 0;
    return result;
}

std::optional<SimTime> RequestParser::PartialExpiresAt() const {
    if (buffer.empty()) {
        return std::nullopt;
    }
    return lastByteAt + gap + SimTime{1};
}

std::optional<ReceivedRequest> RequestParser::Next(SimTime now) {
    const bool stale = now - lastByteAt > gap;
    while (!buffer.empty()) {
        if (buffer[0] == kRequestHeader) {
            if (buffer.size() >= 2 && buffer[1] < 2) {
                Skip(1);  // a length that cannot hold a command and a checksum
                continue;
            }
            const std::size_t size = buffer.size() >= 2 ? buffer[1] + 2u : 0;
            if (size == 0 || buffer.size() < size) {
                if (stale) {
                    Skip(1);
                    continue;
                }
                return std::nullopt;
            }
            ReceivedRequest request;
            request.bytes.assign(buffer.begin(),
                                 buffer.begin() + static_cast<std::ptrdiff_t>(size));
            std::optional<RequestView> frame = ParseRequest(request.bytes.data(), size);
            if (!frame) {
                request.kind = ReceivedRequest::Kind::BadChecksum;
                buffer.pop_front();  // reported, not counted as noise
                return request;
            }
            request.kind = ReceivedRequest::Kind::Frame;
            request.command = frame->command;
            request.data = std::move(frame->data);
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
            return request;
        }
        if (buffer[0] == kAltProbeHeader) {
            const std::size_t have = std::min(buffer.size(), kAltProbeFrame.size());
            if (!std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(have),
                            kAltProbeFrame.begin())) {
                Skip(1);
                continue;
            }
            if (have < kAltProbeFrame.size()) {
                if (stale) {
                    Skip(1);
                    continue;
                }
                return std::nullopt;
            }
            ReceivedRequest request;
            request.kind = ReceivedRequest::Kind::AltProbe;
            request.bytes.assign(kAltProbeFrame.begin(), kAltProbeFrame.end());
            buffer.erase(buffer.begin(),
                         buffer.begin() + static_cast<std::ptrdiff_t>(kAltProbeFrame.size()));
            return request;
        }
        Skip(1);
    }
    return std::nullopt;
}

}  // namespace uhf
