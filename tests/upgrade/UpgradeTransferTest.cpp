#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TransferRig.h"

namespace uhf {
namespace {

using Kind = FakeTransferHost::Kind;
using Ends = std::vector<TransferEnd>;
using Reports = std::vector<TransferEvent>;
using Results = std::vector<TransferError>;

class UpgradeTransferTest : public testing::Test {
  protected:
    // A 1000-byte image under way: the first data frame is out and its acknowledgement due.
    void StartStreaming() {
        rig.UseImage(1000);
        rig.Start();
        rig.RunUntil(950);
        ASSERT_EQ(rig.transfer.Phase(), TransferPhase::Streaming);
    }

    TransferRig rig;
};

Bytes Wire(const FakeCommControl::WriteRecord& w) {
    return w.bytes;
}

TEST_F(UpgradeTransferTest, SuccessfulTransferFollowsTheTimerSchedule) {
    rig.UseImage(1000);
    rig.Start();

    ASSERT_EQ(rig.comm.opens.size(), 1U);
    EXPECT_EQ(rig.comm.opens[0].portName, "/dev/ttyFAKE0");
    EXPECT_EQ(rig.comm.opens[0].baudRate, 115200);
    ASSERT_EQ(rig.comm.writes.size(), 2U);
    EXPECT_EQ(Wire(rig.comm.writes[0]), (Bytes{0xA0, 0x03, 0x69, 0x00, 0xF4}));
    EXPECT_EQ(Wire(rig.comm.writes[1]),
              (Bytes{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74}));
    EXPECT_EQ(rig.clock.Deadline(UpgradeTransfer::kProbeTimer), 500);
    EXPECT_TRUE(rig.host.results.empty());
    EXPECT_EQ(rig.transfer.Phase(), TransferPhase::Probing);

    // The probe answer arrives at 10 ms but only the expiry at 500 ms moves on.
    rig.RunUntil(499);
    EXPECT_TRUE(rig.transfer.State().probeAcked);
    EXPECT_EQ(rig.comm.opens.size(), 1U);

    rig.RunUntil(500);
    ASSERT_EQ(rig.comm.opens.size(), 2U);
    EXPECT_EQ(rig.comm.opens[1].baudRate, 9600);
    EXPECT_EQ(rig.host.TimeOf(TransferEvent::BaudChange), 500);
    const auto baud = rig.Frames(0x64);
    ASSERT_EQ(baud.size(), 1U);
    EXPECT_EQ(baud[0].bytes, (Bytes{0xA0, 0x03, 0x64, 0x03, 0xF6}));
    EXPECT_EQ(baud[0].baudRate, 9600);
    EXPECT_EQ(rig.clock.Deadline(UpgradeTransfer::kBaudTimer), 800);

    rig.RunUntil(800);
    ASSERT_EQ(rig.comm.opens.size(), 3U);
    EXPECT_EQ(rig.comm.opens[2].baudRate, 57600);
    EXPECT_EQ(rig.host.TimeOf(TransferEvent::SendingImage), 800);
    const auto size = rig.Frames(0x66);
    ASSERT_EQ(size.size(), 1U);
    EXPECT_EQ(size[0].baudRate, 57600);
    EXPECT_FALSE(rig.clock.IsArmed(UpgradeTransfer::kAckTimer));

    // Size answer at 810, the blocking 100 ms pause, then data frame 0 with timer 2 armed.
    rig.RunUntil(910);
    EXPECT_EQ(rig.host.TimeOf(Kind::Pause), 810);
    ASSERT_EQ(rig.Frames(0x67).size(), 1U);
    EXPECT_EQ(rig.clock.Deadline(UpgradeTransfer::kAckTimer), 1910);

    rig.RunToEnd();
    EXPECT_FALSE(rig.transfer.IsRunning());
    EXPECT_EQ(rig.host.Reports(),
              (Reports{TransferEvent::BaudChange, TransferEvent::SendingImage}));
    EXPECT_FALSE(rig.comm.open);
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::None}});
    EXPECT_EQ(rig.host.Count(Kind::Pause), 1);
    EXPECT_FALSE(rig.clock.NextDeadline().has_value());
    EXPECT_TRUE(rig.transfer.State().imageData.empty());
    EXPECT_EQ(rig.reader.image, TransferRig::Pattern(1000));
}

