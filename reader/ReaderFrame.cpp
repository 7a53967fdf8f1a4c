#include "reader/ReaderFrame.h"

#include <algorithm>

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
    unsigned sum = header + length + command;
    const std::size_t dataCount = std::min<std::size_t>(length - 2u, data.size());
    for (std::size_t i = 0; i < dataCount; ++i) {
        sum += data[i];
    }
    checksum = static_cast<std::uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
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
