#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeReader.h"
#include "fakes/FakeSerialPort.h"
#include "fakes/TempFolder.h"
#include "protocol/ParamFields.h"
#include "tesmarle/cli/TesmarleFields.h"
#include "tesmarle/cli/TesmarleRunner.h"

namespace uhf::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Args = std::vector<std::string>;

class TesmarleRunnerTest : public testing::Test {
  protected:
    TesmarleRunnerTest() {
        auto fake = MakeReaderPort();
        port = fake.get();
        link = std::make_unique<ReaderLink>(std::move(fake), [](std::chrono::milliseconds) {});
    }

    // A port with this fixture's reader behind it.
    std::unique_ptr<FakeSerialPort> MakeReaderPort() {
        auto fake = std::make_unique<FakeSerialPort>();
        fake->SetEmptyReadWait(std::chrono::milliseconds(5));
        fake->SetResponder([this](const Bytes& written) {
            std::vector<Bytes> segments;
            Bytes answer = reader.Answer(written);
            if (!answer.empty()) {
                segments.push_back(answer);
            }
            if (++requests == interruptAfter) {
                interrupt = true;
            }
            // The reader starts reporting once it has been told to resume.
            if (written == kResumeRequest && !reader.refuseResume) {
                for (const Bytes& tag : tagsAfterResume) {
                    segments.push_back(tag);
                }
            }
            return segments;
        });
        return fake;
    }

    int Run(const Args& args) {
        TesmarleOptions options;
        std::string error;
        EXPECT_TRUE(ParseTesmarleArgs(args, options, error)) << error;
        TesmarleRunner::Services services{.interrupted = [this] { return interrupt.load(); },
                                          .listPorts = [this] { return ports; }};
        // -b auto scans the same reader, and meets the same open failure.
        services.makeScanPort = [this] {
            auto scan = MakeReaderPort();
            scan->openResult = port->openResult;
            return scan;
        };
        runner = std::make_unique<TesmarleRunner>(*link, out, err, std::move(services));
        return runner->Run(options);
    }
    const TesmarleRunner::Outcome& LastOutcome() const { return runner->LastOutcome(); }

    std::string TempFile(const std::string& text) {
        const std::string path = folder.PathOf("params.json");
        std::ofstream(path) << text;
        return path;
    }

    TempFolder folder;
    FakeReader reader;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<ReaderLink> link;
    std::unique_ptr<TesmarleRunner> runner;
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<bool> interrupt{false};
    int interruptAfter = -1;  // requests the reader takes before `interrupt` is raised
    int requests = 0;
    std::vector<PortInfo> ports;
    std::vector<Bytes> tagsAfterResume;
};

TEST_F(TesmarleRunnerTest, ReadStopsTheReaderThenPrintsTheRecord) {
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "-b", "57600", "read"}), 0);
    EXPECT_EQ(port->openedBaud, 57600);
    const auto writes = port->Writes();
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes[0], kStopRequest);
    EXPECT_NE(out.str().find("power                  30\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("lockedFrequency        25 (Locked frequency 914.5 MHz)"),
              std::string::npos);
    EXPECT_TRUE(err.str().empty());
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(TesmarleRunnerTest, ReadJsonPrintsOneObject) {
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "read", "--json"}), 0);
    EXPECT_EQ(out.str(),
              "{\"param100\": 7, \"param112\": 2, \"cardMode\": 1, \"idBorderUponDifferent\": 1, "
              "\"power\": 30, \"connectPort\": 2, \"pulseWidth\": 10, \"pulsePeriods\": 20, "
              "\"exportTime\": 2, \"exportDistance\": 4, \"lockedFrequency\": 25, "
              "\"param132\": 9, \"protocol\": 3, \"timeDistance\": 5, \"param137\": 12}\n");
}