TEST_F(UpgradeTransferTest, ThousandByteImageGoesOutInSixteenFrames) {
    rig.UseImage(1000);
    rig.Start();
    rig.RunToEnd();

    const auto size = rig.Frames(0x66);
    ASSERT_EQ(size.size(), 1U);
    EXPECT_EQ(size[0].bytes, (Bytes{0xA0, 0x04, 0x66, 0x03, 0xE8, 0x0B}));

    const auto data = rig.Frames(0x67);
    ASSERT_EQ(data.size(), 16U);
    const Bytes image = TransferRig::Pattern(1000);
    for (std::size_t i = 0; i < 15; ++i) {
        ASSERT_EQ(data[i].bytes.size(), 70U) << i;
        EXPECT_EQ(data[i].bytes[1], 0x44);
        EXPECT_EQ(Bytes(data[i].bytes.begin() + 3, data[i].bytes.begin() + 67),
                  Bytes(image.begin() + static_cast<long>(i) * 64,
                        image.begin() + static_cast<long>(i) * 64 + 64));
        EXPECT_EQ(PacketChecksum(data[i].bytes.data(), 69), data[i].bytes[69]);
    }
    ASSERT_EQ(data[15].bytes.size(), 46U);
    EXPECT_EQ(data[15].bytes[1], 0x2C);
    EXPECT_EQ(Bytes(data[15].bytes.begin() + 3, data[15].bytes.begin() + 43),
              Bytes(image.begin() + 960, image.end()));
    EXPECT_EQ(data[15].bytes[43], 0x00);
    EXPECT_EQ(data[15].bytes[44], 0x00);

    ASSERT_EQ(rig.comm.writes.back().bytes, (Bytes{0xA0, 0x02, 0x68, 0xF6}));
    // Announced with the size frame, then the bytes handed over after each data frame; the
    // window's bar shows them as the range 1 .. 16 and the positions 0 to 15.
    std::vector<std::pair<int, int>> expected{{0, 1000}};
    for (int i = 0; i < 16; ++i) {
        expected.emplace_back(std::min((i + 1) * 64, 1000), 1000);
    }
    EXPECT_EQ(rig.host.Progress(), expected);
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, HundredTwentyEightBytesMakeTwoFullFramesThenTheEnd) {
    rig.UseImage(128);
    rig.Start();
    rig.RunToEnd();
    const auto data = rig.Frames(0x67);
    ASSERT_EQ(data.size(), 2U);
    for (const auto& frame : data) {
        EXPECT_EQ(frame.bytes.size(), 70U);
        EXPECT_EQ(frame.bytes[1], 0x44);
    }
    ASSERT_EQ(rig.Frames(0x68).size(), 1U);
    EXPECT_EQ(rig.comm.writes.back().bytes, (Bytes{0xA0, 0x02, 0x68, 0xF6}));
    EXPECT_EQ(rig.reader.image, TransferRig::Pattern(128));
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

class SmallImageTest : public testing::TestWithParam<int> {};

TEST_P(SmallImageTest, FirstDataFrameIsAlreadyTheFinalOne) {
    const int size = GetParam();
    TransferRig rig;
    rig.UseImage(size);
    rig.Start();
    rig.RunToEnd();
    const auto data = rig.Frames(0x67);
    ASSERT_EQ(data.size(), 1U);
    EXPECT_EQ(data[0].bytes.size(), static_cast<std::size_t>(size + 6));
    EXPECT_EQ(data[0].bytes[1], size + 4);
    EXPECT_EQ(rig.host.Progress(), (std::vector<std::pair<int, int>>{{0, size}, {size, size}}));
    EXPECT_EQ(rig.comm.writes.back().bytes, (Bytes{0xA0, 0x02, 0x68, 0xF6}));
    EXPECT_EQ(rig.reader.image, TransferRig::Pattern(size));
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

INSTANTIATE_TEST_SUITE_P(OneToSixtyFour, SmallImageTest, testing::Range(1, 65));

TEST_F(UpgradeTransferTest, LargestImageArrivesWhole) {
    rig.UseImage(65535);
    rig.Start();
    rig.RunToEnd();
    EXPECT_EQ(rig.Frames(0x66)[0].bytes, (Bytes{0xA0, 0x04, 0x66, 0xFF, 0xFF, 0xF8}));
    EXPECT_EQ(rig.Frames(0x67).size(), 1024U);
    EXPECT_EQ(rig.Frames(0x67).back().bytes.size(), 69U);
    EXPECT_EQ(rig.reader.image, TransferRig::Pattern(65535));
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, ProbeAnswerAfterHundredMillisecondsWaitsForTheFirstExpiry) {
    rig.UseImage(10);
    rig.reader.replyDelayMs = 100;
    rig.Start();
    rig.RunUntil(100);
    EXPECT_TRUE(rig.transfer.State().probeAcked);
    rig.RunUntil(499);
    EXPECT_EQ(rig.comm.opens.size(), 1U);
    EXPECT_TRUE(rig.Frames(0x64).empty());
    rig.RunUntil(500);
    EXPECT_EQ(rig.comm.opens.size(), 2U);
    EXPECT_EQ(rig.host.TimeOf(TransferEvent::BaudChange), 500);
}

TEST_F(UpgradeTransferTest, SilentReaderGetsProbesEveryHalfSecondThenTheAttemptEnds) {
    rig.UseImage(10);
    rig.reader.answerProbe = false;
    rig.Start();
    rig.RunToEnd();

    std::vector<std::pair<ManualClock::Ms, std::uint8_t>> sent;
    for (std::size_t i = 0; i < rig.comm.writes.size(); ++i) {
        sent.emplace_back(rig.writeTimes[i], rig.comm.writes[i].bytes[0]);
    }
    const std::vector<std::pair<ManualClock::Ms, std::uint8_t>> expected{
        {0, 0xA0}, {0, 0x52}, {500, 0xA0}, {1000, 0x52}, {1500, 0xA0}, {2000, 0x52}, {2500, 0xA0}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::NoProbeAnswer}});
    EXPECT_EQ(rig.host.TimeOf(Kind::Finished), 3000);
    EXPECT_TRUE(rig.host.Reports().empty());
    EXPECT_FALSE(rig.comm.open);
}

