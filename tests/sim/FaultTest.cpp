#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/SimTestSupport.h"
#include "sim/ReaderSimulator.h"

namespace uhf {
namespace {

using namespace test;
using ::testing::ElementsAreArray;

const Bytes kStopReply{0xE0, 0x03, 0xFE, 0x00, 0x1F};

SimConfig WithFaults(SimFaults faults) {
    SimConfig config = QuietConfig();
    config.faults = faults;
    return config;
}

TEST(FaultTest, DropEveryNthReplyLosesExactlyThoseReplies) {
    Bench bench(WithFaults({.dropEvery = 3}));
    for (int i = 1; i <= 6; ++i) {
        const Bytes out = bench.Exchange(Request(0xFE));
        if (i % 3 == 0) {
            EXPECT_TRUE(out.empty()) << "reply " << i;
        } else {
            EXPECT_THAT(out, ElementsAreArray(kStopReply)) << "reply " << i;
        }
    }
}

TEST(FaultTest, DroppedReplyStillHasTheRequestCarriedOut) {
    Bench bench(WithFaults({.dropEvery = 1}));
    EXPECT_TRUE(bench.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})).empty());
    EXPECT_EQ(bench.sim.Memory().At(101), 0x2A);
}

TEST(FaultTest, IgnoredWriteIsAcknowledgedButOnlyOtherBlocksChange) {
    Bench bench(WithFaults({.ignoreWriteAddress = 101}));
    const std::uint8_t before = bench.sim.Memory().At(101);
    const Bytes done{0xE0, 0x03, 0x62, 0x00, 0xBB};
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})), ElementsAreArray(done));
    EXPECT_EQ(bench.sim.Memory().At(101), before);
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x01, 0x00, 0x64, 0x2A})), ElementsAreArray(done));
    EXPECT_EQ(bench.sim.Memory().At(100), 0x2A);
}

TEST(FaultTest, DelayHoldsTheReplyBackByTheGivenTime) {
    Bench bench(WithFaults({.delayMs = 250}));
    bench.Send(Request(0xFE));
    EXPECT_TRUE(bench.Wait(252ms).empty());
    EXPECT_THAT(bench.Wait(10ms), ElementsAreArray(kStopReply));
}

TEST(FaultTest, CorruptEveryNthAltersExactlyOneByteInN) {
    Bench clean;
    Bench faulty(WithFaults({.corruptEvery = 4}));
    Bytes expected;
    Bytes got;
    for (int i = 0; i < 4; ++i) {
        const Bytes a = clean.Exchange(Request(0x63, {0x08, 0x00, 0x70}));
        const Bytes b = faulty.Exchange(Request(0x63, {0x08, 0x00, 0x70}));
        expected.insert(expected.end(), a.begin(), a.end());
        got.insert(got.end(), b.begin(), b.end());
    }
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if ((i + 1) % 4 == 0) {
            EXPECT_NE(got[i], expected[i]) << "byte " << i;
        } else {
            EXPECT_EQ(got[i], expected[i]) << "byte " << i;
        }
    }
    EXPECT_TRUE(SplitFrames(got).frames.empty());  // every 15-byte reply has a bad byte
}

TEST(FaultTest, SilentAfterNAnswersNFramesThenSendsNothingAtAll) {
    SimConfig config = WithFaults({.silentAfter = 2});
    config.tagRate = 20;
    Bench bench(config);
    EXPECT_THAT(bench.Exchange(Request(0xFE)), ElementsAreArray(kStopReply));
    const SplitResult resumed = SplitFrames(bench.Exchange(Request(0x65)));
    ASSERT_FALSE(resumed.frames.empty());
    EXPECT_THAT(resumed.frames.front(), ElementsAreArray(Bytes{0xE0, 0x03, 0x65, 0x00, 0xB8}));
    EXPECT_EQ(resumed.frames.size(), 1u);  // silent from then on: no tag frames either
    EXPECT_TRUE(bench.Exchange(Request(0xFE)).empty());
    EXPECT_TRUE(bench.Wait(5s).empty());
}

TEST(FaultTest, SilentAfterZeroNeverAnswers) {
    Bench bench(WithFaults({.silentAfter = 0}));
    EXPECT_TRUE(bench.Exchange(Request(0xFE)).empty());
    EXPECT_TRUE(bench.Exchange(Request(0x69, {0x00})).empty());
}