TEST_F(TesmarleRunnerTest, ReadWithoutAReplySaysWhichStepFailed) {
    reader.silent = true;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "read"}), 1);
    EXPECT_EQ(err.str(), "tesmarle-cli: read parameters failed: no reply from the reader\n");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(TesmarleRunnerTest, AReplyWithAWrongChecksumIsNamed) {
    port->SetResponder([this](const Bytes& written) {
        Bytes answer = reader.Answer(written);
        if (written[2] == 0x63) {
            answer.back() ^= 0x01;
        }
        return std::vector<Bytes>{answer};
    });
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "read"}), 1);
    EXPECT_EQ(err.str(),
              "tesmarle-cli: read parameters failed: the reader's reply had a wrong checksum\n");
}

TEST_F(TesmarleRunnerTest, OpenFailureSaysWhy) {
    port->openResult = SerialError::PermissionDenied;
    EXPECT_EQ(Run({"-p", "/dev/ttyS4", "read"}), 1);
    EXPECT_NE(err.str().find("open /dev/ttyS4 failed: permission denied (the user must be in the "
                             "group that owns the device"),
              std::string::npos)
        << err.str();
    EXPECT_TRUE(port->Writes().empty());
}

TEST_F(TesmarleRunnerTest, WriteChangesOnlyTheNamedFields) {
    const auto before = reader.memory;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--power", "40", "--card-mode", "single",
                   "--frequency", "hop", "--export-distance", "400"}),
              0)
        << err.str();
    auto expected = before;
    expected[101] = 40;
    expected[135] = 0;
    expected[144] = 0;
    EXPECT_EQ(reader.memory, expected);
    EXPECT_EQ(out.str(),
              "cardMode: 1 (multi-cards) \u2192 0 (Single-card)\n"
              "power: 30 \u2192 40\n"
              "exportDistance: 4 (400 ms) (unchanged)\n"
              "lockedFrequency: 25 (Locked frequency 914.5 MHz) \u2192 0 (Jump frequency: "
              "hopping)\n"
              "written\n"
              "verified\n");
    const auto writes = port->Writes();
    ASSERT_EQ(writes.size(), 22u) << "Stop, seven reads, seven writes, seven reads back";
    EXPECT_EQ(writes[0], kStopRequest);
    EXPECT_EQ(writes[15], writes[1]);
}

TEST_F(TesmarleRunnerTest, WriteWhoseReadBackDiffersFailsNamingTheFields) {
    reader.ignoreWriteAt = 112;  // acknowledged, not stored
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--power", "40", "--protocol", "wiegand34"}), 1);
    EXPECT_EQ(err.str(),
              "tesmarle-cli: verify failed: protocol written Wiegand34, read back Wiegand32\n");
    EXPECT_EQ(reader.memory[101], 40);
    ASSERT_TRUE(LastOutcome().after.has_value());
    EXPECT_EQ(LastOutcome().after->protocol, 3);
    EXPECT_EQ(LastOutcome().before->power, 30);

    err.str("");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--protocol", "wiegand34", "--no-verify"}), 0)
        << err.str();
    EXPECT_EQ(port->Writes().size(), 22u + 15u) << "nothing read back";
}

TEST_F(TesmarleRunnerTest, OnlyDifferencesWritesTheBlocksThatDifferAndVerifiesThem) {
    const std::string golden =
        TempFile("{\"power\": 30, \"protocol\": 1, \"lockedFrequency\": 25, \"cardMode\": 1}");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--from", golden, "--only-differences"}), 0)
        << err.str();
    auto writes = port->Writes();
    ASSERT_EQ(writes.size(), 16u) << "Stop, seven reads, one write, seven reads back";
    EXPECT_EQ(writes[8], FakeReader::Reply(0xA0, 0x62, {8, 0, 112, 2, 5, 2, 1, 10, 20, 2, 4}));
    EXPECT_EQ(reader.memory[115], 1);

    port->ClearWrites();
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--from", golden, "--only-differences"}), 0);
    EXPECT_EQ(port->Writes().size(), 15u) << "no block write";
    EXPECT_NE(out.str().find("nothing to write"), std::string::npos) << out.str();
}

