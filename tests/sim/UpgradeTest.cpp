#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/SimTestSupport.h"
#include "protocol/BaudRates.h"
#include "sim/ReaderSimulator.h"

namespace uhf {
namespace {

using namespace test;
using ::testing::ElementsAreArray;

const Bytes kProbeAnswer{0xE4, 0x03, 0x69, 0x00, 0xB0};
const Bytes kBaudAnswer{0xE4, 0x03, 0x64, 0x00, 0xB5};
const Bytes kSizeAnswer{0xE4, 0x03, 0x66, 0x00, 0xB3};
const Bytes kDataAnswer{0xE4, 0x03, 0x67, 0x00, 0xB2};
const Bytes kEndAnswer{0xE4, 0x03, 0x68, 0x00, 0xB1};

Bytes Image(std::size_t size) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    return image;
}

Bytes DataFrame(const Bytes& image, std::size_t from, std::size_t count) {
    Bytes data(image.begin() + static_cast<std::ptrdiff_t>(from),
               image.begin() + static_cast<std::ptrdiff_t>(from + count));
    data.push_back(0x00);
    data.push_back(0x00);
    return Request(0x67, data);
}

// Takes the reader from working rate to the download rate `index` names, the way the tool does.
void EnterUpgrade(Bench& bench, std::uint8_t index) {
    bench.sim.SetHostBaud(bench.sim.ReaderBaud());
    ASSERT_THAT(bench.Exchange(Request(0x69, {0x00})), ElementsAreArray(kProbeAnswer));
    bench.sim.SetHostBaud(9600);
    ASSERT_THAT(bench.Exchange(Request(0x64, {index})), ElementsAreArray(kBaudAnswer));
    bench.sim.SetHostBaud(BaudRateAt(index));
}

TEST(UpgradeTest, WholeTransferIsAcknowledgedAndTheImageReassembled) {
    SimConfig config = QuietConfig();
    config.workingBaud = 57600;
    Bench bench(config);
    EnterUpgrade(bench, 4);
    EXPECT_EQ(bench.sim.ReaderBaud(), 115200);

    const Bytes image = Image(1000);
    EXPECT_THAT(bench.Exchange({0xA0, 0x04, 0x66, 0x03, 0xE8, 0x0B}),
                ElementsAreArray(kSizeAnswer));
    for (std::size_t from = 0; from < image.size(); from += 64) {
        const Bytes frame = DataFrame(image, from, std::min<std::size_t>(64, image.size() - from));
        ASSERT_THAT(bench.Exchange(frame), ElementsAreArray(kDataAnswer)) << "at " << from;
    }
    EXPECT_FALSE(bench.sim.TakeFirmware().has_value());
    EXPECT_THAT(bench.Exchange({0xA0, 0x02, 0x68, 0xF6}), ElementsAreArray(kEndAnswer));

    const std::optional<Bytes> received = bench.sim.TakeFirmware();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received, image);
    EXPECT_FALSE(bench.sim.TakeFirmware().has_value());
    EXPECT_EQ(bench.sim.ReaderBaud(), 57600);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Stopped);
}

TEST(UpgradeTest, EmptyImageTakesOneEmptyDataFrame) {
    Bench bench;
    EnterUpgrade(bench, 0);
    EXPECT_THAT(bench.Exchange({0xA0, 0x04, 0x66, 0x00, 0x00, 0xF6}),
                ElementsAreArray(kSizeAnswer));
    EXPECT_THAT(bench.Exchange({0xA0, 0x04, 0x67, 0x00, 0x00, 0xF5}),
                ElementsAreArray(kDataAnswer));
    EXPECT_THAT(bench.Exchange({0xA0, 0x02, 0x68, 0xF6}), ElementsAreArray(kEndAnswer));
    const std::optional<Bytes> received = bench.sim.TakeFirmware();
    ASSERT_TRUE(received.has_value());
    EXPECT_TRUE(received->empty());
}

