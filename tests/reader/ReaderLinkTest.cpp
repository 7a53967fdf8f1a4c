#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeReader.h"
#include "fakes/FakeSerialPort.h"
#include "reader/ReaderLink.h"

namespace uhf {
void PrintTo(LinkError error, std::ostream* os) {
    *os << ToString(error);
}
}  // namespace uhf

namespace uhf::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const Bytes kStopDone{0xE0, 0x03, 0xFE, 0x00, 0x1F};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class ReaderLinkTest : public testing::Test {
  protected:
    ReaderLinkTest() {
        auto fake = std::make_unique<FakeSerialPort>();
        port = fake.get();
        link = std::make_unique<ReaderLink>(std::move(fake),
                                            [this](milliseconds d) { pauses.push_back(d); });
    }

    void OpenLink() { ASSERT_TRUE(link->Open("/dev/ttyUSB0", 9600)); }

    // The fake reader answers every request, each answer in one segment.
    void Answer(FakeReader& reader) {
        port->SetResponder([&reader](const Bytes& written) {
            Bytes answer = reader.Answer(written);
            return answer.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{answer};
        });
    }

    // Answers the next request with exactly these segments.
    void AnswerOnce(std::vector<Bytes> segments) {
        port->SetResponder([segments, used = false](const Bytes&) mutable {
            if (used) {
                return std::vector<Bytes>{};
            }
            used = true;
            return segments;
        });
    }

    FakeSerialPort* port = nullptr;
    std::unique_ptr<ReaderLink> link;
    std::vector<milliseconds> pauses;
};

TEST_F(ReaderLinkTest, OpenUsesThePortPathAsGiven) {
    const std::string path = "/dev/serial/by-id/usb-Some_Vendor_UHF_Reader_0123456789-if00-port0";
    ASSERT_TRUE(link->Open(path, 115200));
    EXPECT_EQ(port->openedDevice, path);
    EXPECT_EQ(port->openedBaud, 115200);
    EXPECT_TRUE(link->IsOpen());
}

TEST_F(ReaderLinkTest, FailedOpenSaysWhyAndLeavesThePortClosed) {
    OpenLink();
    port->openResult = SerialError::PermissionDenied;
    EXPECT_FALSE(link->Open("/dev/ttyS0", 9600));
    EXPECT_FALSE(link->IsOpen()) << "the port that was open is closed all the same";
    EXPECT_EQ(link->LastError(), LinkError::OpenFailed);
    EXPECT_EQ(link->LastOpenError(), SerialError::PermissionDenied);
}

TEST_F(ReaderLinkTest, CommandsWithoutAPortSendNothing) {
    ReaderParams record{.param112 = 1, .connectPort = 1, .protocol = 1};
    std::uint8_t values[8] = {};
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastError(), LinkError::NotOpen);
    EXPECT_FALSE(link->Resume());
    EXPECT_FALSE(link->ReadBlock(0, 100, 2, values));
    EXPECT_FALSE(link->ReadParams(record));
    EXPECT_FALSE(link->WriteParams(record));
    EXPECT_FALSE(link->StartTagCollection());
    EXPECT_FALSE(link->ReceiveThreadStarted());
    EXPECT_TRUE(port->Writes().empty());
    EXPECT_TRUE(pauses.empty());
}

TEST_F(ReaderLinkTest, StopSendsItsRequestAndPausesBeforeTheRead) {
    OpenLink();
    AnswerOnce({kStopDone});
    EXPECT_TRUE(link->Stop());
    EXPECT_EQ(port->Writes(), std::vector<Bytes>{kStopRequest});
    EXPECT_EQ(pauses, std::vector<milliseconds>{milliseconds(100)});
    EXPECT_EQ(port->ReadCalls(), 1) << "one read per wait";
}

TEST_F(ReaderLinkTest, ResumeSendsItsRequest) {
    OpenLink();
    AnswerOnce({FakeReader::Reply(0xE0, 0x65, {0x00})});
    EXPECT_TRUE(link->Resume());
    EXPECT_EQ(port->Writes(), std::vector<Bytes>{kResumeRequest});
}

// An open link whose reader answers every request with `reply` (stays silent when it is empty).
std::unique_ptr<ReaderLink> OpenLinkAnswering(const Bytes& reply) {
    auto port = std::make_unique<FakeSerialPort>();
    port->SetResponder([reply](const Bytes&) {
        return reply.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{reply};
    });
    auto link = std::make_unique<ReaderLink>(std::move(port), [](milliseconds) {});
    EXPECT_TRUE(link->Open("/dev/ttyUSB0", 9600));
    return link;
}