TEST_F(UpgradeTransferTest, AnsweredFirstProbeLeavesSixBaudRateFrames) {
    rig.UseImage(10);
    rig.reader.answerBaud = false;
    rig.Start();
    rig.RunToEnd();
    const auto baud = rig.Frames(0x64);
    EXPECT_EQ(baud.size(), 6U);
    for (const auto& frame : baud) {
        EXPECT_EQ(frame.baudRate, 9600);
    }
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::NoBaudAnswer}});
    EXPECT_EQ(rig.host.TimeOf(Kind::Finished), 500 + 6 * 300);
    EXPECT_EQ(rig.host.Reports(), Reports{TransferEvent::BaudChange});
    EXPECT_FALSE(rig.comm.open);
}

TEST_F(UpgradeTransferTest, TwoSilentProbePeriodsLeaveFourBaudRateFrames) {
    rig.UseImage(10);
    rig.reader.answerProbe = false;
    rig.reader.answerBaud = false;
    rig.Start();
    rig.RunUntil(1200);
    EXPECT_EQ(rig.transfer.State().retryCount, 2);
    rig.Deliver(Ack(0x69));
    rig.RunToEnd();
    EXPECT_EQ(rig.host.TimeOf(TransferEvent::BaudChange), 1500);
    EXPECT_EQ(rig.Frames(0x64).size(), 4U);
    EXPECT_EQ(rig.host.results, Results{TransferError::NoBaudAnswer});
}

// A small image to a reader that does not answer the probe: the transfer keeps probing.
void StartWithASilentReader(TransferRig& rig) {
    rig.UseImage(10);
    rig.reader.answerProbe = false;
    rig.Start();
}

TEST_F(UpgradeTransferTest, NextStartResetsTheRetryCount) {
    StartWithASilentReader(rig);
    rig.RunToEnd();
    const std::size_t firstAttempt = rig.comm.writes.size();
    rig.Start();
    EXPECT_EQ(rig.transfer.State().retryCount, 0);
    rig.RunToEnd(rig.clock.Now() + 10000);
    EXPECT_EQ(rig.comm.writes.size(), 2 * firstAttempt);
}

