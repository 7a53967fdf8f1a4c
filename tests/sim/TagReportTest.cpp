#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "fakes/SimTestSupport.h"
#include "sim/ReaderSimulator.h"

namespace uhf {
namespace {

using namespace test;
using ::testing::ElementsAreArray;

SimConfig TagConfig(int rate) {
    SimConfig config;
    config.tagRate = rate;
    return config;
}

TEST(TagReportTest, StoppedReaderSendsNothingUnasked) {
    Bench bench(TagConfig(10));
    EXPECT_TRUE(bench.Wait(5s).empty());
}

TEST(TagReportTest, ResumeStartsTagFramesAtTheSetRateAndStopEndsThem) {
    Bench bench(TagConfig(10));
    const Bytes resumeReply{0xE0, 0x03, 0x65, 0x00, 0xB8};
    bench.Send(Request(0x65));
    const SplitResult working = SplitFrames(bench.Wait(2s));
    EXPECT_TRUE(working.noise.empty());
    ASSERT_GE(working.frames.size(), 2u);
    EXPECT_EQ(working.frames.front(), resumeReply);
    std::size_t tags = 0;
    for (std::size_t i = 1; i < working.frames.size(); ++i) {
        EXPECT_TRUE(IsTagFrame(working.frames[i]));
        ++tags;
    }
    EXPECT_GE(tags, 19u);
    EXPECT_LE(tags, 21u);

    bench.Send(Request(0xFE));
    const SplitResult stopping = SplitFrames(bench.Wait(1s));
    ASSERT_FALSE(stopping.frames.empty());
    EXPECT_EQ(stopping.frames.back(), (Bytes{0xE0, 0x03, 0xFE, 0x00, 0x1F}));
    EXPECT_LE(stopping.frames.size(), 2u);  // at most the tag frame already on the line
    EXPECT_TRUE(bench.Wait(3s).empty());
}

TEST(TagReportTest, DefaultPopulationIsAHandfulOfTagsSomeReportedRepeatedly) {
    Bench bench(TagConfig(20), {}, ReaderSimulator::Mode::Working);
    const SplitResult result = SplitFrames(bench.Wait(3s));
    std::map<TagId, int> seen;
    for (const Bytes& frame : result.frames) {
        ASSERT_TRUE(IsTagFrame(frame));
        ++seen[TagOf(frame)];
    }
    EXPECT_EQ(seen.size(), 5u);
    // Every tag comes back, and the first one, close to the antenna, most often.
    const TagId first = TagOf(result.frames.front());
    for (const auto& [id, count] : seen) {
        EXPECT_GT(count, 1);
        if (id != first) {
            EXPECT_GT(seen[first], count);
        }
    }
}

TEST(TagReportTest, TagFramesCarryTheConfiguredIdentifiers) {
    SimConfig config = TagConfig(50);
    config.tags = {TagId{1, 2, 3, 4, 5, 6, 7, 8}};
    Bench bench(config, {}, ReaderSimulator::Mode::Working);
    const SplitResult result = SplitFrames(bench.Wait(100ms));
    ASSERT_FALSE(result.frames.empty());
    EXPECT_THAT(result.frames.front(), ElementsAreArray(Bytes{0xE0, 0x0C, 0x58, 0x00, 0x01, 1, 2, 3,
                                                              4, 5, 6, 7, 8, 0x97}));
}

TEST(TagReportTest, RequestWhileWorkingIsAnsweredBetweenTwoTagFrames) {
    Bench bench(TagConfig(60), {}, ReaderSimulator::Mode::Working);
    Bytes all = bench.Wait(103ms);  // in the middle of a tag frame
    bench.Send(Request(0x63, {0x02, 0x00, 0x64}));
    const Bytes rest = bench.Wait(300ms);
    all.insert(all.end(), rest.begin(), rest.end());
    const SplitResult result = SplitFrames(all);
    EXPECT_TRUE(result.noise.empty());
    int replies = 0;
    for (const Bytes& frame : result.frames) {
        if (!IsTagFrame(frame)) {
            EXPECT_THAT(frame, ElementsAreArray(
                                   Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x1E, 0x31}));
            ++replies;
        }
    }
    EXPECT_EQ(replies, 1);
    EXPECT_EQ(bench.sim.CurrentMode(), ReaderSimulator::Mode::Working);
}

TEST(TagReportTest, TagFramesNeverCrowdTheLineBeyondItsRate) {
    // 1000 reports a second do not fit 9600 baud (14.6 ms a frame): the frames queue end to end.
    Bench bench(TagConfig(1000), {}, ReaderSimulator::Mode::Working);
    const Bytes out = bench.Wait(1s);
    EXPECT_LE(out.size(), 960u);
    EXPECT_GE(out.size(), 900u);
}

}  // namespace
}  // namespace uhf