struct StatusCase {
    const char* name;
    Bytes reply;
    bool expected;
};

class StopReplyJudgement : public testing::TestWithParam<StatusCase> {};

TEST_P(StopReplyJudgement, JudgesTheReply) {
    const auto link = OpenLinkAnswering(GetParam().reply);
    EXPECT_EQ(link->Stop(), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StopReplyJudgement,
    testing::Values(
        StatusCase{"status 0", {0xE0, 0x03, 0xFE, 0x00, 0x1F}, true},
        StatusCase{"status 1", {0xE0, 0x03, 0xFE, 0x01, 0x1E}, false},
        StatusCase{"E4 header, status 0", {0xE4, 0x03, 0xFE, 0x00, 0x1B}, true},
        StatusCase{"acknowledgement", {0xE0, 0x04, 0x88, 0x88, 0x88, 0x84}, true},
        StatusCase{"half acknowledgement", {0xE0, 0x04, 0x88, 0x88, 0x00, 0x0C}, false},
        StatusCase{"0x88 with status 0", FakeReader::Reply(0xE0, 0x88, {0x00}), true},
        StatusCase{"0x88 with one data byte 0x88", FakeReader::Reply(0xE0, 0x88, {0x88}), false},
        StatusCase{"no data bytes", {0xE0, 0x02, 0xFE, 0x20, 0x00}, false},
        StatusCase{"answer to another command", FakeReader::Reply(0xE0, 0x65, {0x00}), false},
        StatusCase{"bad checksum", {0xE0, 0x03, 0xFE, 0x00, 0x1E}, false},
        StatusCase{"garbage", {0x12, 0x34, 0x56, 0x78, 0x9A}, false},
        StatusCase{"silence", {}, false},
        StatusCase{"length byte 1 with a matching checksum", {0xE0, 0x01, 0x1F, 0x00, 0x00}, false},
        StatusCase{"fixed 17-byte frame answers nothing",
                   {0x00, 0xFF, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xB3, 0xFF},
                   false}));

TEST_F(ReaderLinkTest, WaitReplySkipsStaleTagFrameBeforeAnswer) {
    OpenLink();
    const Bytes stale = FakeReader::TagFrame({1, 2, 3, 4, 5, 6, 7, 8});
    AnswerOnce({Join({{0x33, 0xE0}, stale, {0xE0, 0x0C}, kStopDone})});
    EXPECT_TRUE(link->Stop());
}

Bytes TagFrames(int count) {
    Bytes all;
    for (int n = 0; n < count; ++n) {
        const Bytes frame =
            FakeReader::TagFrame({0xA5, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(n)});
        all.insert(all.end(), frame.begin(), frame.end());
    }
    return all;
}

Bytes Tail(const Bytes& bytes, std::size_t from) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
}

struct BuriedCase {
    const char* name;
    std::vector<Bytes> segments;  // the first is in the port together with the request's answer
};

class BuriedAnswer : public testing::TestWithParam<BuriedCase> {};

// A reader that was working sends tags back to back until it answers Stop: at 9600 baud seven
// of them fill a 100-byte read, at 115200 the port holds over a thousand bytes by then.
TEST_P(BuriedAnswer, IsFoundBehindTagsAndNoise) {
    auto fake = std::make_unique<FakeSerialPort>();
    FakeSerialPort* port = fake.get();
    ReaderLink link(std::move(fake), [](milliseconds) {});
    ASSERT_TRUE(link.Open("/dev/ttyUSB0", 9600));
    std::vector<Bytes> segments = GetParam().segments;
    port->SetResponder([segments](const Bytes&) { return segments; });
    EXPECT_TRUE(link.Stop()) << GetParam().name << ": " << ToString(link.LastError());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BuriedAnswer,
    testing::Values(
        BuriedCase{"96 bytes of noise", {Join({Bytes(96, 0x55), kStopDone})}},
        BuriedCase{"seven tag frames", {Join({TagFrames(7), kStopDone})}},
        BuriedCase{"eighty tag frames", {Join({TagFrames(80), kStopDone})}},
        BuriedCase{"a tag frame cut by the purge", {Join({Tail(TagFrames(2), 5), kStopDone})}},
        BuriedCase{"an answer split between two reads", {{0xE0, 0x03, 0xFE}, {0x00, 0x1F}}},
        BuriedCase{"a header whose length claims more than ever comes",
                   {Join({{0xE0, 0xF0, 0x12}, kStopDone})}}));

