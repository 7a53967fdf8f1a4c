#include "sim/ReaderSimulator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "fakes/SimTestSupport.h"
#include "protocol/BaudRates.h"

namespace uhf {
namespace {

using namespace test;
using ::testing::ElementsAreArray;

struct ExchangeCase {
    const char* name;
    Bytes request;
    Bytes reply;
};

class ParameterRequestTest : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(ParameterRequestTest, RequestIsAnsweredWithExactBytes) {
    Bench bench;
    EXPECT_THAT(bench.Exchange(GetParam().request), ElementsAreArray(GetParam().reply));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ParameterRequestTest,
    ::testing::Values(
        ExchangeCase{"Stop", {0xA0, 0x02, 0xFE, 0x60}, {0xE0, 0x03, 0xFE, 0x00, 0x1F}},
        ExchangeCase{"Resume", {0xA0, 0x02, 0x65, 0xF9}, {0xE0, 0x03, 0x65, 0x00, 0xB8}},
        ExchangeCase{"ReadBlock100",
                     {0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92},
                     {0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x1E, 0x31}},
        ExchangeCase{"ReadBlock112",
                     {0xA0, 0x05, 0x63, 0x08, 0x00, 0x70, 0x80},
                     {0xE0, 0x0D, 0x63, 0x08, 0x00, 0x70, 0x01, 0x0A, 0x01, 0x01, 0x0A, 0x0F, 0x01,
                      0x01, 0x10}},
        ExchangeCase{"ReadBlock137",
                     {0xA0, 0x05, 0x63, 0x02, 0x00, 0x89, 0x6D},
                     {0xE0, 0x07, 0x63, 0x02, 0x00, 0x89, 0x02, 0x00, 0x29}},
        ExchangeCase{"WriteBlock135",
                     {0xA0, 0x06, 0x62, 0x01, 0x00, 0x87, 0x01, 0x6F},
                     {0xE0, 0x03, 0x62, 0x00, 0xBB}},
        ExchangeCase{"WriteBlock100",
                     {0xA0, 0x07, 0x62, 0x02, 0x00, 0x64, 0x00, 0x1E, 0x73},
                     {0xE0, 0x03, 0x62, 0x00, 0xBB}},
        ExchangeCase{"ReadBlockAboveAddress255IsRefused",
                     {0xA0, 0x05, 0x63, 0x02, 0x01, 0x64, 0x91},
                     {0xE0, 0x03, 0x63, 0x01, 0xB9}},
        ExchangeCase{"StopWithDataIsRefused",
                     {0xA0, 0x03, 0xFE, 0x00, 0x5F},
                     {0xE0, 0x03, 0xFE, 0x01, 0x1E}},
        ExchangeCase{
            "UnknownCommandIsRefused", {0xA0, 0x02, 0x10, 0x4E}, {0xE0, 0x03, 0x10, 0x02, 0x0B}},
        ExchangeCase{"Probe", {0xA0, 0x03, 0x69, 0x00, 0xF4}, {0xE4, 0x03, 0x69, 0x00, 0xB0}},
        ExchangeCase{"AlternateProbe",
                     {0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74},
                     {0xE4, 0x03, 0x69, 0x00, 0xB0}},
        ExchangeCase{"BadChecksumIsNotAnswered", {0xA0, 0x02, 0xFE, 0x61}, {}},
        ExchangeCase{
            "UpgradeFrameOutsideUpgradeIsNotAnswered", {0xA0, 0x04, 0x66, 0x03, 0xE8, 0x0B}, {}}),
    [](const ::testing::TestParamInfo<ExchangeCase>& info) { return info.param.name; });

TEST(ReaderSimulatorTest, AReaderThatIgnoresRequestsWhileWorkingAnswersOnlyStopAndResume) {
    SimConfig config = QuietConfig();
    config.ignoreWhileWorking = true;
    Bench bench(config, {}, ReaderSimulator::Mode::Working);
    const Bytes readBlock{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92};
    EXPECT_TRUE(bench.Exchange(readBlock).empty());
    EXPECT_TRUE(bench.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})).empty());
    EXPECT_THAT(bench.Exchange(Request(0x65)),
                ElementsAreArray(Bytes{0xE0, 0x03, 0x65, 0x00, 0xB8}));
    EXPECT_THAT(bench.Exchange(Request(0xFE)),
                ElementsAreArray(Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
    EXPECT_THAT(bench.Exchange(readBlock),
                ElementsAreArray(Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x1E, 0x31}))
        << "stopped, it answers again; the write made while working was not done";
}

TEST(ReaderSimulatorTest, WriteBlockChangesWhatReadBlockReturns) {
    Bench bench;
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})),
                ElementsAreArray(Bytes{0xE0, 0x03, 0x62, 0x00, 0xBB}));
    EXPECT_TRUE(bench.sim.TakeMemoryChanged());
    EXPECT_FALSE(bench.sim.TakeMemoryChanged());
    EXPECT_THAT(bench.Exchange(Request(0x63, {0x02, 0x00, 0x64})),
                ElementsAreArray(Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x2A, 0x25}));
    EXPECT_EQ(bench.sim.Memory().At(101), 0x2A);
}