TEST(FaultTest, GarbagePrecedesEachReplyAndNeverStartsAFrame) {
    Bench bench(WithFaults({.garbageBytes = 7}));
    for (int i = 0; i < 20; ++i) {
        const Bytes out = bench.Exchange(Request(0xFE));
        ASSERT_EQ(out.size(), 12u);
        EXPECT_EQ(Bytes(out.begin() + 7, out.end()), kStopReply);
        for (int j = 0; j < 7; ++j) {
            EXPECT_NE(out[j], 0xE0);
            EXPECT_NE(out[j], 0xE4);
            EXPECT_NE(out[j], 0x00);
        }
    }
}

TEST(FaultTest, Ack88AnswersStatusRequestsButNotReads) {
    Bench bench(WithFaults({.ack88 = true}));
    const Bytes ack{0xE0, 0x04, 0x88, 0x88, 0x88, 0x84};
    EXPECT_THAT(bench.Exchange(Request(0xFE)), ElementsAreArray(ack));
    EXPECT_THAT(bench.Exchange(Request(0x65)), ElementsAreArray(ack));
    EXPECT_THAT(bench.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})), ElementsAreArray(ack));
    EXPECT_THAT(bench.Exchange(Request(0x63, {0x02, 0x00, 0x64})),
                ElementsAreArray(Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x2A, 0x25}));
}

TEST(FaultTest, SplitSendsTheReplyInSeparateBurstsWithPausesBetween) {
    Bench bench(WithFaults({.splitParts = 3, .splitGapMs = 10}));
    bench.Send(Request(0x63, {0x08, 0x00, 0x70}));  // 15-byte reply: 5 + 5 + 5
    std::vector<Bytes> bursts;
    Bytes current;
    for (int ms = 0; ms < 200; ++ms) {
        const Bytes out = bench.Wait(1ms);
        if (out.empty() && !current.empty()) {
            // Two quiet milliseconds end a burst; one can fall between two bytes at 9600.
            const Bytes more = bench.Wait(1ms);
            if (more.empty()) {
                bursts.push_back(current);
                current.clear();
            } else {
                current.insert(current.end(), more.begin(), more.end());
            }
        }
        current.insert(current.end(), out.begin(), out.end());
    }
    ASSERT_EQ(bursts.size(), 3u);
    Bytes whole;
    for (const Bytes& b : bursts) {
        EXPECT_EQ(b.size(), 5u);
        whole.insert(whole.end(), b.begin(), b.end());
    }
    EXPECT_THAT(whole, ElementsAreArray(Bytes{0xE0, 0x0D, 0x63, 0x08, 0x00, 0x70, 0x01, 0x0A, 0x01,
                                              0x01, 0x0A, 0x0F, 0x01, 0x01, 0x10}));
}

TEST(FaultTest, ToolAtAnotherRateIsNotUnderstood) {
    Bench bench;
    bench.sim.SetHostBaud(19200);
    EXPECT_TRUE(bench.Exchange(Request(0xFE)).empty());
    bench.sim.SetHostBaud(9600);
    EXPECT_THAT(bench.Exchange(Request(0xFE)), ElementsAreArray(kStopReply));
}

TEST(FaultTest, ReaderHeardAtAnotherRateArrivesGarbled) {
    SimConfig config;
    config.tagRate = 20;
    Bench bench(config, {}, ReaderSimulator::Mode::Working);
    bench.sim.SetHostBaud(115200);
    const Bytes out = bench.Wait(1s);
    EXPECT_GE(out.size(), 14u * 19);
    const SplitResult result = SplitFrames(out);
    EXPECT_TRUE(result.frames.empty());
    bench.sim.SetHostBaud(0);  // unknown rate: taken as matching
    EXPECT_FALSE(SplitFrames(bench.Wait(1s)).frames.empty());
}

TEST(FaultTest, ToolThatStaysAt9600AfterTheBaudRateFrameLosesTheSizeFrame) {
    Bench bench;
    bench.sim.SetHostBaud(9600);
    bench.Exchange(Request(0x69, {0x00}));
    ASSERT_THAT(bench.Exchange({0xA0, 0x03, 0x64, 0x04, 0xF5}),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x64, 0x00, 0xB5}));
    EXPECT_TRUE(bench.Exchange({0xA0, 0x04, 0x66, 0x00, 0x40, 0xB6}).empty());
    bench.sim.SetHostBaud(115200);
    EXPECT_THAT(bench.Exchange({0xA0, 0x04, 0x66, 0x00, 0x40, 0xB6}),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x66, 0x00, 0xB3}));
}

}  // namespace
}  // namespace uhf