TEST_F(ReaderLinkTest, IdenticalCopiesOfTheAnswerCountAsOne) {
    OpenLink();
    AnswerOnce({Join({kStopDone, kStopDone})});
    EXPECT_TRUE(link->Stop());
    EXPECT_EQ(port->PendingSegments(), 0u);
    port->SetResponder([](const Bytes&) { return std::vector<Bytes>{}; });
    EXPECT_FALSE(link->Stop()) << "the second frame of the earlier read is gone";
}

TEST_F(ReaderLinkTest, WhatThePortHoldsIsPurgedBeforeEachRequest) {
    OpenLink();
    FakeReader reader;
    Answer(reader);
    // A late copy of an earlier block's reply, still in the port when the next request goes out.
    port->Push(FakeReader::Reply(0xE0, 0x63, {0x00, 0x01, 123, 0x77}));
    std::uint8_t value = 0;
    EXPECT_TRUE(link->ReadBlock(0, 132, 1, &value));
    EXPECT_EQ(value, 9) << "the value at 132, not the stale copy's";
    port->Push(FakeReader::Reply(0xE0, 0x62, {0x00}));
    reader.failWriteAt = 135;
    value = 1;
    EXPECT_FALSE(link->WriteBlock(0, 135, 1, &value)) << "a stale \"done\" hides no refusal";
    EXPECT_EQ(link->LastError(), LinkError::StatusRefused);
    EXPECT_EQ(port->Purges(), 2);
}

struct CopyCase {
    const char* name;
    Bytes inPort;  // arrives after the purge, just ahead of the answer
    bool expected;
    LinkError error;
};

class LateCopyAheadOfTheAnswer : public testing::TestWithParam<CopyCase> {};

// Nothing tells a stale copy from the fresh answer: when they differ the exchange fails.
TEST_P(LateCopyAheadOfTheAnswer, FailsTheExchangeWhenTheyDiffer) {
    auto fake = std::make_unique<FakeSerialPort>();
    FakeSerialPort* port = fake.get();
    ReaderLink link(std::move(fake), [](milliseconds) {});
    ASSERT_TRUE(link.Open("/dev/ttyUSB0", 9600));
    FakeReader reader;
    reader.failWriteAt = 132;
    const Bytes copy = GetParam().inPort;
    port->SetResponder([&reader, copy](const Bytes& written) {
        return std::vector<Bytes>{Join({copy, reader.Answer(written)})};
    });
    std::uint8_t values[2] = {0xEE, 0xEE};
    const std::string name = GetParam().name;
    if (name.rfind("write", 0) == 0) {
        EXPECT_EQ(link.WriteBlock(0, 132, 1, values), GetParam().expected) << name;
    } else {
        EXPECT_EQ(link.ReadBlock(0, 100, 2, values), GetParam().expected) << name;
        EXPECT_EQ(values[0], GetParam().expected ? 7 : 0xEE) << name;
    }
    EXPECT_EQ(link.LastError(), GetParam().error) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LateCopyAheadOfTheAnswer,
    testing::Values(CopyCase{"read: the previous block's reply",
                             FakeReader::Reply(0xE0, 0x63, {0x01, 0x00, 132, 0x09}), false,
                             LinkError::Conflicting},
                    CopyCase{"read: the same reply",
                             FakeReader::Reply(0xE0, 0x63, {0x02, 0x00, 100, 7, 30}), true,
                             LinkError::None},
                    CopyCase{"read: an answer to another command",
                             FakeReader::Reply(0xE0, 0x62, {0x00}), true, LinkError::None},
                    CopyCase{"write: a done ahead of the refusal",
                             FakeReader::Reply(0xE0, 0x62, {0x00}), false, LinkError::Conflicting},
                    CopyCase{"write: an acknowledgement ahead of the refusal",
                             {0xE0, 0x04, 0x88, 0x88, 0x88, 0x84},
                             false,
                             LinkError::Conflicting},
                    CopyCase{"write: the same refusal", FakeReader::Reply(0xE0, 0x62, {0x05}),
                             false, LinkError::StatusRefused}));