TEST_F(UpgradeTransferTest, BaudAnswerAfterRetriesMovesOn) {
    rig.UseImage(100);
    rig.reader.baudFramesToIgnore = 2;
    rig.Start();
    rig.RunToEnd();
    EXPECT_EQ(rig.Frames(0x64).size(), 3U);
    EXPECT_EQ(rig.host.TimeOf(TransferEvent::SendingImage), 500 + 3 * 300);
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, UnacknowledgedDataFrameFailsAfterOneSecond) {
    rig.UseImage(1000);
    rig.reader.dataAcksBeforeSilence = 3;
    rig.Start();
    rig.RunToEnd();
    ASSERT_EQ(rig.Frames(0x67).size(), 4U);
    const ManualClock::Ms lastFrame = rig.writeTimes.back();
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::NoAcknowledgement}});
    EXPECT_EQ(rig.host.TimeOf(Kind::Finished), lastFrame + 1000);
    EXPECT_FALSE(rig.comm.open);
    EXPECT_TRUE(rig.transfer.State().imageData.empty());
    EXPECT_EQ(rig.host.Reports(),
              (Reports{TransferEvent::BaudChange, TransferEvent::SendingImage}));
}

TEST_F(UpgradeTransferTest, UnacknowledgedEndFrameFailsAfterOneSecond) {
    rig.UseImage(100);
    rig.reader.answerEnd = false;
    rig.Start();
    rig.RunToEnd();
    EXPECT_EQ(rig.comm.writes.back().bytes, (Bytes{0xA0, 0x02, 0x68, 0xF6}));
    EXPECT_EQ(rig.host.TimeOf(Kind::Finished), rig.writeTimes.back() + 1000);
    EXPECT_EQ(rig.host.results, Results{TransferError::NoAcknowledgement});
}

TEST_F(UpgradeTransferTest, UnansweredSizeFrameWaitsWithoutLimit) {
    rig.UseImage(100);
    rig.reader.answerSize = false;
    rig.Start();
    rig.RunUntil(3600 * 1000);
    EXPECT_TRUE(rig.transfer.IsRunning());
    EXPECT_EQ(rig.transfer.Phase(), TransferPhase::SizeAnnounced);
    EXPECT_TRUE(rig.comm.open);
    EXPECT_TRUE(rig.host.results.empty());
    EXPECT_EQ(rig.host.Reports().size(), 2U);
    rig.transfer.Cancel();
    EXPECT_FALSE(rig.comm.open);
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::Cancelled}});
}

TEST_F(UpgradeTransferTest, CancelDuringStreamingStopsEverything) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    rig.transfer.Cancel();
    EXPECT_FALSE(rig.comm.open);
    EXPECT_FALSE(rig.clock.NextDeadline().has_value());
    EXPECT_TRUE(rig.transfer.State().imageData.empty());
    const std::size_t writes = rig.comm.writes.size();
    rig.RunUntil(5000);
    EXPECT_EQ(rig.comm.writes.size(), writes);
    EXPECT_EQ(rig.host.results, Results{TransferError::Cancelled});
}

struct StopMoment {
    const char* name;
    int stopAtMs;  // -1: before the start
    bool answerProbe;
    std::size_t opens;   // of the port, at each rate, before the stop
    std::size_t writes;  // frames sent before the stop
};

class UpgradeTransferStop : public testing::TestWithParam<StopMoment> {};

// The host's stop request, raised just before a start or an expiry, comes before the step: no
// further open and no further frame, the attempt cancelled.
TEST_P(UpgradeTransferStop, ComesBeforeTheNextStep) {
    TransferRig rig;
    bool stop = false;
    rig.transfer.SetStopCheck([&stop] { return stop; });
    rig.UseImage(100);
    rig.reader.answerProbe = GetParam().answerProbe;
    stop = GetParam().stopAtMs < 0;
    rig.Start();
    if (!stop) {
        rig.RunUntil(GetParam().stopAtMs - 1);
        stop = true;
        rig.RunUntil(GetParam().stopAtMs + 5000);
    }
    EXPECT_EQ(rig.comm.opens.size(), GetParam().opens);
    EXPECT_EQ(rig.comm.writes.size(), GetParam().writes);
    EXPECT_FALSE(rig.comm.open);
    EXPECT_EQ(rig.host.ends, Ends{{TransferError::Cancelled}});
}

