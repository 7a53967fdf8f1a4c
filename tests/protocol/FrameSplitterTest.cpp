#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/FrameSplitter.h"

namespace uhf {
namespace {

struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;   // hexadecimal, fed one after the other
    std::vector<std::string> fed;      // "HEX | meaning", as the feeds gave them
    std::vector<std::string> flushed;  // what the flush behind them gave
};

std::vector<std::uint8_t> Parse(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(hex);
    std::string cell;
    while (in >> cell) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(cell, nullptr, 16)));
    }
    return bytes;
}

std::vector<std::string> Lines(const std::vector<FramePiece>& pieces) {
    std::vector<std::string> lines;
    for (const FramePiece& piece : pieces) {
        lines.push_back(HexText(piece.bytes.data(), piece.bytes.size()) + " | " + piece.meaning);
    }
    return lines;
}

class FrameSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(FrameSplitterTest, CutsAndDescribesEveryFrameKind) {
    FrameSplitter splitter;
    std::vector<std::string> fed;
    for (const std::string& chunk : GetParam().chunks) {
        const std::vector<std::uint8_t> bytes = Parse(chunk);
        for (const std::string& line : Lines(splitter.Feed(bytes.data(), bytes.size()))) {
            fed.push_back(line);
        }
    }
    EXPECT_EQ(fed, GetParam().fed);
    EXPECT_EQ(splitter.Holding(), !GetParam().flushed.empty());
    EXPECT_EQ(Lines(splitter.Flush()), GetParam().flushed);
    EXPECT_FALSE(splitter.Holding());
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameSplitterTest,
    testing::Values(
        SplitCase{"Stop", {"A0 02 FE 60"}, {"A0 02 FE 60 | Stop"}, {}},
        SplitCase{"Resume", {"A0 02 65 F9"}, {"A0 02 65 F9 | Resume"}, {}},
        SplitCase{
            "ReadBlock", {"A0 05 63 02 00 64 92"}, {"A0 05 63 02 00 64 92 | ReadBlock 100+2"}, {}},
        SplitCase{"WriteBlock",
                  {"A0 07 62 02 00 64 00 1E 73"},
                  {"A0 07 62 02 00 64 00 1E 73 | WriteBlock 100+2: 00 1E"},
                  {}},
        SplitCase{"ReadBlockReply",
                  {"E0 07 63 02 00 64 11 1E 21"},
                  {"E0 07 63 02 00 64 11 1E 21 | reply to ReadBlock: 02 00 64, values 11 1E"},
                  {}},
        SplitCase{
            "StatusRepliesOfBothHeaders",
            {"E0 03 FE 00 1F E4 03 FE 00 1B E0 03 62 01 BA"},
            {"E0 03 FE 00 1F | reply to Stop: status 0", "E4 03 FE 00 1B | reply to Stop: status 0",
             "E0 03 62 01 BA | reply to WriteBlock: status 1"},
            {}},
        SplitCase{"Acknowledgements",
                  {"E0 04 88 88 88 84 E0 04 88 88 00 0C"},
                  {"E0 04 88 88 88 84 | ack", "E0 04 88 88 00 0C | ack with 88 00"},
                  {}},
        SplitCase{"TagReport",
                  {"E0 0C 58 00 01 01 02 03 04 05 06 07 08 97"},
                  {"E0 0C 58 00 01 01 02 03 04 05 06 07 08 97 | tag report 01 02 03 04 05 06 "
                   "07 08"},
                  {}},
        SplitCase{"ShortLengthRuleAndUnknownCode",
                  {"E0 04 80 00 9C E0 04 12 01 02 07"},
                  {"E0 04 80 00 9C | reply 0x80: 00", "E0 04 12 01 02 07 | reply 0x12: 01 02"},
                  {}},
        SplitCase{"FixedFrame",
                  {"00 FF 00 01 02 03 04 05 06 07 08 09 0A 0B 0C B3 FF"},
                  {"00 FF 00 01 02 03 04 05 06 07 08 09 0A 0B 0C B3 FF | fixed frame 01 02 03 "
                   "04 05 06 07 08 09 0A 0B 0C"},
                  {}},
        SplitCase{"ProbesWrittenTogether",
                  {"A0 03 69 00 F4 52 46 00 00 00 F4 00 00 74"},
                  {"A0 03 69 00 F4 | probe", "52 46 00 00 00 F4 00 00 74 | alternate probe"},
                  {}},
        SplitCase{"BaudChanges",
                  {"A0 03 64 04 F5 A0 03 64 09 F0"},
                  {"A0 03 64 04 F5 | baud change to 115200",
                   "A0 03 64 09 F0 | baud change to an unknown rate, index 9"},
                  {}},
        SplitCase{"DataFramesCountedFromTheSize",
                  {"A0 07 67 01 02 03 00 00 EC", "A0 04 66 03 E8 0B", "A0 07 67 01 02 03 00 00 EC",
                   "A0 07 67 01 02 03 00 00 EC A0 02 68 F6"},
                  {"A0 07 67 01 02 03 00 00 EC | upgrade data, 3 bytes",
                   "A0 04 66 03 E8 0B | image size 1000 bytes, 16 data frames",
                   "A0 07 67 01 02 03 00 00 EC | upgrade data 1/16, 3 bytes",
                   "A0 07 67 01 02 03 00 00 EC | upgrade data 2/16, 3 bytes", "A0 02 68 F6 | end"},
                  {}},
        SplitCase{"UpgradeAnswers",
                  {"E4 03 67 00 B2 E4 03 69 00 B0"},
                  {"E4 03 67 00 B2 | reply to upgrade data: status 0",
                   "E4 03 69 00 B0 | reply to probe: status 0"},
                  {}},
        SplitCase{"UnknownRequest", {"A0 03 33 07 23"}, {"A0 03 33 07 23 | request 0x33: 07"}, {}},
        SplitCase{"GarbageBeforeAFrame",
                  {"01 02 03 A0 02 FE 60"},
                  {"01 02 03 | garbage, 3 bytes", "A0 02 FE 60 | Stop"},
                  {}},
        SplitCase{"BadChecksumIsGarbage", {"A0 02 FE 61"}, {"A0 02 FE 61 | garbage, 4 bytes"}, {}},
        SplitCase{"FrameInPieces",
                  {"E0", "03 FE", "00 1F"},
                  {"E0 03 FE 00 1F | reply to Stop: status 0"},
                  {}},
        SplitCase{"UnfinishedFrameAtTheEnd", {"E0 03 FE"}, {}, {"E0 03 FE | garbage, 3 bytes"}},
        SplitCase{"FalseLengthHoldsUntilTheFlush",
                  {"E0 FF A0 02 FE 60"},
                  {},
                  {"E0 FF | garbage, 2 bytes", "A0 02 FE 60 | Stop"}},
        SplitCase{"OneByteOfGarbage", {"7F"}, {"7F | garbage, 1 byte"}, {}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace uhf