TEST_F(ReaderLinkTest, AReplyWithAWrongChecksumIsNamed) {
    OpenLink();
    AnswerOnce({{0xE0, 0x03, 0xFE, 0x00, 0x1E}});
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastError(), LinkError::BadChecksum);
    EXPECT_EQ(link->LastErrorText(), "the reader's reply had a wrong checksum");
    AnswerOnce({});
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastErrorText(), "no reply from the reader");
}

TEST_F(ReaderLinkTest, ShortWriteFailsAndReleasesTheLock) {
    OpenLink();
    port->SetWriteLimit(3);
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastError(), LinkError::WriteFailed);
    EXPECT_TRUE(pauses.empty()) << "no reply is waited for";
    port->SetWriteLimit(-1);
    AnswerOnce({kStopDone});
    // From another thread, so that a lock left behind would show as a time-out.
    int result = -1;
    std::thread other([&] { result = link->Stop(); });
    other.join();
    EXPECT_EQ(result, 1);
}

TEST_F(ReaderLinkTest, VanishedPortFailsTheCommandAsALostDevice) {
    OpenLink();
    port->SetFailReads(true);
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastError(), LinkError::PortFailed);
    // Gone before the request left: the same, not a short write.
    port->SetFailWrites(true);
    EXPECT_FALSE(link->Stop());
    EXPECT_EQ(link->LastError(), LinkError::PortFailed);
    EXPECT_EQ(link->LastErrorText(), "the device was lost (the port failed while in use)");
}