INSTANTIATE_TEST_SUITE_P(Moments, UpgradeTransferStop,
                         testing::Values(StopMoment{"BeforeThePortOpens", -1, true, 0, 0},
                                         StopMoment{"BeforeAProbeIsSentAgain", 500, false, 1, 2},
                                         StopMoment{"BeforeTheBaudRateChange", 500, true, 1, 2},
                                         StopMoment{"BeforeTheSizeAnnouncement", 800, true, 2, 3}),
                         [](const testing::TestParamInfo<StopMoment>& info) {
                             return info.param.name;
                         });

// Each of the three opens (at the start, at 9600, at the download rate) may take the driver long:
// meanwhile nothing is sent and no timer runs, and a cancel (the window's "Exist") or the host's
// stop request then ends the attempt with nothing more sent, however late the port opens.
TEST(UpgradeTransferOpening, EachPhaseWaitsForItsPortAndAStopMeanwhileSendsNothing) {
    const struct {
        int expiryMs;  // the expiry that reopens the port; 0: the start opens it
        TransferPhase phase;
        int baudRate;
    } opens[] = {{0, TransferPhase::Probing, 115200},
                 {500, TransferPhase::BaudChange, 9600},
                 {800, TransferPhase::SizeAnnounced, 57600}};
    for (const auto& open : opens) {
        for (const bool cancel : {true, false}) {
            SCOPED_TRACE(std::to_string(open.baudRate) + (cancel ? " cancel" : " stop"));
            TransferRig rig;
            bool stop = false;
            rig.transfer.SetStopCheck([&stop] { return stop; });
            rig.UseImage(100);
            if (open.expiryMs == 0) {
                rig.transfer.StartDownload(rig.path, rig.selections);
            } else {
                rig.Start();
                rig.RunUntil(open.expiryMs - 1);
                rig.host.FireNext(open.expiryMs);
            }
            ASSERT_TRUE(rig.transfer.IsOpeningPort());
            EXPECT_EQ(rig.transfer.Phase(), open.phase);
            EXPECT_EQ(rig.comm.opens.back().baudRate, open.baudRate);
            EXPECT_FALSE(rig.clock.NextDeadline().has_value());
            EXPECT_TRUE(rig.comm.IsOpening());
            const std::size_t writes = rig.comm.writes.size();

            if (cancel) {
                rig.transfer.Cancel();
                EXPECT_FALSE(rig.comm.IsOpening()) << "the open is abandoned";
            } else {
                stop = true;
                rig.comm.FinishOpen();
            }
            EXPECT_EQ(rig.comm.writes.size(), writes);
            EXPECT_FALSE(rig.comm.open);
            EXPECT_FALSE(rig.transfer.IsRunning());
            EXPECT_FALSE(rig.clock.NextDeadline().has_value());
            EXPECT_EQ(rig.host.ends, Ends{{TransferError::Cancelled}});
        }
    }
}

TEST_F(UpgradeTransferTest, EndAnswerBeforeTheEndFrameIsNotTakenForSuccess) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    rig.Deliver(Ack(0x68));
    EXPECT_TRUE(rig.host.results.empty());
    EXPECT_EQ(rig.transfer.Phase(), TransferPhase::Streaming);
    EXPECT_TRUE(rig.comm.open);
    rig.RunToEnd();
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
    EXPECT_EQ(rig.Frames(0x67).size(), 16U);
    EXPECT_EQ(rig.comm.writes.back().bytes, (Bytes{0xA0, 0x02, 0x68, 0xF6}));
}

TEST_F(UpgradeTransferTest, StraySizeAndDataAnswersBeforeTheSizeFrameSendNoImageData) {
    rig.UseImage(1000);
    rig.Start();
    rig.RunUntil(600);
    ASSERT_EQ(rig.transfer.Phase(), TransferPhase::BaudChange);
    rig.Deliver(Ack(0x66));
    rig.Deliver(Ack(0x67));
    EXPECT_TRUE(rig.Frames(0x67).empty());
    EXPECT_EQ(rig.transfer.Phase(), TransferPhase::BaudChange);
    rig.RunToEnd();
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
    const auto frames = rig.Frames(0x67);
    ASSERT_EQ(frames.size(), 16U);
    EXPECT_EQ(frames.front().baudRate, 57600) << "data goes out at the download rate only";
}