TEST(UpgradeTest, ProbeAnswerLeavesAtWorkingRateThenReaderListensAt9600) {
    SimConfig config = QuietConfig();
    config.workingBaud = 115200;
    Bench bench(config);
    bench.Send(Request(0x69, {0x00}));
    bench.Wait(2ms + 434us);  // turnaround and the first 5 bytes at 115200
    EXPECT_EQ(bench.sim.ReaderBaud(), 115200);
    bench.Wait(1ms);
    EXPECT_EQ(bench.sim.ReaderBaud(), 9600);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Upgrade);
}

TEST(UpgradeTest, ReaderStartedInItsLoaderAnswersOnlyTheProbeAndStaysThere) {
    SimConfig config = QuietConfig();
    config.workingBaud = 115200;
    config.upgradeIdleMs = 1000;
    Bench bench(config, {}, ReaderSimulator::Mode::Upgrade);
    EXPECT_TRUE(bench.Exchange({0xA0, 0x02, 0xFE, 0x60}).empty());  // Stop: not the loader's
    EXPECT_THAT(bench.Exchange(Request(0x69, {0x00})), ElementsAreArray(kProbeAnswer));
    EXPECT_EQ(bench.sim.ReaderBaud(), 9600);
    // No baud-rate frame follows: the loader goes back to its own rate, still a loader.
    bench.Wait(2s);
    EXPECT_EQ(bench.sim.ReaderBaud(), 115200);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Upgrade);
    EXPECT_TRUE(bench.Exchange({0xA0, 0x02, 0xFE, 0x60}).empty());
    EXPECT_THAT(bench.Exchange(Request(0x69, {0x00})), ElementsAreArray(kProbeAnswer));
}

TEST(UpgradeTest, BaudRateAnswerGoesOutAt9600BeforeTheSwitch) {
    Bench bench;
    bench.Exchange(Request(0x69, {0x00}));
    bench.Send({0xA0, 0x03, 0x64, 0x04, 0xF5});
    // 2 ms turnaround + 5 bytes at 9600 = 7.2 ms; the rate switches only then.
    EXPECT_THAT(bench.Wait(7ms), ElementsAreArray(Bytes{0xE4, 0x03, 0x64, 0x00}));
    EXPECT_EQ(bench.sim.ReaderBaud(), 9600);
    EXPECT_THAT(bench.Wait(300us), ElementsAreArray(Bytes{0xB5}));
    EXPECT_EQ(bench.sim.ReaderBaud(), 115200);
}

struct BadFrameCase {
    const char* name;
    Bytes frame;
};

class BadUpgradeFrameTest : public ::testing::TestWithParam<BadFrameCase> {};

TEST_P(BadUpgradeFrameTest, BadFrameIsNeverAcknowledged) {
    Bench bench;
    EnterUpgrade(bench, 0);
    ASSERT_THAT(bench.Exchange({0xA0, 0x04, 0x66, 0x00, 0x80, 0x76}),
                ElementsAreArray(kSizeAnswer));  // 128 bytes announced
    EXPECT_TRUE(bench.Exchange(GetParam().frame).empty());
    EXPECT_FALSE(bench.sim.TakeFirmware().has_value());
}

Bytes WithChecksumBroken(Bytes frame) {
    frame.back() ^= 0x01;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BadUpgradeFrameTest,
    ::testing::Values(
        BadFrameCase{"DataFrameWithBadChecksum", WithChecksumBroken(DataFrame(Image(128), 0, 64))},
        BadFrameCase{"DataFrameWithoutTrailingZeros", Request(0x67,
                                                              [] {
                                                                  Bytes d = Image(66);
                                                                  d[64] = 1;
                                                                  return d;
                                                              }())},
        BadFrameCase{"DataFrameWithMoreThan64Bytes", DataFrame(Image(128), 0, 65)},
        BadFrameCase{"ShortDataFrameThatIsNotTheLast", DataFrame(Image(128), 0, 63)},
        BadFrameCase{"EndFrameBeforeTheImageIsComplete", Bytes{0xA0, 0x02, 0x68, 0xF6}},
        BadFrameCase{"EndFrameWithData", Request(0x68, {0x00})},
        BadFrameCase{"BaudRateIndexOutOfRange", Bytes{0xA0, 0x03, 0x64, 0x05, 0xF4}},
        BadFrameCase{"SizeFrameWithOneByte", Request(0x66, {0x10})},
        BadFrameCase{"ProbeWithWrongData", Request(0x69, {0x01})},
        BadFrameCase{"ParameterRequestDuringUpgrade", Bytes{0xA0, 0x02, 0xFE, 0x60}}),
    [](const ::testing::TestParamInfo<BadFrameCase>& info) { return info.param.name; });