TEST_F(ReaderLinkTest, ReadBlockSendsTheExactRequestAndCopiesTheValues) {
    OpenLink();
    AnswerOnce({FakeReader::Reply(0xE0, 0x63, {0x01, 0x02, 0x03, 0x2A, 0x2B, 0x2C})});
    std::uint8_t values[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(link->ReadBlock(0, 100, 2, values));
    EXPECT_EQ(port->Writes(), (std::vector<Bytes>{{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}}));
    EXPECT_EQ(values[0], 0x2A);
    EXPECT_EQ(values[1], 0x2B);
    EXPECT_EQ(values[2], 0xEE) << "only length bytes are copied";
}

TEST_F(ReaderLinkTest, ReadBlockTakesValuesFromAnAcknowledgementWithEnoughData) {
    OpenLink();
    AnswerOnce({FakeReader::Reply(0xE0, 0x88, {0x88, 0x88, 0x00, 0x07})});
    std::uint8_t value = 0;
    EXPECT_TRUE(link->ReadBlock(0, 123, 1, &value));
    EXPECT_EQ(value, 0x07);
}

struct BlockReplyCase {
    const char* name;
    Bytes reply;
    LinkError error;
};

class ReadBlockRefusal : public testing::TestWithParam<BlockReplyCase> {};

TEST_P(ReadBlockRefusal, FailsWithoutTouchingTheValues) {
    const auto link = OpenLinkAnswering(GetParam().reply);
    std::uint8_t values[2] = {0xEE, 0xEE};
    EXPECT_FALSE(link->ReadBlock(0, 100, 2, values)) << GetParam().name;
    EXPECT_EQ(link->LastError(), GetParam().error) << GetParam().name;
    EXPECT_EQ(values[0], 0xEE);
    EXPECT_EQ(values[1], 0xEE);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadBlockRefusal,
    testing::Values(BlockReplyCase{"E4 header", FakeReader::Reply(0xE4, 0x63, {0, 2, 100, 1, 2}),
                                   LinkError::WrongHeader},
                    BlockReplyCase{"one value short", FakeReader::Reply(0xE0, 0x63, {0, 2, 100, 1}),
                                   LinkError::ShortReply},
                    BlockReplyCase{"acknowledgement without values",
                                   {0xE0, 0x04, 0x88, 0x88, 0x88, 0x84},
                                   LinkError::ShortReply},
                    BlockReplyCase{
                        "no data", {0xE0, 0x02, 0x63, 0xBB, 0x00}, LinkError::ShortReply},
                    BlockReplyCase{"silence", {}, LinkError::NoReply}));

TEST_F(ReaderLinkTest, ReadParamsSendsTheSevenBlockReadsInOrder) {
    OpenLink();
    FakeReader reader;
    Answer(reader);
    ReaderParams record;
    ASSERT_TRUE(link->ReadParams(record));
    const std::vector<Bytes> expected{
        {0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}, {0xA0, 0x05, 0x63, 0x08, 0x00, 0x70, 0x80},
        {0xA0, 0x05, 0x63, 0x01, 0x00, 0x7B, 0x7C}, {0xA0, 0x05, 0x63, 0x01, 0x00, 0x84, 0x73},
        {0xA0, 0x05, 0x63, 0x01, 0x00, 0x87, 0x70}, {0xA0, 0x05, 0x63, 0x02, 0x00, 0x89, 0x6D},
        {0xA0, 0x05, 0x63, 0x01, 0x00, 0x90, 0x67}};
    EXPECT_EQ(port->Writes(), expected);
    EXPECT_EQ(pauses.size(), 7u);
    EXPECT_EQ(record.param100, 7);
    EXPECT_EQ(record.power, 30);
    EXPECT_EQ(record.param112, 2);
    EXPECT_EQ(record.timeDistance, 5);
    EXPECT_EQ(record.connectPort, 2);
    EXPECT_EQ(record.protocol, 3);
    EXPECT_EQ(record.pulseWidth, 10);
    EXPECT_EQ(record.pulsePeriods, 20);
    EXPECT_EQ(record.exportTime, 2);
    EXPECT_EQ(record.exportDistance, 4);
    EXPECT_EQ(record.idBorderUponDifferent, 1);
    EXPECT_EQ(record.param132, 9);
    EXPECT_EQ(record.cardMode, 1);
    EXPECT_EQ(record.param137, 12);
    EXPECT_EQ(record.lockedFrequency, 25);
}

TEST_F(ReaderLinkTest, ReadParamsStopsAtTheFirstFailedBlockAndKeepsTheRecord) {
    OpenLink();
    FakeReader reader;
    port->SetResponder([&reader](const Bytes& written) {
        if (reader.requests == 2) {
            ++reader.requests;
            return std::vector<Bytes>{};  // the third block gets no answer
        }
        return std::vector<Bytes>{reader.Answer(written)};
    });
    ReaderParams record;
    record.power = 99;
    record.connectPort = 1;
    EXPECT_FALSE(link->ReadParams(record));
    EXPECT_EQ(port->Writes().size(), 3u) << "no request after the failed block";
    EXPECT_EQ(record.power, 99);
    EXPECT_EQ(record.connectPort, 1);
    EXPECT_EQ(record.param100, 0);
}

TEST_F(ReaderLinkTest, WriteParamsSendsTheSevenBlockWritesInOrder) {
    OpenLink();
    FakeReader reader;
    Answer(reader);
    // Every field, in the order ReaderParams declares them.
    const ReaderParams record{0x00, 1, 1, 1, 0x1E, 2, 5, 6, 3, 10, 50, 0x42, 4, 2, 15};
    ASSERT_TRUE(link->WriteParams(record));
    const std::vector<Bytes> writes = port->Writes();
    ASSERT_EQ(writes.size(), 7u);
    EXPECT_EQ(writes[0], (Bytes{0xA0, 0x07, 0x62, 0x02, 0x00, 0x64, 0x00, 0x1E, 0x73}));
    EXPECT_EQ(writes[1], FakeReader::Reply(0xA0, 0x62, {8, 0, 112, 1, 2, 2, 4, 5, 6, 3, 10}));
    EXPECT_EQ(writes[2], FakeReader::Reply(0xA0, 0x62, {1, 0, 123, 1}));
    EXPECT_EQ(writes[3], FakeReader::Reply(0xA0, 0x62, {1, 0, 132, 0x42}));
    EXPECT_EQ(writes[4], (Bytes{0xA0, 0x06, 0x62, 0x01, 0x00, 0x87, 0x01, 0x6F}));
    EXPECT_EQ(writes[5], FakeReader::Reply(0xA0, 0x62, {1, 0, 137, 15})) << "137 alone";
    EXPECT_EQ(writes[6], FakeReader::Reply(0xA0, 0x62, {1, 0, 144, 50}));
    EXPECT_EQ(reader.memory[138], 0xAB) << "138 is never written";
}

TEST_F(ReaderLinkTest, WritingAnUnchangedRecordSendsBackWhatWasRead) {
    OpenLink();
    FakeReader reader;
    Answer(reader);
    const auto before = reader.memory;
    ReaderParams record;
    ASSERT_TRUE(link->ReadParams(record));
    ASSERT_TRUE(link->WriteParams(record));
    EXPECT_EQ(reader.blocksWritten, 7);
    EXPECT_EQ(reader.memory, before);
}

TEST_F(ReaderLinkTest, WriteParamsStopsAtTheFirstRefusedBlock) {
    OpenLink();
    FakeReader reader;
    reader.failWriteAt = 123;
    Answer(reader);
    ReaderParams record;
    ASSERT_TRUE(link->ReadParams(record));
    port->ClearWrites();
    record.power = 77;
    record.timeDistance = 66;
    EXPECT_FALSE(link->WriteParams(record));
    EXPECT_EQ(link->LastError(), LinkError::StatusRefused);
    EXPECT_EQ(link->LastErrorText(),
              "the reader refused the request: at the block at address 123 (already written: the "
              "blocks at 100, 112)");
    EXPECT_EQ(link->UncertainBlock(), -1) << "a refused block is not written";
    EXPECT_EQ(port->Writes().size(), 3u) << "never sends after a failed block";
    EXPECT_EQ(reader.memory[101], 77) << "earlier blocks stay written";
    EXPECT_EQ(reader.memory[113], 66);
}

TEST_F(ReaderLinkTest, WriteParamsSendsOnlyTheChosenBlocksOfWhatDiffers) {
    OpenLink();
    FakeReader reader;
    reader.failWriteAt = 144;
    Answer(reader);
    ReaderParams before;
    ASSERT_TRUE(link->ReadParams(before));
    ReaderParams wanted = before;
    wanted.protocol = 1;         // in the block at 112
    wanted.lockedFrequency = 0;  // the block at 144
    const unsigned blocks = DifferingBlocks(before, wanted);
    EXPECT_EQ(blocks, 0b1000010u);
    port->ClearWrites();
    EXPECT_FALSE(link->WriteParams(wanted, blocks));
    const std::vector<Bytes> writes = port->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], FakeReader::Reply(0xA0, 0x62, {8, 0, 112, 2, 5, 2, 1, 10, 20, 2, 4}));
    EXPECT_EQ(writes[1], FakeReader::Reply(0xA0, 0x62, {1, 0, 144, 0}));
    EXPECT_EQ(link->LastErrorText(),
              "the reader refused the request: at the block at address 144 (already written: the "
              "blocks at 112)");
    EXPECT_EQ(DifferingBlocks(before, before), 0u);
}