TEST_F(TesmarleRunnerTest, WriteFromAFileKeepsTheCarriedBytesAndLetsOptionsWin) {
    const std::string path = TempFile(
        "{\"param100\": 99, \"param112\": 3, \"cardMode\": 0, \"idBorderUponDifferent\": 0, "
        "\"power\": 50, \"connectPort\": 1, \"pulseWidth\": 11, \"pulsePeriods\": 21, "
        "\"exportTime\": 1, \"exportDistance\": 5, \"lockedFrequency\": 2, \"param132\": 99, "
        "\"protocol\": 1, \"timeDistance\": 6, \"param137\": 13}\n");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--from", path, "--power", "60"}), 0)
        << err.str();
    // The carried 100, 112, 132 and 137 stay as the reader holds them; at 101 the option wins
    // over the file.
    const FakeReader::Cells written{{100, 7}, {112, 2}, {132, 9},  {137, 12}, {101, 60},
                                    {114, 1}, {115, 1}, {116, 11}, {144, 2},  {123, 0}};
    EXPECT_EQ(reader.At(written), written);
}

TEST_F(TesmarleRunnerTest, BadFromFileIsRefusedBeforeThePortIsOpened) {
    const std::string path = TempFile("{\"power\": 300}");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--from", path}), 2);
    EXPECT_NE(err.str().find("\"power\" must be a byte value"), std::string::npos) << err.str();
    EXPECT_EQ(port->openCalls, 0);
    err.str("");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--from", "/no/such/file.json"}), 1);
    EXPECT_NE(err.str().find("--from /no/such/file.json: cannot open the file"), std::string::npos);
    EXPECT_EQ(port->openCalls, 0);
}

TEST_F(TesmarleRunnerTest, RecordRefusedByIsValidIsNamed) {
    reader.memory[112] = 0;  // param112 out of range in the reader
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--power", "1"}), 1);
    EXPECT_EQ(err.str(),
              "tesmarle-cli: write parameters failed: the parameter record is out of range "
              "(refused by IsValid): param112 is 0, allowed 1 to 3\n");
    EXPECT_EQ(port->Writes().size(), 8u) << "no block write is sent";
}

TEST_F(TesmarleRunnerTest, FailedBlockWriteFailsTheCommand) {
    reader.failWriteAt = 123;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--power", "1"}), 1);
    EXPECT_EQ(err.str(),
              "tesmarle-cli: write parameters failed: the reader refused the request: at the "
              "block at address 123 (already written: the blocks at 100, 112)\n");
    EXPECT_EQ(out.str().find("written"), std::string::npos);
}

struct LostWriteAnswerCase {
    const char* name;
    bool stored;       // the reader carried the write out all the same
    bool silentAfter;  // and answered nothing more
    std::string readBack;
    int protocolAfter;  // in the record read back; -1: none could be read
};

void PrintTo(const LostWriteAnswerCase& c, std::ostream* out) {
    *out << c.name;
}

class LostWriteAnswer : public TesmarleRunnerTest,
                        public testing::WithParamInterface<LostWriteAnswerCase> {};

