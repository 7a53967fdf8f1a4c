#include "protocol/ReplyRecognition.h"

#include <algorithm>

#include "protocol/FrameChecksum.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

namespace {

constexpr int kFixedFrameSize = 17;
constexpr int kShortestFrame = 5;

// The length byte as it counts: in an 0xE0 reply the short-length command counts one more.
int EffectiveLength(const std::uint8_t* bytes, int pos, bool shortLengthRule) {
    int length = bytes[pos + 1];
    if (shortLengthRule && bytes[pos + 2] == kShortLengthCommand) {
        length = (length + 255) % 256;
    }
    return length;
}

bool RecognizeHeaderFrame(const std::uint8_t* bytes, int count, int pos, bool shortLengthRule,
                          ReaderFrame& frame, int& consumed) {
    if (pos + 4 >= count) {
        return false;
    }
    const int length = EffectiveLength(bytes, pos, shortLengthRule);
    if (length < 2 || pos + length + 1 >= count) {
        return false;
    }
    const std::uint8_t received = bytes[pos + length + 1];
    if (FrameChecksum(bytes, pos, length + 1) != received) {
        return false;
    }
    frame.Assign(bytes[pos], static_cast<std::uint8_t>(length), bytes[pos + 2], bytes + pos + 3,
                 length - 2, received);
    consumed = length + 2;
    return true;
}

bool RecognizeFixedFrame(const std::uint8_t* bytes, int count, int pos, ReaderFrame& frame,
                         int& consumed) {
    if (pos + kFixedFrameSize - 1 >= count || bytes[pos + 1] != 0xFF || bytes[pos + 16] != 0xFF) {
        return false;
    }
    if (FrameChecksum(bytes, pos, 15) != bytes[pos + 15]) {
        return false;
    }
    // The fixed frame leaves the record's checksum as it was.
    const std::uint8_t keptChecksum = frame.checksum;
    frame.Assign(kFixedFrameHeader, 0xFF, 0xFF, bytes + pos + 3, 12, keptChecksum);
    consumed = kFixedFrameSize;
    return true;
}

}  // namespace

bool RecognizeReply(const std::uint8_t* bytes, int count, int pos, ReaderFrame& frame,
                    int& consumed) {
    if (bytes == nullptr || pos < 0 || pos >= count) {
        return false;
    }
    switch (bytes[pos]) {
        case kReplyHeader:
            return RecognizeHeaderFrame(bytes, count, pos, true, frame, consumed);
        case kUpgradeReplyHeader:
            return RecognizeHeaderFrame(bytes, count, pos, false, frame, consumed);
        case kFixedFrameHeader:
            return RecognizeFixedFrame(bytes, count, pos, frame, consumed);
        default:
            return false;
    }
}

int ReplyBytesNeeded(const std::uint8_t* bytes, int count, int pos) {
    switch (bytes[pos]) {
        case kReplyHeader:
        case kUpgradeReplyHeader:
            if (pos + 2 >= count) {
                return kShortestFrame;
            }
            return std::max(kShortestFrame,
                            EffectiveLength(bytes, pos, bytes[pos] == kReplyHeader) + 2);
        case kFixedFrameHeader:
            return pos + 1 >= count || bytes[pos + 1] == 0xFF ? kFixedFrameSize : 1;
        default:
            return 1;
    }
}

}  // namespace uhf
