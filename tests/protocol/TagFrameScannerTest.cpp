#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "fakes/FakeReader.h"
#include "protocol/TagFrameScanner.h"

namespace uhf {
namespace {

using test::FakeReader;
using Bytes = std::vector<std::uint8_t>;
using Id = std::array<std::uint8_t, 8>;

struct ScanResult {
    std::vector<Id> ids;
    int done = 0;
};

ScanResult Scan(const Bytes& bytes) {
    ScanResult r;
    r.done =
        ScanTagFrames(bytes.data(), static_cast<int>(bytes.size()), [&r](const std::uint8_t* id) {
            Id copy{};
            std::copy_n(id, 8, copy.begin());
            r.ids.push_back(copy);
        });
    return r;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Id kA{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const Id kB{0xE0, 0x0C, 0x58, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};

TEST(TagFrameScannerTest, FindsFramesBetweenGarbageInOrder) {
    const Bytes bytes = Cat({{0x00, 0xE0, 0x0C},
                             FakeReader::TagFrame(kA),
                             {0x58, 0x99},
                             FakeReader::TagFrame(kB),
                             FakeReader::TagFrame(kA)});
    const ScanResult r = Scan(bytes);
    EXPECT_EQ(r.ids, (std::vector<Id>{kA, kB, kA})) << "duplicates are kept";
    EXPECT_EQ(r.done, static_cast<int>(bytes.size()));
}

TEST(TagFrameScannerTest, KeepsAnUnfinishedFrameForTheNextPass) {
    const Bytes frame = FakeReader::TagFrame(kA);
    const Bytes head(frame.begin(), frame.begin() + 13);
    const ScanResult r = Scan(Cat({{0x11, 0x22}, head}));
    EXPECT_TRUE(r.ids.empty());
    EXPECT_EQ(r.done, 2) << "the 13 bytes of the frame's start stay";
}

TEST(TagFrameScannerTest, GarbageLeavesAtMostThirteenBytes) {
    const Bytes garbage(500, 0xE0);
    const ScanResult r = Scan(garbage);
    EXPECT_TRUE(r.ids.empty());
    EXPECT_EQ(static_cast<int>(garbage.size()) - r.done, 13);
    EXPECT_EQ(Scan(Bytes(5, 0x00)).done, 0);
}

TEST(TagFrameScannerTest, RefusesABadChecksumAndOtherHeaders) {
    Bytes bad = FakeReader::TagFrame(kA);
    bad[13] ^= 0x01;
    EXPECT_TRUE(Scan(bad).ids.empty());
    Bytes e4 = FakeReader::TagFrame(kA);
    e4[0] = 0xE4;
    e4[13] = static_cast<std::uint8_t>(e4[13] - 4);  // checksum still right for the new header
    EXPECT_TRUE(Scan(e4).ids.empty());
    Bytes length = FakeReader::TagFrame(kA);
    length[1] = 0x0D;
    length[13] = static_cast<std::uint8_t>(length[13] - 1);
    EXPECT_TRUE(Scan(length).ids.empty());
}

TEST(TagFrameScannerTest, IsTagFrameAtStaysWithinTheBytes) {
    const Bytes frame = FakeReader::TagFrame(kA);
    EXPECT_TRUE(IsTagFrameAt(frame.data(), 14, 0));
    EXPECT_FALSE(IsTagFrameAt(frame.data(), 13, 0));
    EXPECT_FALSE(IsTagFrameAt(frame.data(), 14, 1));
    EXPECT_FALSE(IsTagFrameAt(frame.data(), 14, -1));
    EXPECT_FALSE(IsTagFrameAt(nullptr, 14, 0));
}

}  // namespace
}  // namespace uhf