// The answer to the write of the block at 112 is lost on the line: the reader may have written
// it. The write is not sent again; a read says what the reader holds.
TEST_P(LostWriteAnswer, SaysTheReaderMayHaveWrittenTheBlockAndWhatAReadShowsNow) {
    const LostWriteAnswerCase& c = GetParam();
    reader.ignoreWriteAt = c.stored ? -1 : 112;
    port->SetResponder([this, c](const Bytes& written) {
        const Bytes answer = reader.Answer(written);
        if (written[2] == 0x62 && written[5] == 112) {
            reader.silent = c.silentAfter;
            return std::vector<Bytes>{};
        }
        return answer.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{answer};
    });
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "write", "--power", "40", "--protocol", "wiegand34"}), 1);
    const std::string message =
        "write parameters failed: no reply from the reader: the reader did not answer the write "
        "of the block at address 112 and may have written it (already written: the blocks at "
        "100); " +
        c.readBack;
    EXPECT_EQ(err.str(), "tesmarle-cli: " + message + "\n");
    EXPECT_EQ(LastOutcome().message, message) << "the report's words";
    const auto writes = port->Writes();
    ASSERT_GE(writes.size(), 11u);
    EXPECT_EQ(writes[9][2], 0x62);
    EXPECT_EQ(writes[9][5], 112);
    EXPECT_EQ(
        std::count_if(writes.begin(), writes.end(), [](const Bytes& w) { return w[2] == 0x62; }), 2)
        << "the lost write is not sent again, nor any after it";
    EXPECT_EQ(writes.size(), c.silentAfter ? 11u : 17u) << "one read of the record";
    EXPECT_EQ(LastOutcome().after.has_value(), c.protocolAfter >= 0);
    if (LastOutcome().after) {
        EXPECT_EQ(LastOutcome().after->protocol, c.protocolAfter);
        EXPECT_EQ(LastOutcome().after->power, 40);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LostWriteAnswer,
    testing::Values(LostWriteAnswerCase{"ReaderWroteIt", true, false,
                                        "a read now shows the new values in it (protocol "
                                        "Wiegand34): the reader wrote it",
                                        2},
                    LostWriteAnswerCase{"ReaderDidNotWriteIt", false, false,
                                        "a read now shows the old values in it (protocol "
                                        "Wiegand32): the reader did not write it",
                                        3},
                    LostWriteAnswerCase{"ReaderFellSilent", true, true,
                                        "it could not be read back: no reply from the reader", -1}),
    [](const testing::TestParamInfo<LostWriteAnswerCase>& info) { return info.param.name; });

TEST_F(TesmarleRunnerTest, AutoBaudFailureIsTheOutcomesMessage) {
    // The words a line's table and report show for the reader.
    struct Case {
        SerialError open;
        const char* said;
    };
    for (const Case& c :
         {Case{SerialError::PermissionDenied, "open /dev/ttyUSB0 failed: permission denied"},
          Case{SerialError::None,
               "-b auto: the reader answered Stop at no rate: check power and "
               "wiring, TX/RX may be swapped (tesmarle-cli -p /dev/ttyUSB0 "
               "doctor tells more)"}}) {
        err.str("");
        port->openResult = c.open;
        reader.silent = true;
        EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "-b", "auto", "read"}), 1);
        EXPECT_EQ(LastOutcome().message.rfind(c.said, 0), 0u) << LastOutcome().message;
        EXPECT_EQ(err.str(), "tesmarle-cli: " + LastOutcome().message + "\n");
    }
}

struct RefusedRecordCase {
    const char* name;
    std::string text;
    const char* said;
};

void PrintTo(const RefusedRecordCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedRecord : public TesmarleRunnerTest,
                      public testing::WithParamInterface<RefusedRecordCase> {};

// A record that names no shown field would pass every check and write nothing; a file too large
// to be a record is no record either. Both are usage errors, found before the port is opened.
TEST_P(RefusedRecord, IsAUsageErrorOfEveryCommandThatReadsOne) {
    const std::string path = testing::TempDir() + "/tesmarle-refused-" + GetParam().name + ".json";
    std::ofstream(path) << GetParam().text;
    for (const Args& args : {Args{"-p", "/dev/ttyUSB0", "check", "--from", path},
                             Args{"-p", "/dev/ttyUSB0", "write", "--from", path, "--power", "1"},
                             Args{"diff", path, path}}) {
        err.str("");
        EXPECT_EQ(Run(args), 2) << args[2];
        EXPECT_EQ(err.str(), "tesmarle-cli: --from " + path + ": " + GetParam().said + "\n");
    }
    EXPECT_EQ(port->openCalls, 0);
    EXPECT_TRUE(out.str().empty()) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Records, RefusedRecord,
    testing::Values(
        RefusedRecordCase{"NoField", "{}",
                          "the record names none of the shown fields, so nothing could be "
                          "compared or written"},
        RefusedRecordCase{"OnlyCarriedBytes", "{\"param100\": 7, \"param137\": 2}",
                          "the record names none of the shown fields, so nothing could be "
                          "compared or written"},
        RefusedRecordCase{"OverTheSizeLimit", "{\"power\": 30" + std::string(64 * 1024, ' ') + "}",
                          "the file is larger than a parameter record can be (over 64 KiB)"}),
    [](const testing::TestParamInfo<RefusedRecordCase>& info) { return info.param.name; });

TEST_F(TesmarleRunnerTest, ResumeSendsResumeAlone) {
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "resume"}), 0);
    EXPECT_EQ(port->Writes(), std::vector<Bytes>{kResumeRequest});
    reader.refuseResume = true;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "resume"}), 1);
    EXPECT_NE(err.str().find("resume failed: the reader refused the request"), std::string::npos);
}

