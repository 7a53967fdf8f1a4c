#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fakes/FakeReaderLink.h"
#include "reader/ParamUpdate.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using F = ParamField;
using Outcome = ParamUpdate::Outcome;

struct UpdateCase {
    const char* name;
    std::vector<ParamChange> changes;
    bool onlyDifferences;
    bool readBack;
    Outcome outcome;
    std::string wire;               // the block requests sent: r read, w write
    std::vector<ParamField> named;  // the refused field, or the ones not kept
    std::string error;
    int answered = 1000;     // the reader answers only its first requests
    int ignoreWriteAt = -1;  // acknowledged, not stored
    int failWriteAt = -1;
};

void PrintTo(const UpdateCase& c, std::ostream* out) {
    *out << c.name;
}

class ParamUpdateTest : public testing::TestWithParam<UpdateCase>,
                        protected test::FakeReaderLink {};

const std::string kRead(7, 'r');
const std::string kWrite(7, 'w');

TEST_P(ParamUpdateTest, ChecksReadsWritesAndReadsBack) {
    const UpdateCase& c = GetParam();
    reader.ignoreWriteAt = c.ignoreWriteAt;
    reader.failWriteAt = c.failWriteAt;
    port->SetResponder([this, c](const Bytes& written) {
        std::lock_guard<std::mutex> lock(readerMutex);
        const Bytes answer = reader.Answer(written);
        return reader.requests > c.answered || answer.empty() ? std::vector<Bytes>{}
                                                              : std::vector<Bytes>{answer};
    });
    ASSERT_TRUE(link->Open("/dev/ttyUSB0", 9600));
    const auto memoryBefore = reader.memory;

    const ParamUpdate update = ParamUpdate::Run(*link, c.changes, c.onlyDifferences, c.readBack);

    EXPECT_EQ(update.outcome, c.outcome);
    std::string wire;
    for (const Bytes& request : port->Writes()) {
        wire += request.at(2) == 0x63 ? 'r' : request.at(2) == 0x62 ? 'w' : '?';
    }
    EXPECT_EQ(wire, c.wire);
    EXPECT_EQ(update.fields, c.named);
    EXPECT_EQ(update.error, c.error);
    if (c.outcome == Outcome::Done || c.outcome == Outcome::NotKept) {
        ReaderParams expected = update.before;
        for (const ParamChange& change : c.changes) {
            expected[change.field] = static_cast<std::uint8_t>(change.value);
        }
        EXPECT_TRUE(update.wanted == expected);
        for (const ParamFieldInfo& info : ParamFields()) {
            EXPECT_EQ(update.before[info.field], memoryBefore[info.address]) << info.name;
            EXPECT_EQ(update.after[info.field],
                      c.readBack ? reader.memory[info.address] : expected[info.field])
                << info.name;
        }
    }
    if (c.outcome == Outcome::Refused) {
        EXPECT_EQ(reader.memory, memoryBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ParamUpdateTest,
    testing::Values(
        UpdateCase{"EveryBlockThenReadBack",
                   {{F::Power, 40}, {F::CardMode, 0}},
                   false,
                   true,
                   Outcome::Done,
                   kRead + kWrite + kRead,
                   {},
                   ""},
        UpdateCase{"OnlyTheDifferingBlock",
                   {{F::Power, 40}, {F::CardMode, 1}},
                   true,
                   true,
                   Outcome::Done,
                   kRead + "w" + kRead,
                   {},
                   ""},
        UpdateCase{
            "NoReadBack", {{F::Power, 40}}, false, false, Outcome::Done, kRead + kWrite, {}, ""},
        // Checked before anything is sent; the first change out of range is named.
        UpdateCase{"OutOfRangeSendsNothing",
                   {{F::Power, 40}, {F::Power, 256}, {F::ConnectPort, 0}},
                   false,
                   true,
                   Outcome::Refused,
                   "",
                   {F::Power},
                   "power is 256, out of its range"},
        UpdateCase{"BelowItsRangeSendsNothing",
                   {{F::Protocol, 0}},
                   false,
                   true,
                   Outcome::Refused,
                   "",
                   {F::Protocol},
                   "protocol is 0, out of its range"},
        UpdateCase{"ReadFails",
                   {{F::Power, 40}},
                   false,
                   true,
                   Outcome::ReadFailed,
                   "r",
                   {},
                   "no reply from the reader",
                   0},
        UpdateCase{"WriteFailsNamingTheBlocksWritten",
                   {{F::Power, 40}},
                   false,
                   true,
                   Outcome::WriteFailed,
                   kRead + "www",
                   {},
                   "the reader refused the request: at the block at address 123 (already "
                   "written: the blocks at 100, 112)",
                   1000,
                   -1,
                   123},
        UpdateCase{"ReadBackFails",
                   {{F::Power, 40}},
                   false,
                   true,
                   Outcome::ReadBackFailed,
                   kRead + kWrite + "r",
                   {},
                   "no reply from the reader",
                   14},
        // Acknowledged but not stored: the fields the write changed there are named, the
        // carried ones it wrote unchanged are not.
        UpdateCase{"ReaderKeepsItsOldBlock",
                   {{F::Power, 40}, {F::Protocol, 1}, {F::TimeDistance, 6}},
                   false,
                   true,
                   Outcome::NotKept,
                   kRead + kWrite + kRead,
                   {F::Protocol, F::TimeDistance},
                   "",
                   1000,
                   112}),
    [](const testing::TestParamInfo<UpdateCase>& info) { return info.param.name; });

}  // namespace
}  // namespace uhf
