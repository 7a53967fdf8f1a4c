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

int RecognizeHeaderFrame(const std::uint8_t* bytes, int count, int pos, bool shortLengthRule,
                         ReaderFrame& frame, int& consumed) {
    if (pos + 4 >= count) {
        return 0;
    }
    const int length = EffectiveLength(bytes, pos, shortLengthRule);
    if (length < 2 || pos + length + 1 >= count) {
        return 0;
    }
    const std::uint8_t received = bytes[pos + length + 1];
    if (FrameChecksum(bytes, pos, length + 1) != received) {
        return 0;
    }
    frame.Assign(bytes[pos], static_cast<std::uint8_t>(length), bytes[pos + 2], bytes + pos + 3,
                 length - 2, received);
    consumed = length + 2;
    return 1;
}

int RecognizeFixedFrame(const std::uint8_t* bytes, int count, int pos, ReaderFrame& frame,
                        int& consumed) {
    if (pos + kFixedFrameSize - 1 >= count || bytes[pos + 1] != 0xFF || bytes[pos + 16] != 0xFF) {
        return 0;
    }
    if (FrameChecksum(bytes, pos, 15) != bytes[pos + 15]) {
        return 0;
    }
    // The fixed frame leaves the record's checksum as it was.
    const std::uint8_t keptChecksum = frame.checksum;
    frame.Assign(kFixedFrameHeader, 0xFF, 0xFF, bytes + pos + 3, 12, keptChecksum);
    consumed = kFixedFrameSize;
    return 1;
}

}  // namespace

int RecognizeReply(const std::uint8_t* bytes, int count, int pos, ReaderFrame& frame,
                   int& consumed) {
    if (bytes == nullptr || pos < 0 || pos >= count) {
        return 0;
    }
    switch (bytes[pos]) {
        case kReplyHeader:
            return RecognizeHeaderFrame(bytes, count, pos, true, frame, consumed);
        case kUpgradeReplyHeader:
            return RecognizeHeaderFrame(bytes, count, pos, false, frame, consumed);
        case kFixedFrameHeader:
            return RecognizeFixedFrame(bytes, count, pos, frame, consumed);
        default:
            return 0;
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