TEST_F(TesmarleRunnerTest, TagsPrintsEveryReportAndASummary) {
    tagsAfterResume = {FakeReader::TagFrame({1, 2, 3, 4, 5, 6, 7, 8}),
                       FakeReader::TagFrame({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00, 0x11}),
                       FakeReader::TagFrame({1, 2, 3, 4, 5, 6, 7, 8})};
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "tags", "--seconds", "0.6"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "1  01 02 03 04 05 06 07 08\n"
              "2  AA BB CC DD EE FF 00 11\n"
              "3  01 02 03 04 05 06 07 08\n"
              "3 reports, 2 distinct tags\n");
    const auto writes = port->Writes();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], kStopRequest);
    EXPECT_EQ(writes[1], kResumeRequest);
    EXPECT_EQ(writes.back(), kStopRequest) << "always stops the reader on the way out";
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(link->ReceiveThreadStarted());
}

TEST_F(TesmarleRunnerTest, TagsAsJsonAndCsv) {
    tagsAfterResume = {FakeReader::TagFrame({1, 2, 3, 4, 5, 6, 7, 8})};
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "tags", "--seconds", "0.3", "--json"}), 0);
    EXPECT_EQ(out.str(), "{\"n\": 1, \"tag\": \"0102030405060708\"}\n");
    EXPECT_EQ(err.str(), "1 report, 1 distinct tag\n") << "the summary stays off the data";
    out.str("");
    err.str("");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "tags", "--seconds", "0.3", "--csv"}), 0);
    EXPECT_EQ(out.str(), "n,tag\n1,0102030405060708\n");
}

struct StopCase {
    const char* name;
    Args command;
    int requestsBefore;  // the reader has taken these when the stop request comes
    int status;
    std::vector<std::uint8_t> wire;  // the command byte of each request sent
    std::string err;
};

class TesmarleRunnerStop : public TesmarleRunnerTest,
                           public testing::WithParamInterface<StopCase> {};

// A stop request lets no block write, no Resume and nothing else but Stop reach the reader after
// it; a tag collection under way still ends with the reader stopped.
TEST_P(TesmarleRunnerStop, NothingButStopGoesOutAfterIt) {
    const StopCase& c = GetParam();
    interrupt = c.requestsBefore == 0;
    interruptAfter = c.requestsBefore;
    Args args{"-p", "/dev/ttyUSB0"};
    args.insert(args.end(), c.command.begin(), c.command.end());
    EXPECT_EQ(Run(args), c.status);
    std::vector<std::uint8_t> wire;
    for (const Bytes& request : port->Writes()) {
        wire.push_back(request[2]);
    }
    EXPECT_EQ(wire, c.wire);
    EXPECT_EQ(err.str(), c.err);
    EXPECT_EQ(port->openedDevice.empty(), c.requestsBefore == 0) << "opened after the stop";
}