TEST_F(UpgradeTransferTest, RepeatedSizeAnswerWhileStreamingSendsNoExtraFrame) {
    rig.reader.dataAcksBeforeSilence = 0;
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    ASSERT_EQ(rig.Frames(0x67).size(), 1U);
    rig.Deliver(Ack(0x66));
    EXPECT_EQ(rig.Frames(0x67).size(), 1U) << "one unacknowledged frame at a time";
}

TEST_F(UpgradeTransferTest, PortAlreadyOpenEndsTheAttemptAndStaysOpen) {
    rig.UseImage(10);
    rig.comm.open = true;
    rig.Start();
    ASSERT_EQ(rig.host.events.size(), 1U);
    EXPECT_EQ(rig.host.ends, (Ends{{TransferError::PortAlreadyOpen, SerialError::AlreadyOpen}}));
    EXPECT_TRUE(rig.comm.open) << "the port this control had open is not its to close";
    EXPECT_TRUE(rig.comm.writes.empty());
}

// A port that will not open at one of the three rates ends the attempt there, with the reason:
// nothing is sent at that rate and no timer stays armed.
TEST(UpgradeTransferOpen, PortThatWillNotOpenEndsTheAttemptWithTheReason) {
    const std::pair<int, SerialError> failures[] = {
        {115200, SerialError::Busy},        // at the start, the working rate
        {9600, SerialError::NoSuchDevice},  // at the baud-rate change
        {57600, SerialError::NoSuchDevice}  // at the download rate
    };
    for (const auto& [failingRate, error] : failures) {
        SCOPED_TRACE(failingRate);
        TransferRig rig;
        rig.UseImage(10);
        rig.comm.openResult = [rate = failingRate, error](const std::string&, int baudRate) {
            return baudRate == rate ? error : SerialError::None;
        };
        rig.Start();
        rig.RunToEnd();
        EXPECT_EQ(rig.host.ends, (Ends{{TransferError::PortOpenFailed, error}}));
        EXPECT_FALSE(rig.transfer.IsRunning());
        EXPECT_FALSE(rig.clock.NextDeadline().has_value());
        ASSERT_FALSE(rig.comm.opens.empty());
        EXPECT_EQ(rig.comm.opens.back().baudRate, failingRate);
        for (const auto& write : rig.comm.writes) {
            EXPECT_NE(write.baudRate, failingRate);
        }
    }
}

