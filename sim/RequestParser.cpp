#include "sim/RequestParser.h"

#include <algorithm>

namespace uhf {

namespace {

constexpr std::uint8_t kHeader = 0xA0;
constexpr std::uint8_t kAltProbe[] = {0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
constexpr std::size_t kAltProbeSize = sizeof kAltProbe;

}  // namespace

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
        if (buffer[0] == kHeader) {
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
            unsigned sum = 0;
            for (std::uint8_t b : request.bytes) {
                sum += b;
            }
            if ((sum & 0xFF) != 0) {
                request.kind = ReceivedRequest::Kind::BadChecksum;
                buffer.pop_front();  // reported, not counted as noise
                return request;
            }
            request.kind = ReceivedRequest::Kind::Frame;
            request.command = request.bytes[2];
            request.data.assign(request.bytes.begin() + 3, request.bytes.end() - 1);
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
            return request;
        }
        if (buffer[0] == kAltProbe[0]) {
            const std::size_t have = std::min(buffer.size(), kAltProbeSize);
            if (!std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(have),
                            kAltProbe)) {
                Skip(1);
                continue;
            }
            if (have < kAltProbeSize) {
                if (stale) {
                    Skip(1);
                    continue;
                }
                return std::nullopt;
            }
            ReceivedRequest request;
            request.kind = ReceivedRequest::Kind::AltProbe;
            request.bytes.assign(kAltProbe, kAltProbe + kAltProbeSize);
            buffer.erase(buffer.begin(),
                         buffer.begin() + static_cast<std::ptrdiff_t>(kAltProbeSize));
            return request;
        }
        Skip(1);
    }
    return std::nullopt;
}

}  // namespace uhf