const std::string kStopped = "stopped on request before the request was sent";
const std::vector<std::uint8_t> kSevenReads(7, 0x63);

std::vector<std::uint8_t> Wire(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Moments, TesmarleRunnerStop,
    testing::Values(
        StopCase{"WriteBeforeThePortOpens",
                 {"write", "--power", "99"},
                 0,
                 1,
                 {},
                 "tesmarle-cli: stopped on request before the port was opened\n"},
        StopCase{"WriteWhileReadingTheRecord",
                 {"write", "--power", "99"},
                 2,
                 1,
                 {0xFE, 0x63},
                 "tesmarle-cli: read parameters failed: " + kStopped + "\n"},
        StopCase{"WriteBetweenTwoBlocks",
                 {"write", "--power", "99"},
                 10,
                 1,
                 Wire({{0xFE}, kSevenReads, {0x62, 0x62}}),
                 "tesmarle-cli: write parameters failed: " + kStopped +
                     ": at the block at address 123 (already written: the blocks at 100, 112)\n"},
        StopCase{"ResumeBeforeThePortOpens",
                 {"resume"},
                 0,
                 1,
                 {},
                 "tesmarle-cli: stopped on request before the port was opened\n"},
        StopCase{"TagsBeforeResume",
                 {"tags"},
                 1,
                 1,
                 {0xFE},
                 "tesmarle-cli: start tag collection failed: " + kStopped + "\n"},
        StopCase{"TagsWhileCollecting", {"tags"}, 2, 0, {0xFE, 0x65, 0xFE}, ""}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

TEST_F(TesmarleRunnerTest, TagsEndWithAnErrorWhenThePortGoesAway) {
    tagsAfterResume = {FakeReader::TagFrame({1, 2, 3, 4, 5, 6, 7, 8})};
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        port->SetFailReads(true);
    });
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "tags", "--seconds", "20"}), 1);
    unplug.join();
    EXPECT_NE(err.str().find("tags failed: the device was lost"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "1  01 02 03 04 05 06 07 08\n1 report, 1 distinct tag\n")
        << "what was collected is still reported";
}