// A firmware file that cannot be an image is refused before the port opens, with the reason
// where the system gave one.
TEST(UpgradeTransferFirmware, FileThatCannotBeAnImageIsRefusedBeforeThePortOpens) {
    struct Case {
        int size;  // of the image written; -1: no file at the path, -2: the path is a folder
        TransferEnd end;
    };
    const Case cases[] = {
        {0, {TransferError::FirmwareEmpty}},
        {65536, {TransferError::FirmwareTooLong}},
        {-1, {TransferError::FirmwareMissing}},
        {-2, {TransferError::FirmwareUnreadable, SerialError::None, "it is a directory"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        TransferRig rig;
        if (c.size >= 0) {
            rig.UseImage(c.size);
        } else {
            rig.path = c.size == -1 ? "/nonexistent/firmware.bin" : rig.folder.Path().string();
        }
        rig.Start();
        EXPECT_EQ(rig.host.ends, Ends{c.end});
        EXPECT_TRUE(rig.comm.opens.empty());
        EXPECT_FALSE(rig.transfer.IsRunning());
    }
}

TEST_F(UpgradeTransferTest, FirmwareRemovedAfterTheStartStillGoesOutWhole) {
    const std::string path = rig.UseImage(300);
    rig.Start();
    std::filesystem::remove(path);
    rig.RunToEnd();
    EXPECT_EQ(rig.reader.image, TransferRig::Pattern(300));
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, StartWithoutAWorkingRateOrADownloadRateOfTheListIsRefused) {
    // No working rate; no download rate; a download rate the baud-rate frame cannot name.
    const std::pair<int, int> choices[] = {{0, 57600}, {115200, 0}, {115200, 4800}};
    for (const auto& [deviceBaud, downloadBaud] : choices) {
        SCOPED_TRACE(std::to_string(deviceBaud) + " " + std::to_string(downloadBaud));
        TransferRig rig;
        rig.UseImage(10);
        rig.selections.deviceBaud = deviceBaud;
        rig.selections.downloadBaud = downloadBaud;
        rig.Start();
        EXPECT_EQ(rig.host.ends, Ends{{TransferError::NoBaudRate}});
        EXPECT_TRUE(rig.comm.opens.empty());
    }
}

// A tag frame as a reader that is reporting tags sends it: E0 0C 58, two bytes, the 8-byte
// identifier, and the checksum.
Bytes TagFrame(std::uint8_t last) {
    return EncodeTagFrame({0xE2, 0x00, 0x30, 0x16, 0x66, 0x0B, 0x01, last}, 0x00, 0x01);
}

Bytes Joined(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// One notification of bytes, and the transfer's state after it.
struct Delivery {
    Bytes bytes;
    bool probeAcked;
    bool baudAcked;
    int rxCount;  // kept to be judged again with the next bytes
    int dropped;  // reports of bytes dropped so far
};

struct DeliveryCase {
    const char* name;
    std::vector<Delivery> deliveries;
};

class UpgradeTransferDeliveries : public testing::TestWithParam<DeliveryCase> {};

// While the transfer probes a reader that does not answer of itself, every notification is
// judged with the bytes kept from the ones before.
TEST_P(UpgradeTransferDeliveries, AreJudgedWithTheBytesKept) {
    TransferRig rig;
    rig.UseImage(10);
    rig.reader.answerProbe = false;
    rig.Start();
    for (const Delivery& d : GetParam().deliveries) {
        rig.Deliver(d.bytes);
        SCOPED_TRACE(testing::PrintToString(d.bytes));
        EXPECT_EQ(rig.transfer.State().probeAcked, d.probeAcked);
        EXPECT_EQ(rig.transfer.State().baudAcked, d.baudAcked);
        EXPECT_EQ(rig.transfer.State().rxCount, d.rxCount);
        EXPECT_EQ(rig.host.Reports(),
                  Reports(static_cast<std::size_t>(d.dropped), TransferEvent::BytesDropped));
    }
}

Bytes BadTag() {
    Bytes tag = TagFrame(0x01);
    tag.back() = static_cast<std::uint8_t>(tag.back() + 1);
    return tag;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UpgradeTransferDeliveries,
    testing::Values(
        DeliveryCase{"AnswerSplitInTwoIsJudgedWhole",
                     {{{0xE4, 0x03}, false, false, 2, 0}, {{0x69, 0x00, 0xB0}, true, false, 0, 0}}},
        // The reader's second probe answer, garbled by its switch to 9600, read with the first.
        DeliveryCase{"AnswerFollowedByNoiseIsAccepted",
                     {{Joined(Ack(0x69), {0x04, 0x9D, 0x12, 0x8E, 0x2C}), true, false, 5, 0}}},
        DeliveryCase{"AnswerFollowedByThePartOfTheNextIsAcceptedAndTheRestKept",
                     {{Joined(Ack(0x69), {0xE4, 0x03}), true, false, 2, 0},
                      {{0x64, 0x00, 0xB5}, true, true, 0, 0}}},
        // Two frames that each sum to zero make a run that sums to zero: judged by its first.
        DeliveryCase{"TwoCleanAnswersReadTogetherPassAsOneRun",
                     {{Joined(Ack(0x64), Ack(0x69)), false, true, 0, 0}}},
        // E4 69 00 and its checksum would pass as a reply if four bytes were judged.
        DeliveryCase{"FourByteRunIsNeverActedOn", {{{0xE4, 0x69, 0x00, 0xB3}, false, false, 4, 0}}},
        DeliveryCase{"EchoedAlternateProbeCountsAsAnAnswer",
                     {{Bytes(kAltProbeFrame.begin(), kAltProbeFrame.end()), true, false, 0, 0}}},
        DeliveryCase{"FiveByteRunStartingAlternateIsNotAnAnswer",
                     {{{0x52, 0x00, 0x00, 0xF4, 0xBA}, false, false, 5, 0}}},
        DeliveryCase{"BadAnswerKeepsItsBytesAndSpoilsTheRun",
                     {{{0xE4, 0x03, 0x69, 0x00, 0xB1}, false, false, 5, 0},
                      {Ack(0x69), false, false, 10, 0},
                      {{0x11}, false, false, 11, 0}}},
        DeliveryCase{"TagFrameWithABadChecksumIsKeptLikeAnyUnknownRun",
                     {{BadTag(), false, false, 14, 0}, {Ack(0x69), false, false, 19, 0}}},
        DeliveryCase{"OverflowDropsTheGatheredBytesAndStartsFromTheNewOnes",
                     {{Bytes(250, 0x00), false, false, 250, 0},
                      {Ack(0x69), false, false, 255, 0},
                      {Ack(0x69), true, false, 0, 1}}},
        DeliveryCase{"OversizedDeliveryIsBoundedByTheBuffer",
                     {{Bytes(1000, 0x33), false, false, TransferState::kRxCapacity, 1}}}),
    [](const testing::TestParamInfo<DeliveryCase>& info) { return info.param.name; });

TEST_F(UpgradeTransferTest, ReaderReportingTagsIsUpgradedAllTheSame) {
    rig.UseImage(300);
    rig.Start();
    // The reader streams a tag frame ahead of every answer; one arrives split in two.
    rig.comm.onWrite = [this](const Bytes& frame) {
        const Bytes tag = TagFrame(static_cast<std::uint8_t>(rig.comm.writes.size()));
        rig.Deliver(Bytes(tag.begin(), tag.begin() + 6));
        rig.Deliver(Bytes(tag.begin() + 6, tag.end()));
        rig.Deliver(TagFrame(0x7F));
        rig.writeTimes.push_back(rig.clock.Now());
        if (frame.size() >= 3 && frame[0] == 0xA0) {
            rig.pending.emplace_back(rig.clock.Now() + 10, Ack(frame[2]));
        }
    };
    rig.RunToEnd();
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
    EXPECT_EQ(rig.Frames(0x67).size(), 5U);
}

TEST_F(UpgradeTransferTest, PortLostWhileStreamingIsNamedWhenTheTransferFails) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    rig.comm.LoseDevice();
    rig.pending.clear();
    rig.RunToEnd();
    EXPECT_EQ(rig.host.ends, (Ends{{TransferError::NoAcknowledgement, SerialError::DeviceLost}}));
}

TEST_F(UpgradeTransferTest, BytesGatheredAtTheOldRateDoNotSpoilTheBaudAnswer) {
    rig.UseImage(100);
    rig.Start();
    // A second probe answer the reader sent after switching to 9600, garbled at 115200.
    rig.RunUntil(100);
    rig.Deliver({0x04, 0x9D, 0x12, 0x8E, 0x2C});
    EXPECT_EQ(rig.transfer.State().rxCount, 5);
    rig.RunToEnd();
    EXPECT_EQ(rig.Frames(0x64).size(), 1U);
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, StartClearsBytesAnEarlierAttemptLeft) {
    StartWithASilentReader(rig);
    rig.Deliver({0xE4, 0x03, 0x69});
    rig.transfer.Cancel();
    rig.Start();
    EXPECT_EQ(rig.transfer.State().rxCount, 0);
    rig.Deliver({0x00, 0xB0});
    EXPECT_FALSE(rig.transfer.State().probeAcked);
}

TEST_F(UpgradeTransferTest, ExpiryAfterTheEndIsIgnored) {
    rig.UseImage(10);
    rig.Start();
    rig.RunToEnd();
    const std::size_t writes = rig.comm.writes.size();
    rig.FireTimer(UpgradeTransfer::kAckTimer);
    rig.FireTimer(UpgradeTransfer::kProbeTimer);
    EXPECT_EQ(rig.comm.writes.size(), writes);
    EXPECT_EQ(rig.host.results, Results{TransferError::None});
}

TEST_F(UpgradeTransferTest, BytesWhileIdleAreNotKept) {
    rig.Deliver({0xE4, 0x03});
    EXPECT_EQ(rig.transfer.State().rxCount, 0);
}

TEST(UpgradeTransferLifetime, TransferBindsAndReleasesTheReceiveAndExpiryHandlers) {
    ManualClock clock;
    FakeCommControl comm;
    FakeTransferHost host(clock);
    {
        UpgradeTransfer transfer(comm, host, host);
        EXPECT_TRUE(comm.HasHandler());
        EXPECT_TRUE(host.HasExpiryHandler());
    }
    EXPECT_FALSE(comm.HasHandler());
    EXPECT_FALSE(host.HasExpiryHandler());
}

}  // namespace
}  // namespace uhf
