#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "fakes/FakeReader.h"
#include "fakes/FakeReaderLink.h"
#include "reader/ReaderLink.h"

namespace uhf {
namespace {

using test::FakeReader;
using Bytes = std::vector<std::uint8_t>;
using Id = std::array<std::uint8_t, 8>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

Id IdOf(int n) {
    return Id{0xA5,
              0x00,
              0x00,
              0x00,
              0x00,
              0x00,
              static_cast<std::uint8_t>(n >> 8),
              static_cast<std::uint8_t>(n)};
}

class ReceiveThreadTest : public testing::Test, protected test::FakeReaderLink {
  protected:
    // A silent line makes the thread's read wait a little, as a real port would.
    ReceiveThreadTest() : FakeReaderLink(milliseconds(5)) {}

    void SetUp() override { ASSERT_TRUE(link->Open("/dev/ttyUSB0", 115200)); }

    // Takes records until `count` have come or two seconds have passed.
    std::vector<Id> TakeUntil(std::size_t count) {
        std::vector<Id> ids;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (ids.size() < count && Clock::now() < deadline) {
            TakeInto(ids);
            std::this_thread::sleep_for(milliseconds(2));
        }
        return ids;
    }

    void TakeInto(std::vector<Id>& ids) {
        std::vector<std::uint8_t> store(ReaderLink::kTagStoreSize);
        const int n = link->TakeTagRecords(store.data());
        for (int i = 0; i < n; ++i) {
            Id id{};
            std::copy_n(store.begin() + i * 8, 8, id.begin());
            ids.push_back(id);
        }
    }

    // Waits until the thread has read everything queued and made another full pass.
    void WaitUntilDrained() {
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (port->PendingSegments() > 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        const int reads = port->ReadCalls();
        while (port->ReadCalls() < reads + 2 && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
};

TEST_F(ReceiveThreadTest, CollectsATagFrameSplitAcrossReads) {
    ASSERT_TRUE(link->StartTagCollection());
    const Bytes frame = FakeReader::TagFrame(IdOf(1));
    port->Push(Bytes(frame.begin(), frame.begin() + 6));
    std::this_thread::sleep_for(milliseconds(20));
    port->PushAfterGap(Bytes(frame.begin() + 6, frame.end()));
    EXPECT_EQ(TakeUntil(1), std::vector<Id>{IdOf(1)});
}

TEST_F(ReceiveThreadTest, GarbageAndRepliesAreDroppedAndDuplicatesKept) {
    ASSERT_TRUE(link->StartTagCollection());
    Bytes bad = FakeReader::TagFrame(IdOf(9));
    bad[13] ^= 0xFF;
    Bytes mixed{0xE0, 0x0C, 0x58, 0x01};
    for (const Bytes& part :
         {FakeReader::TagFrame(IdOf(1)), bad, FakeReader::Reply(0xE0, 0xFE, {0}),
          FakeReader::TagFrame(IdOf(2)), FakeReader::TagFrame(IdOf(1))}) {
        mixed.insert(mixed.end(), part.begin(), part.end());
    }
    port->Push(mixed);
    port->Push(Bytes(3000, 0x42));  // more garbage than the buffer holds
    port->Push(FakeReader::TagFrame(IdOf(3)));
    EXPECT_EQ(TakeUntil(4), (std::vector<Id>{IdOf(1), IdOf(2), IdOf(1), IdOf(3)}));
}

TEST_F(ReceiveThreadTest, TheFourHundredAndFiftyFirstRecordStartsTheStoreAgain) {
    ASSERT_TRUE(link->StartTagCollection());
    Bytes segment;
    for (int n = 1; n <= 451; ++n) {
        const Bytes frame = FakeReader::TagFrame(IdOf(n));
        segment.insert(segment.end(), frame.begin(), frame.end());
        if (n % 100 == 0 || n == 451) {
            port->Push(segment);
            segment.clear();
        }
    }
    WaitUntilDrained();
    std::vector<Id> ids;
    TakeInto(ids);
    EXPECT_EQ(ids, std::vector<Id>{IdOf(451)}) << "the 450 records not taken are lost";
}

TEST_F(ReceiveThreadTest, StopEndsCollectionAndStartTagCollectionRestartsIt) {
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(1)));
    ASSERT_EQ(TakeUntil(1).size(), 1u);

    port->Push(FakeReader::TagFrame(IdOf(2)));
    WaitUntilDrained();
    ASSERT_TRUE(link->Stop());
    std::this_thread::sleep_for(milliseconds(50));
    port->Push(FakeReader::TagFrame(IdOf(3)));
    std::this_thread::sleep_for(milliseconds(50));
    std::vector<Id> ids;
    TakeInto(ids);
    EXPECT_TRUE(ids.empty()) << "Stop empties the store and the thread ends";

    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(4)));
    const std::vector<Id> after = TakeUntil(1);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), IdOf(4));
}

