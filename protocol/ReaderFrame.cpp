#include "protocol/ReaderFrame.h"

#include <algorithm>
#include <array>

#include "protocol/FrameChecksum.h"
#include "protocol/FrameCodec.h"

namespace uhf {

bool ReaderFrame::SetCommand(std::uint8_t code, const std::uint8_t* bytes, std::uint8_t count) {
    if (count == 255) {
        return false;
    }
    command = code;
    data.clear();
    if (bytes != nullptr) {
        data.assign(bytes, bytes + count);
        length = static_cast<std::uint8_t>(count + 2);
    } else {
        length = 2;
    }
    return UpdateChecksum();
}

bool ReaderFrame::UpdateChecksum() {
    if (length < 2) {
        return false;
    }
    const std::array<std::uint8_t, 3> head{header, length, command};
    const int dataCount = static_cast<int>(std::min<std::size_t>(length - 2u, data.size()));
    checksum = ChecksumOfSum(ByteSum(data.data(), 0, dataCount, ByteSum(head.data(), 0, 3)));
    return true;
}

std::optional<std::size_t> ReaderFrame::Encode(std::span<std::uint8_t> buffer) const {
    // A length below 2 counts no command and checksum: no frame to write.
    if (length < 2 || data.size() < length - 2u) {
        return std::nullopt;
    }
    return EncodeFrameInto(buffer, header, command, std::span(data).first(length - 2u));
}

void ReaderFrame::Assign(std::uint8_t newHeader, std::uint8_t newLength, std::uint8_t newCommand,
                         const std::uint8_t* bytes, int count, std::uint8_t newChecksum) {
    header = newHeader;
    length = newLength;
    command = newCommand;
    data.assign(bytes, bytes + count);
    checksum = newChecksum;
}

}  // namespace uhf