TEST(ReaderSimulatorTest, WriteBlockWhoseCountDisagreesWithItsValuesIsRefusedAndChangesNothing) {
    Bench bench;
    const ParameterMemory before = bench.sim.Memory();
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x02, 0x00, 0x65, 0x2A})),
                ElementsAreArray(Bytes{0xE0, 0x03, 0x62, 0x01, 0xBA}));
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x02, 0x00, 0xFF, 0x01, 0x02})),
                ElementsAreArray(Bytes{0xE0, 0x03, 0x62, 0x01, 0xBA}));
    EXPECT_FALSE(bench.sim.TakeMemoryChanged());
    EXPECT_EQ(bench.sim.Memory(), before);
}

TEST(ReaderSimulatorTest, RequestBehindNoiseAndABadFrameIsStillAnswered) {
    Bench bench;
    Bytes bytes{0x13, 0x37, 0xA0, 0x02, 0xFE, 0x61};  // noise, then Stop with a bad checksum
    const Bytes stop = Request(0xFE);
    bytes.insert(bytes.end(), stop.begin(), stop.end());
    EXPECT_THAT(bench.Exchange(bytes), ElementsAreArray(Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
}

TEST(ReaderSimulatorTest, RequestArrivingInPiecesIsAnsweredOnceComplete) {
    Bench bench;
    bench.Send({0xA0, 0x02});
    EXPECT_TRUE(bench.Wait(20ms).empty());
    bench.Send({0xFE, 0x60});
    EXPECT_THAT(bench.Wait(1s), ElementsAreArray(Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
}

TEST(ReaderSimulatorTest, PartialRequestLeftTooLongIsDroppedAndTheNextAnswered) {
    Bench bench;
    bench.Send({0xA0, 0x10, 0x63});  // announces 18 bytes, never sends them
    EXPECT_TRUE(bench.Wait(500ms).empty());
    EXPECT_THAT(bench.Exchange(Request(0xFE)),
                ElementsAreArray(Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
}

TEST(ReaderSimulatorTest, ReplyLeavesAtTenBitsAByteAfterTheTurnaround) {
    Bench bench;
    bench.Send(Request(0xFE));
    // 2 ms turnaround, then 1041.67 us a byte at 9600 baud.
    EXPECT_TRUE(bench.Wait(2ms + 1041us).empty());
    EXPECT_THAT(bench.Wait(1us), ElementsAreArray(Bytes{0xE0}));
    EXPECT_THAT(bench.Wait(2083us), ElementsAreArray(Bytes{0x03, 0xFE}));
    EXPECT_THAT(bench.Wait(10ms), ElementsAreArray(Bytes{0x00, 0x1F}));
}

TEST(ReaderSimulatorTest, NextEventIsTheNextByteOrTagAndNothingWhenIdle) {
    Bench idle;
    EXPECT_FALSE(idle.sim.NextEventAt().has_value());
    idle.Send(Request(0xFE));
    EXPECT_EQ(idle.sim.NextEventAt(), std::optional<SimTime>(2ms + 1042us));
    idle.Wait(1s);
    EXPECT_FALSE(idle.sim.NextEventAt().has_value());

    SimConfig config;
    config.tagRate = 4;
    Bench working(config, {}, ReaderSimulator::Mode::Working);
    working.Wait(100ms);  // the first tag frame has gone; the next is due at 250 ms
    EXPECT_EQ(working.sim.NextEventAt(), std::optional<SimTime>(250ms));
}

struct LineTimeCase {
    std::size_t count;
    int baud;
    long long micros;
};

class LineTimeTest : public ::testing::TestWithParam<LineTimeCase> {};

TEST_P(LineTimeTest, BytesTakeTenBitTimesEachRoundedUp) {
    EXPECT_EQ(LineTime(GetParam().count, GetParam().baud).count(), GetParam().micros);
}

INSTANTIATE_TEST_SUITE_P(Rates, LineTimeTest,
                         ::testing::Values(LineTimeCase{1, 9600, 1042},
                                           LineTimeCase{14, 9600, 14584},
                                           LineTimeCase{70, 115200, 6077},
                                           LineTimeCase{5, 19200, 2605}, LineTimeCase{0, 9600, 0}));

}  // namespace
}  // namespace uhf

namespace uhf {
namespace {

using namespace test;

TEST(ReaderSimulatorFrameWrites, FrameIsHandedOverWholeOnlyOnceItsLastByteHasLeft) {
    SimConfig config = QuietConfig();
    config.workingBaud = 9600;
    config.turnaroundMs = 0;
    config.frameWrites = true;
    Bench bench(config);
    bench.Send(Request(0xFE));
    // Five bytes at 9600 baud take 5208 us: nothing before, all of them then.
    EXPECT_TRUE(bench.Wait(5200us).empty());
    EXPECT_EQ(bench.sim.NextEventAt(), SimTime{5209});
    EXPECT_EQ(bench.Wait(9us), (Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
}

TEST(ReaderSimulatorFrameWrites, WithoutItBytesLeaveOneAtATime) {
    SimConfig config = QuietConfig();
    config.workingBaud = 9600;
    config.turnaroundMs = 0;
    Bench bench(config);
    bench.Send(Request(0xFE));
    EXPECT_EQ(bench.Wait(2100us), (Bytes{0xE0, 0x03}));
}

}  // namespace
}  // namespace uhf