TEST_F(TesmarleRunnerTest, TagsFailWhenTheReaderWillNotResume) {
    reader.refuseResume = true;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "tags", "--seconds", "1"}), 1);
    EXPECT_NE(err.str().find("start tag collection failed: the reader refused the request"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(link->ReceiveThreadStarted());
}

TEST_F(TesmarleRunnerTest, PortsListsOnePerLineOrFails) {
    TesmarleOptions options;
    std::string error;
    ASSERT_TRUE(ParseTesmarleArgs({"ports"}, options, error));
    EXPECT_EQ(Run({"ports"}), 1);
    EXPECT_EQ(err.str(), "tesmarle-cli: no serial port found\n");
    ports = {{.path = "/dev/ttyS0"}, {.path = "/dev/ttyUSB0"}};
    EXPECT_EQ(Run({"ports"}), 0);
    EXPECT_EQ(out.str(), "/dev/ttyS0\n/dev/ttyUSB0\n");
}

TEST_F(TesmarleRunnerTest, PortsAsJsonDescribeEachPortWithNullForWhatIsUnknown) {
    PortInfo ftdi{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                  "0403",         "6001",
                  "FTDI",         "FT232R \"USB\" UART\\",
                  "A50285BI",     "ftdi_sio"};
    ports = {{"/dev/ttyS0", "", "", "", "", "", "", "serial8250"}, ftdi};
    EXPECT_EQ(Run({"ports", "--json"}), 0);
    EXPECT_EQ(
        out.str(),
        "[\n"
        "  {\"path\": \"/dev/ttyS0\", \"byId\": null, \"vendorId\": null, \"productId\": null, "
        "\"manufacturer\": null, \"product\": null, \"serialNumber\": null, \"driver\": "
        "\"serial8250\"},\n"
        "  {\"path\": \"/dev/ttyUSB0\", \"byId\": "
        "\"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\", \"vendorId\": "
        "\"0403\", \"productId\": \"6001\", \"manufacturer\": \"FTDI\", \"product\": "
        "\"FT232R \\\"USB\\\" UART\\\\\", \"serialNumber\": \"A50285BI\", \"driver\": "
        "\"ftdi_sio\"}\n"
        "]\n");
    out.str("");
    ports.clear();
    EXPECT_EQ(Run({"ports", "--json"}), 1);
    EXPECT_EQ(out.str(), "[]\n");
}

struct FieldDifferenceCase {
    const char* field;
    std::uint8_t was;
    std::uint8_t now;
    const char* line;
};

class GoldenDifference : public TesmarleRunnerTest,
                         public testing::WithParamInterface<FieldDifferenceCase> {
  protected:
    // The fake reader's record as `read --json` writes it, with the case's field at `value`.
    std::string Record(std::uint8_t value, const std::string& suffix) {
        ReaderParams params;
        for (const ParamFieldInfo& info : ParamFields()) {
            params[info.field] = reader.memory[info.address];
        }
        params[FindParamField(GetParam().field)->field] = value;
        const std::string path = folder.PathOf("golden" + suffix + ".json");
        std::ofstream(path) << FormatParamsJson(params) << "\n";
        return path;
    }
};

TEST_P(GoldenDifference, CheckAndDiffNameTheFieldInWords) {
    const std::string a = Record(GetParam().was, "-a");
    const std::string b = Record(GetParam().now, "-b");
    EXPECT_EQ(Run({"diff", a, b}), 1);
    EXPECT_EQ(out.str(), std::string(GetParam().line) + "\n");
    EXPECT_TRUE(port->Writes().empty());

    out.str("");
    reader.memory[FindParamField(GetParam().field)->address] = GetParam().was;
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "check", "--from", b}), 1) << err.str();
    EXPECT_EQ(out.str(), std::string(GetParam().line) + "\n");
    EXPECT_EQ(port->Writes().size(), 8u) << "Stop and seven reads, nothing written";

    EXPECT_EQ(LastOutcome().message, "1 of 11 fields differs from " + b);

    out.str("");
    EXPECT_EQ(Run({"-p", "/dev/ttyUSB0", "check", "--from", a}), 0) << err.str();
    EXPECT_EQ(out.str(), "matches " + a + ": 11 fields compared\n");
    EXPECT_EQ(Run({"diff", b, b}), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachShownField, GoldenDifference,
    testing::Values(
        FieldDifferenceCase{"cardMode", 1, 0, "cardMode: multi-cards \u2192 Single-card"},
        FieldDifferenceCase{"idBorderUponDifferent", 1, 0, "idBorderUponDifferent: on \u2192 off"},
        FieldDifferenceCase{"power", 30, 40, "power: 30 \u2192 40"},
        FieldDifferenceCase{"connectPort", 2, 1, "connectPort: Wiegand \u2192 RS-485"},
        FieldDifferenceCase{"pulseWidth", 10, 15, "pulseWidth: 100 us \u2192 150 us"},
        FieldDifferenceCase{"pulsePeriods", 20, 7, "pulsePeriods: 2000 us \u2192 700 us"},
        FieldDifferenceCase{"exportTime", 2, 3, "exportTime: 2 \u2192 3"},
        FieldDifferenceCase{"exportDistance", 4, 10, "exportDistance: 400ms \u2192 1000ms"},
        FieldDifferenceCase{"lockedFrequency", 25, 0, "lockedFrequency: 914.5 MHz \u2192 hop"},
        FieldDifferenceCase{"protocol", 1, 2, "protocol: Wiegand26 \u2192 Wiegand34"},
        FieldDifferenceCase{"timeDistance", 5, 6, "timeDistance: 50 ms \u2192 60 ms"}),
    [](const testing::TestParamInfo<FieldDifferenceCase>& info) {
        return std::string(info.param.field);
    });

}  // namespace
}  // namespace uhf::test