TEST(UpgradeTest, DataFrameBeforeTheSizeFrameIsNotAcknowledged) {
    Bench bench;
    EnterUpgrade(bench, 0);
    EXPECT_TRUE(bench.Exchange(DataFrame(Image(64), 0, 64)).empty());
}

TEST(UpgradeTest, DataBeyondTheAnnouncedSizeIsNotAcknowledged) {
    Bench bench;
    EnterUpgrade(bench, 0);
    const Bytes image = Image(64);
    ASSERT_THAT(bench.Exchange({0xA0, 0x04, 0x66, 0x00, 0x40, 0xB6}),
                ElementsAreArray(kSizeAnswer));
    ASSERT_THAT(bench.Exchange(DataFrame(image, 0, 64)), ElementsAreArray(kDataAnswer));
    EXPECT_TRUE(bench.Exchange(DataFrame(image, 0, 64)).empty());
    EXPECT_THAT(bench.Exchange({0xA0, 0x02, 0x68, 0xF6}), ElementsAreArray(kEndAnswer));
    EXPECT_EQ(bench.sim.TakeFirmware(), std::optional<Bytes>(image));
}

TEST(UpgradeTest, UpgradeLeftIdleIsAbandonedAndTheReaderReturnsToItsWorkingRate) {
    SimConfig config = QuietConfig();
    config.workingBaud = 38400;
    config.upgradeIdleMs = 3000;  // the last frame, the baud-rate frame, is 1 s old here
    Bench bench(config);
    EnterUpgrade(bench, 4);
    EXPECT_EQ(bench.sim.ReaderBaud(), 115200);
    bench.Wait(1500ms);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Upgrade);
    bench.Wait(1s);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Stopped);
    EXPECT_EQ(bench.sim.ReaderBaud(), 38400);
    bench.sim.SetHostBaud(38400);
    EXPECT_THAT(bench.Exchange(Request(0xFE)),
                ElementsAreArray(Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
}

TEST(UpgradeTest, ProbeAndAlternateProbeSentTogetherAreBothAnswered) {
    Bench bench;
    Bytes both = Request(0x69, {0x00});
    const Bytes alt{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
    both.insert(both.end(), alt.begin(), alt.end());
    Bytes twice = kProbeAnswer;
    twice.insert(twice.end(), kProbeAnswer.begin(), kProbeAnswer.end());
    EXPECT_THAT(bench.Exchange(both), ElementsAreArray(twice));
}

TEST(UpgradeTest, ProbesSentTogetherAreAnsweredAtTheWorkingRateBeforeTheSwitch) {
    SimConfig config = QuietConfig();
    config.workingBaud = 115200;
    Bench bench(config);
    bench.sim.SetHostBaud(115200);
    Bytes both = Request(0x69, {0x00});
    const Bytes alt{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
    both.insert(both.end(), alt.begin(), alt.end());
    Bytes twice = kProbeAnswer;
    twice.insert(twice.end(), kProbeAnswer.begin(), kProbeAnswer.end());
    EXPECT_THAT(bench.Exchange(both), ElementsAreArray(twice));  // neither garbled
    EXPECT_EQ(bench.sim.ReaderBaud(), 9600);
}

}  // namespace
}  // namespace uhf