TEST_F(ReaderLinkTest, InvalidRecordIsRefusedWithoutBytesOnTheWire) {
    OpenLink();
    for (int which = 0; which < 3; ++which) {
        ReaderParams record{.param112 = 1, .connectPort = 1, .protocol = 1};
        if (which == 0) {
            record.param137 = 16;
        } else if (which == 1) {
            record.connectPort = 0;
        } else {
            record.protocol = 5;
        }
        EXPECT_FALSE(link->WriteParams(record));
        EXPECT_EQ(link->LastError(), LinkError::RecordInvalid);
        const char* named[] = {"param137 is 16, allowed 0 to 15",
                               "connectPort is 0, allowed 1 to 3", "protocol is 5, allowed 1 to 4"};
        EXPECT_EQ(link->LastErrorText(),
                  std::string("the parameter record is out of range (refused by IsValid): ") +
                      named[which]);
    }
    EXPECT_TRUE(port->Writes().empty());
}

TEST_F(ReaderLinkTest, StartTagCollectionNeedsResume) {
    OpenLink();
    FakeReader reader;
    reader.refuseResume = true;
    Answer(reader);
    EXPECT_FALSE(link->StartTagCollection());
    EXPECT_FALSE(link->ReceiveThreadStarted());
    EXPECT_EQ(port->Writes(), (std::vector<Bytes>{kStopRequest, kResumeRequest}));
}

TEST_F(ReaderLinkTest, WriteBlockRefusesMoreValuesThanTheSendBufferHolds) {
    OpenLink();
    std::vector<std::uint8_t> values(58, 1);
    EXPECT_FALSE(link->WriteBlock(0, 1, 58, values.data()));
    EXPECT_EQ(link->LastError(), LinkError::FrameRefused);
    EXPECT_TRUE(port->Writes().empty());
    FakeReader reader;
    Answer(reader);
    EXPECT_TRUE(link->WriteBlock(0, 1, 57, values.data()));
    ASSERT_EQ(port->Writes().size(), 1u);
    EXPECT_EQ(port->Writes()[0].size(), 64u);
}

}  // namespace
}  // namespace uhf::test
