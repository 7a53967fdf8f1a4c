#include "protocol/ReaderFrame.h"

#include <algorithm>
#include <array>

#include "protocol/FrameChecksum.h"

namespace uhf {

int ReaderFrame::SetCommand(std::uint8_t code, const std::uint8_t* bytes, std::uint8_t count) {
    if (count == 255) {
        return 0;
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

int ReaderFrame::UpdateChecksum() {
    if (length < 2) {
        return 0;
    }
    const std::array<std::uint8_t, 3> head{header, length, command};
    const int dataCount = static_cast<int>(std::min<std::size_t>(length - 2u, data.size()));
    checksum = ChecksumOfSum(ByteSum(data.data(), 0, dataCount, ByteSum(head.data(), 0, 3)));
    return 1;
}

int ReaderFrame::Encode(std::uint8_t* buffer, int capacity, int& written) const {
    const int total = length + 2;
    const int dataCount = length >= 2 ? length - 2 : 0;
    if (buffer == nullptr || capacity < total || static_cast<int>(data.size()) < dataCount) {
        return 0;
    }
    buffer[0] = header;
    buffer[1] = length;
    buffer[2] = command;
    std::copy_n(data.begin(), dataCount, buffer + 3);
    buffer[3 + dataCount] = checksum;
    written = total;
    return 1;
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
