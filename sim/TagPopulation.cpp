#include "sim/TagPopulation.h"

#include "sim/HexByte.h"

namespace uhf {

namespace {

constexpr int kDefaultCount = 5;

}  // namespace

TagPopulation::TagPopulation(std::vector<TagId> list) : ids(std::move(list)) {
    if (ids.empty()) {
        ids = Generate(kDefaultCount);
    }
}

std::vector<TagId> TagPopulation::Generate(int count) {
    std::vector<TagId> result;
    for (int i = 0; i < count; ++i) {
        // A fixed prefix and a serial number that differs per tag, spread so that no two share
        // their last byte either.
        const unsigned serial = static_cast<unsigned>(i + 1);
        result.push_back(TagId{0xE2, 0x00, 0x68, 0x06, static_cast<std::uint8_t>(serial >> 16),
                               static_cast<std::uint8_t>(serial >> 8),
                               static_cast<std::uint8_t>(serial),
                               static_cast<std::uint8_t>(0x10 + serial * 7)});
    }
    return result;
}

std::optional<std::vector<TagId>> TagPopulation::ParseList(std::string_view text,
                                                           std::string& error) {
    std::vector<TagId> result;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view item = text.substr(start, end - start);
        if (item.size() != 16) {
            error = "tag identifier '" + std::string(item) + "' is not 16 hexadecimal digits";
            return std::nullopt;
        }
        TagId id{};
        for (std::size_t i = 0; i < 8; ++i) {
            const int byte = HexByte(item[2 * i], item[2 * i + 1]);
            if (byte < 0) {
                error = "tag identifier '" + std::string(item) + "' is not 16 hexadecimal digits";
                return std::nullopt;
            }
            id[i] = static_cast<std::uint8_t>(byte);
        }
        result.push_back(id);
        start = end + 1;
    }
    return result;
}

const TagId& TagPopulation::Report(long long index) const {
    if (index % 3 == 2) {
        return ids.front();
    }
    const long long turn = index - index / 3;
    return ids[static_cast<std::size_t>(turn % static_cast<long long>(ids.size()))];
}

}  // namespace uhf