TEST_F(ReceiveThreadTest, RestartWhileRunningEndsTheOldThreadFirst) {
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(1)));
    ASSERT_EQ(TakeUntil(1).size(), 1u);
    // The reader refuses Stop, so the old thread is never told to stop by the protocol.
    port->SetResponder([](const Bytes& written) {
        const std::uint8_t status = written[2] == 0xFE ? 0x01 : 0x00;
        return std::vector<Bytes>{FakeReader::Reply(0xE0, written[2], {status})};
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(link->StartTagCollection());
        port->Push(FakeReader::TagFrame(IdOf(10 + round)));
        EXPECT_EQ(TakeUntil(1), std::vector<Id>{IdOf(10 + round)});
    }
}

TEST_F(ReceiveThreadTest, CommandRepliesNeverReachTheReceiveThread) {
    ASSERT_TRUE(link->StartTagCollection());
    for (int round = 0; round < 3; ++round) {
        port->Push(FakeReader::TagFrame(IdOf(round)));
        ReaderParams record;
        ASSERT_TRUE(link->ReadParams(record)) << "round " << round;
        EXPECT_EQ(record.power, 30);
    }
}

TEST_F(ReceiveThreadTest, CloseWhileRunningJoinsTheThreadBeforeClosingThePort) {
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(1)));
    ASSERT_TRUE(port->WaitUntilReading(milliseconds(1000)));
    link->Close();
    EXPECT_FALSE(link->ReceiveThreadStarted());
    EXPECT_FALSE(link->IsOpen());
}

// A silent line keeps a read of 2048 bytes waiting 2148 ms; a stop request must not wait for it.
TEST_F(ReceiveThreadTest, StopAndCloseWakeTheThreadFromALongRead) {
    port->SetEmptyReadWait(milliseconds(2148));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(link->StartTagCollection());
        std::this_thread::sleep_for(milliseconds(20));
        ASSERT_TRUE(port->WaitUntilReading(milliseconds(1000)));
        const auto start = Clock::now();
        if (round == 0) {
            EXPECT_TRUE(link->Stop()) << "a command waiting for the port is let in";
            link->Close();
        } else {
            link->Close();
        }
        EXPECT_LT(Clock::now() - start, milliseconds(1000)) << "round " << round;
        EXPECT_FALSE(link->ReceiveThreadStarted());
        ASSERT_TRUE(link->Open("/dev/ttyUSB0", 115200));
    }
}

TEST_F(ReceiveThreadTest, KeepModeKeepsTheFrameUnderWayWhenTheFinalStopTakesThePort) {
    link->KeepEveryTagReport(true);
    ASSERT_TRUE(link->StartTagCollection());
    port->HoldReads();
    ASSERT_TRUE(port->WaitUntilReading(milliseconds(1000)));
    int stopped = -1;
    std::thread command([&] { stopped = link->Stop(); });
    std::this_thread::sleep_for(milliseconds(50));  // Stop now waits for the port
    // The thread's read gets the first bytes of a frame; the rest is still on the line.
    const Bytes frame = FakeReader::TagFrame(IdOf(5));
    port->Push(Bytes(frame.begin(), frame.begin() + 6));
    port->PushAfterGap(Bytes(frame.begin() + 6, frame.end()));
    port->ReleaseReads();
    command.join();
    ASSERT_EQ(stopped, 1);
    link->Close();
    std::vector<Id> ids;
    TakeInto(ids);
    EXPECT_EQ(ids, std::vector<Id>{IdOf(5)});
}

// Checked by ThreadSanitizer: the carried bytes of the Resume read are handed over at the start.
TEST_F(ReceiveThreadTest, KeepModeCommandsRightAfterTheStartDoNotRaceTheThread) {
    link->KeepEveryTagReport(true);
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(link->StartTagCollection());
        ReaderParams record;
        EXPECT_TRUE(link->ReadParams(record));
        EXPECT_EQ(record.power, 30);
        EXPECT_TRUE(link->Stop());
    }
}

TEST_F(ReceiveThreadTest, DestroyingTheLinkWhileCollectingIsSafe) {
    ASSERT_TRUE(link->StartTagCollection());
    for (int n = 0; n < 20; ++n) {
        port->Push(FakeReader::TagFrame(IdOf(n)));
    }
    link.reset();
    SUCCEED() << "no thread outlived the link (checked by the sanitizers)";
}

