#include "protocol/FrameCodec.h"

#include <algorithm>

#include "protocol/ProtocolCodes.h"

namespace uhf {

std::vector<std::uint8_t> EncodeFrame(std::uint8_t header, std::uint8_t command,
                                      const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> frame(data.size() + kFrameOverhead);
    if (!EncodeFrameInto(frame, header, command, data)) {
        frame.clear();
    }
    return frame;
}

std::optional<RequestView> ParseRequest(const std::uint8_t* bytes, std::size_t count) {
    if (bytes == nullptr || count < 4 || bytes[0] != kRequestHeader || bytes[1] + 2u != count ||
        ByteSum(bytes, 0, static_cast<int>(count)) != 0) {
        return std::nullopt;
    }
    return RequestView{bytes[2], std::vector<std::uint8_t>(bytes + 3, bytes + count - 1)};
}

std::vector<std::uint8_t> EncodeBlockRequestData(std::uint8_t length, std::uint8_t addressHigh,
                                                 std::uint8_t address, const std::uint8_t* values) {
    // Sized once and filled: an insert behind the head trips GCC 12's -Warray-bounds at -O3.
    std::vector<std::uint8_t> data(kBlockHeadSize + (values != nullptr ? length : 0));
    data[0] = length;
    data[1] = addressHigh;
    data[2] = address;
    if (values != nullptr) {
        std::copy(values, values + length, data.begin() + kBlockHeadSize);
    }
    return data;
}

std::vector<std::uint8_t> EncodeReadBlockReply(
    const std::array<std::uint8_t, kBlockHeadSize>& requestData,
    const std::vector<std::uint8_t>& values) {
    std::vector<std::uint8_t> data(requestData.begin(), requestData.end());
    data.insert(data.end(), values.begin(), values.end());
    return EncodeFrame(kReplyHeader, Byte(ReaderCode::ReadBlock), data);
}

std::vector<std::uint8_t> EncodeAcknowledgement() {
    const std::uint8_t ack = Byte(ReaderCode::Acknowledge);
    return EncodeFrame(kReplyHeader, ack, {ack, ack});
}

std::vector<std::uint8_t> EncodeUpgradeAnswer(std::uint8_t code) {
    return EncodeFrame(kUpgradeReplyHeader, code, {kStatusDone});
}

std::vector<std::uint8_t> EncodeTagFrame(const std::array<std::uint8_t, kTagIdSize>& id,
                                         std::uint8_t a, std::uint8_t b) {
    std::vector<std::uint8_t> data{a, b};
    data.insert(data.end(), id.begin(), id.end());
    return EncodeFrame(kReplyHeader, Byte(ReaderCode::TagReport), data);
}

}  // namespace uhf
