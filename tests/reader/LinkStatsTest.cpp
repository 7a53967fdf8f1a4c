// The pure measures behind the doctor's turnaround, ferrowin-cli's prediction and tags --stats,
// fed by hand with the times they would see.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "reader/TagStats.h"
#include "reader/TurnaroundMeter.h"

namespace uhf {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// Stop and its answer, 9 bytes, take 9375 us at 9600 baud: what is left is the turnaround. A
// busy machine's one slow read moves the longest, not the median; a round trip shorter than its
// bytes is no negative turnaround; the newest kMaxSamples are what counts.
TEST(TurnaroundMeterTest, SubtractsTheWireTimeAndTakesTheMedianOfTheNewestSamples) {
    TurnaroundMeter meter;
    EXPECT_EQ(meter.Median(), microseconds{0});
    for (const long long us : {2100, 1900, 2000, 45000, 2050}) {
        meter.Add(microseconds{9375 + us}, 9, 9600);
    }
    EXPECT_EQ(meter.Count(), 5u);
    EXPECT_EQ(meter.Median(), microseconds{2050});
    EXPECT_EQ(meter.Longest(), microseconds{45000});
    EXPECT_EQ(meter.Mean(), microseconds{(2100 + 1900 + 2000 + 45000 + 2050) / 5});

    meter.Add(microseconds{9000}, 9, 9600);
    meter.Add(microseconds{9000}, 9, 9600);
    EXPECT_EQ(meter.Median(), microseconds{2000});
    TurnaroundMeter early;
    early.Add(microseconds{9000}, 9, 9600);
    EXPECT_EQ(early.Longest(), microseconds{0});

    // At 115200 a data frame and its answer, 75 bytes, take 6511 us.
    for (std::size_t i = 0; i < TurnaroundMeter::kMaxSamples; ++i) {
        meter.Add(microseconds{6511 + 16000}, 75, 115200);
    }
    EXPECT_EQ(meter.Count(), TurnaroundMeter::kMaxSamples);
    EXPECT_EQ(meter.Median(), microseconds{16000});
    EXPECT_EQ(meter.Longest(), microseconds{16000}) << "the old samples are gone";
}

using Tag = TagStats::TagId;
const Tag kA{0xE2, 0, 0, 0, 0, 0, 0, 1};
const Tag kB{0xE2, 0, 0, 0, 0, 0, 0, 2};
const Tag kC{0xE2, 0, 0, 0, 0, 0, 0, 3};

std::vector<std::uint8_t> Records(const std::vector<Tag>& tags) {
    std::vector<std::uint8_t> bytes;
    for (const Tag& tag : tags) {
        bytes.insert(bytes.end(), tag.begin(), tag.end());
    }
    return bytes;
}

// Batches taken every 100 ms from 0.3 s after the start: the first batch's 5 reports came at an
// unknown time and only mark where the rate starts. Then 20 reports a second for 2 s, A twice
// as often as B and C, and for the last second 40 a second.
TEST(TagStatsTest, CountsEachTagAndRatesFromTheFirstBatchOnAndOverTheLastSecond) {
    const auto start = TagStats::Clock::time_point{} + std::chrono::seconds(100);
    TagStats stats(start);
    auto add = [&](milliseconds at, const std::vector<Tag>& tags) {
        const std::vector<std::uint8_t> bytes = Records(tags);
        stats.Add(start + at, bytes.data(), static_cast<int>(tags.size()));
    };
    add(milliseconds(300), {kA, kA, kB, kC, kA});
    for (int batch = 1; batch <= 20; ++batch) {
        add(milliseconds(300 + 100 * batch), {kA, kB});  // 20 a second for 2 s
    }
    add(milliseconds(2400), {});  // a take that found nothing still marks the time
    for (int batch = 1; batch <= 10; ++batch) {
        add(milliseconds(2400 + 100 * batch), {kA, kC, kA, kB});  // 40 a second
    }

    EXPECT_EQ(stats.Reports(), 5 + 40 + 40);
    EXPECT_EQ(stats.Distinct(), 3u);
    // 80 reports from 0.3 s to 3.4 s.
    EXPECT_DOUBLE_EQ(stats.PerSecond(), 80 / 3.1);
    EXPECT_DOUBLE_EQ(stats.LastSecondPerSecond(), 40.0);

    const std::vector<TagStats::Tag> rows = stats.ByCount();
    ASSERT_EQ(rows.size(), 3u);
    const std::array<Tag, 3> order{kA, kB, kC};
    const std::array<long, 3> counts{3 + 20 + 20, 1 + 20 + 10, 1 + 10};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].id, order[i]);
        EXPECT_EQ(rows[i].count, counts[i]);
        EXPECT_DOUBLE_EQ(rows[i].perSecond, stats.PerSecond() * counts[i] / 85.0);
    }
    EXPECT_EQ(rows[0].firstSeen, milliseconds(300));
    EXPECT_EQ(rows[0].lastSeen, milliseconds(3400));
    EXPECT_EQ(rows[2].firstSeen, milliseconds(300));
    EXPECT_EQ(rows[2].lastSeen, milliseconds(3400));
    EXPECT_EQ(rows[1].lastSeen, milliseconds(3400));
}

TEST(TagStatsTest, OneBatchHasNoRateYet) {
    TagStats stats(TagStats::Clock::time_point{});
    const std::vector<std::uint8_t> bytes = Records({kA});
    stats.Add(TagStats::Clock::time_point{} + milliseconds(500), bytes.data(), 1);
    EXPECT_EQ(stats.Reports(), 1);
    EXPECT_EQ(stats.PerSecond(), 0.0);
    EXPECT_EQ(stats.LastSecondPerSecond(), 0.0);
    EXPECT_EQ(stats.ByCount().at(0).perSecond, 0.0);
}

}  // namespace
}  // namespace uhf