TEST_F(ReceiveThreadTest, AFailingPortDoesNotMakeTheThreadSpin) {
    ASSERT_TRUE(link->StartTagCollection());
    port->SetFailReads(true);
    const int before = port->ReadCalls();
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_LT(port->ReadCalls() - before, 20);
    EXPECT_TRUE(link->ReceiveReadFailed());
    port->SetFailReads(false);
    port->Push(FakeReader::TagFrame(IdOf(7)));
    EXPECT_EQ(TakeUntil(1), std::vector<Id>{IdOf(7)}) << "the thread goes on after failures";
    EXPECT_FALSE(link->ReceiveReadFailed());
}

TEST_F(ReceiveThreadTest, CommandsGiveUpWhenThePortIsHeldForThreeSeconds) {
    ASSERT_TRUE(link->StartTagCollection());
    port->HoldReads();
    ASSERT_TRUE(port->WaitUntilReading(milliseconds(1000)));
    port->ClearWrites();
    ReaderParams record;
    record.power = 5;
    const auto start = Clock::now();
    EXPECT_FALSE(link->ReadParams(record));
    EXPECT_GE(Clock::now() - start, milliseconds(2900));
    EXPECT_EQ(link->LastError(), LinkError::LockTimeout);
    EXPECT_EQ(record.power, 5);
    ReaderParams valid;
    valid.connectPort = 1;
    valid.param112 = 1;
    valid.protocol = 1;
    EXPECT_FALSE(link->WriteParams(valid));
    EXPECT_EQ(link->LastError(), LinkError::LockTimeout);
    EXPECT_TRUE(port->Writes().empty()) << "nothing is sent without the lock";
    port->ReleaseReads();
    EXPECT_TRUE(link->ReadParams(record));
}

TEST_F(ReceiveThreadTest, NothingToTakeOnceTheThreadHasEnded) {
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(1)));
    WaitUntilDrained();
    ASSERT_TRUE(link->Stop());
    std::this_thread::sleep_for(milliseconds(30));
    std::vector<std::uint8_t> store(ReaderLink::kTagStoreSize);
    EXPECT_EQ(link->TakeTagRecords(store.data()), 0);
    EXPECT_EQ(link->TakeTagRecords(nullptr), 0);
}

TEST_F(ReceiveThreadTest, KeepModeTurnsTagsBehindTheResumeAnswerIntoRecords) {
    link->KeepEveryTagReport(true);
    const Bytes third = FakeReader::TagFrame(IdOf(3));
    port->SetResponder([&](const Bytes& written) {
        Bytes answer = FakeReader::Reply(0xE0, written[2], {0x00});
        if (written[2] == 0x65) {
            // The reader starts reporting right behind its answer; the read cuts the third frame.
            for (const Bytes& tag :
                 {FakeReader::TagFrame(IdOf(1)), FakeReader::TagFrame(IdOf(2))}) {
                answer.insert(answer.end(), tag.begin(), tag.end());
            }
            answer.insert(answer.end(), third.begin(), third.begin() + 6);
        }
        return std::vector<Bytes>{answer};
    });
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(Bytes(third.begin() + 6, third.end()));
    EXPECT_EQ(TakeUntil(3), (std::vector<Id>{IdOf(1), IdOf(2), IdOf(3)}));
}

TEST_F(ReceiveThreadTest, KeepModeLeavesEveryReportForTheTakeAfterStopAndClose) {
    link->KeepEveryTagReport(true);
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(1)));
    WaitUntilDrained();
    // Reports still on the line when Stop arrives come before its answer, in the same read.
    port->SetResponder([](const Bytes& written) {
        Bytes answer = FakeReader::TagFrame(IdOf(2));
        const Bytes reply = FakeReader::Reply(0xE0, written[2], {0x00});
        answer.insert(answer.end(), reply.begin(), reply.end());
        return std::vector<Bytes>{answer};
    });
    ASSERT_TRUE(link->Stop());
    link->Close();
    std::vector<Id> ids;
    TakeInto(ids);
    EXPECT_EQ(ids, (std::vector<Id>{IdOf(1), IdOf(2)}));
}

TEST_F(ReceiveThreadTest, WithoutKeepModeTagsBehindTheResumeAnswerAreDropped) {
    port->SetResponder([](const Bytes& written) {
        Bytes answer = FakeReader::Reply(0xE0, written[2], {0x00});
        if (written[2] == 0x65) {
            const Bytes tag = FakeReader::TagFrame(IdOf(1));
            answer.insert(answer.end(), tag.begin(), tag.end());
        }
        return std::vector<Bytes>{answer};
    });
    ASSERT_TRUE(link->StartTagCollection());
    port->Push(FakeReader::TagFrame(IdOf(2)));
    EXPECT_EQ(TakeUntil(1), std::vector<Id>{IdOf(2)});
}

}  // namespace
}  // namespace uhf
