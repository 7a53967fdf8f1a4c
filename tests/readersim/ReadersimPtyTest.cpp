// readersim itself, over a pseudo-terminal: the program around the simulator.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fakes/ReadersimProcess.h"
#include "fakes/SimTestSupport.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolPort.h"

namespace uhf {
namespace {

using namespace test;
using test::ReadersimProcess;
using test::TempFolder;
using ::testing::ElementsAreArray;

const Bytes kStopReply{0xE0, 0x03, 0xFE, 0x00, 0x1F};

class ReadersimPtyTest : public ::testing::Test {
  protected:
    void TearDown() override { sim.Stop(); }
    void StartSim(std::vector<std::string> args) {
        ASSERT_TRUE(sim.Start(READERSIM_PATH, args, (dir / "stderr.txt").string()));
    }
    static std::string Slurp(const std::filesystem::path& path) {
        return TempFolder::ReadFile(path);
    }

    TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    ReadersimProcess sim;
};

TEST_F(ReadersimPtyTest, AnswersRequestsOnThePortItPrints) {
    StartSim({});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    EXPECT_THAT(port.Exchange(Request(0xFE)), ElementsAreArray(kStopReply));
    EXPECT_THAT(port.Exchange(Request(0x63, {0x02, 0x00, 0x64})),
                ElementsAreArray(Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x1E, 0x31}));
}

TEST_F(ReadersimPtyTest, ToolAtAnotherRateIsNeitherUnderstoodNorUnderstands) {
    StartSim({"--baud", "19200", "--working", "--tag-rate", "20"});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    const Bytes heard = port.Exchange(Request(0xFE), std::chrono::milliseconds(400));
    EXPECT_FALSE(heard.empty());  // the tags go on, garbled
    EXPECT_TRUE(SplitFrames(heard).frames.empty());
    ASSERT_TRUE(port.SetSpeed(B19200));
    const SplitResult result =
        SplitFrames(port.Exchange(Request(0xFE), std::chrono::milliseconds(300)));
    ASSERT_FALSE(result.frames.empty());
    EXPECT_EQ(result.frames.back(), kStopReply);
}

TEST_F(ReadersimPtyTest, RequestCountsAsArrivedOnlyOnceItHasCrossedTheLine) {
    StartSim({"--baud", "1200", "--turnaround-ms", "0", "--frame-writes"});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B1200));
    // At 1200 baud the 4-byte Stop takes 33 ms on the line and its 5-byte answer 42 ms: the
    // answer cannot be complete before 75 ms, although the terminal passes the request at once.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.Write(Request(0xFE)));
    Bytes heard;
    while (heard.size() < kStopReply.size() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        const Bytes more = port.ReadFor(std::chrono::milliseconds(5));
        heard.insert(heard.end(), more.begin(), more.end());
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_THAT(heard, ElementsAreArray(kStopReply));
    EXPECT_GE(elapsed, std::chrono::milliseconds(75));
}

TEST_F(ReadersimPtyTest, PortClosedAndReopenedKeepsWorking) {
    StartSim({});
    for (int i = 0; i < 3; ++i) {
        ToolPort port;
        ASSERT_TRUE(port.Open(sim.Port(), B9600));
        EXPECT_THAT(port.Exchange(Request(0xFE)), ElementsAreArray(kStopReply)) << "open " << i;
    }
}

TEST_F(ReadersimPtyTest, TagsReportedWhileNobodyListensAreLost) {
    StartSim({"--working", "--tag-rate", "50"});
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    // 30 tag frames (420 bytes) were due meanwhile; only the frame on the line when the port
    // opened may arrive, or two when a busy machine held readersim back for a moment.
    EXPECT_LE(port.ReadFor(std::chrono::milliseconds(5)).size(), 28u);
}

TEST_F(ReadersimPtyTest, WrittenParametersSurviveARestartThroughTheStateFile) {
    const std::string state = (dir / "state.txt").string();
    StartSim({"--state", state});
    {
        ToolPort port;
        ASSERT_TRUE(port.Open(sim.Port(), B9600));
        EXPECT_THAT(port.Exchange(Request(0x62, {0x01, 0x00, 0x65, 0x2A})),
                    ElementsAreArray(Bytes{0xE0, 0x03, 0x62, 0x00, 0xBB}));
        // Saved once the answer has left, while the reader runs on: address 101 is row 6,
        // column 5 of the sixteen "XX" cells a line.
        const std::string saved = Slurp(state);
        EXPECT_EQ(saved.substr(6 * 48 + 5 * 3, 2), "2A") << saved;
    }
    EXPECT_EQ(sim.Stop(), 0);
    StartSim({"--state", state});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    EXPECT_THAT(port.Exchange(Request(0x63, {0x02, 0x00, 0x64})),
                ElementsAreArray(Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x2A, 0x25}));
}

TEST_F(ReadersimPtyTest, MalformedStateFileIsReportedAndLeftAsItWas) {
    const std::filesystem::path state = dir / "state.txt";
    std::ofstream(state) << "not a parameter memory\n";
    EXPECT_FALSE(
        sim.Start(READERSIM_PATH, {"--state", state.string()}, (dir / "stderr.txt").string()));
    EXPECT_EQ(sim.exitStatus, 1);
    EXPECT_EQ(Slurp(state), "not a parameter memory\n");
    EXPECT_NE(Slurp(dir / "stderr.txt").find("state.txt"), std::string::npos);
}

struct UnreadableState {
    const char* name;
    const char* path;  // empty: a sparse megabyte in the test's folder
    const char* reason;
};

class OversizedStateFile : public ReadersimPtyTest,
                           public ::testing::WithParamInterface<UnreadableState> {};

TEST_P(OversizedStateFile, IsRefusedWithoutReadingItAll) {
    std::string state = GetParam().path;
    if (state.empty()) {
        state = (dir / "state.txt").string();
        std::ofstream(state).close();
        std::filesystem::resize_file(state, 1 << 20);
    }
    EXPECT_FALSE(sim.Start(READERSIM_PATH, {"--state", state}, (dir / "stderr.txt").string()));
    EXPECT_EQ(sim.exitStatus, 1);
    EXPECT_NE(Slurp(dir / "stderr.txt").find(state + ": " + GetParam().reason), std::string::npos)
        << Slurp(dir / "stderr.txt");
}

// A device is refused before it is opened: /dev/zero would never end.
INSTANTIATE_TEST_SUITE_P(
    Files, OversizedStateFile,
    ::testing::Values(UnreadableState{"SparseFile", "", "it is larger than 65536 bytes"},
                      UnreadableState{"DevZero", "/dev/zero", "it is a device"}),
    [](const ::testing::TestParamInfo<UnreadableState>& info) {
        return std::string(info.param.name);
    });

TEST_F(ReadersimPtyTest, BytesFasterThanTheLineAreDroppedAndItStillAnswers) {
    StartSim({"--baud", "115200"});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B115200));
    // Unpaced writes for a moment: far more than 115200 baud carries in that time.
    const Bytes noise(4096, 0x00);
    std::size_t written = 0;
    const auto floodEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < floodEnd && written < (8u << 20)) {
        const ssize_t n = ::write(port.fd, noise.data(), noise.size());
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ASSERT_GT(written, 200u * 1024) << "less than 17 s of line time: proves nothing";
    // Once what the line could carry has come in, the next request is answered.
    bool answered = false;
    for (int attempt = 0; attempt < 15 && !answered; ++attempt) {
        if (!port.Write(Request(0xFE))) {  // the terminal's own buffer may still be full
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            continue;
        }
        const SplitResult heard = SplitFrames(port.ReadFor(std::chrono::milliseconds(300)));
        answered = !heard.frames.empty() && heard.frames.back() == kStopReply;
    }
    EXPECT_TRUE(answered) << written << " bytes written";
    EXPECT_NE(Slurp(dir / "stderr.txt").find("bytes dropped (line overrun)"), std::string::npos)
        << Slurp(dir / "stderr.txt");
}

TEST_F(ReadersimPtyTest, UpgradeImageIsWrittenToFirmwareOut) {
    const std::filesystem::path firmware = dir / "fw.bin";
    StartSim({"--firmware-out", firmware.string()});
    Bytes image(200);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i ^ 0x5C);
    }
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    ASSERT_THAT(port.Exchange(Request(0x69, {0x00})),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x69, 0x00, 0xB0}));
    ASSERT_THAT(port.Exchange(Request(0x64, {0x04})),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x64, 0x00, 0xB5}));
    port.Close();
    ASSERT_TRUE(port.Open(sim.Port(), B115200));
    ASSERT_THAT(port.Exchange(Request(0x66, {0x00, 0xC8})),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x66, 0x00, 0xB3}));
    for (std::size_t from = 0; from < image.size(); from += 64) {
        const std::size_t n = std::min<std::size_t>(64, image.size() - from);
        Bytes data(image.begin() + static_cast<std::ptrdiff_t>(from),
                   image.begin() + static_cast<std::ptrdiff_t>(from + n));
        data.push_back(0x00);
        data.push_back(0x00);
        ASSERT_THAT(port.Exchange(Request(0x67, data)),
                    ElementsAreArray(Bytes{0xE4, 0x03, 0x67, 0x00, 0xB2}));
    }
    // The image is stored before the answer leaves: a busy disk may hold the answer up.
    ASSERT_THAT(port.Exchange(Request(0x68), std::chrono::milliseconds(1000)),
                ElementsAreArray(Bytes{0xE4, 0x03, 0x68, 0x00, 0xB1}));
    const std::string written = Slurp(firmware);
    EXPECT_EQ(Bytes(written.begin(), written.end()), image);
    // Back at its working rate once the upgrade is done.
    ASSERT_TRUE(port.SetSpeed(B9600));
    EXPECT_THAT(port.Exchange(Request(0xFE)), ElementsAreArray(kStopReply));
}

TEST_F(ReadersimPtyTest, SigintEndsItCleanlyAndRemovesItsLink) {
    const std::filesystem::path link = dir / "reader";
    StartSim({"--link", link.string()});
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.Port());
    ToolPort port;
    ASSERT_TRUE(port.Open(link.string(), B9600));
    EXPECT_THAT(port.Exchange(Request(0xFE)), ElementsAreArray(kStopReply));
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(ReadersimPtyTest, VerboseLogIsTheTraceWithWhatTheReaderMadeOfEachFrame) {
    StartSim({"-v"});
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    port.Exchange(Request(0xFE));
    sim.Stop();
    const std::string log = Slurp(dir / "stderr.txt");
    EXPECT_NE(log.find("\tin\t9600\tA0 02 FE 60\tStop\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\t-\t9600\t\treceived Stop A0 02 FE 60\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\tout\t9600\tE0 03 FE 00 1F\treply to Stop: status 0\n"), std::string::npos)
        << log;
}

TEST_F(ReadersimPtyTest, UnknownOptionEndsWithStatus2) {
    EXPECT_FALSE(sim.Start(READERSIM_PATH, {"--bogus"}, (dir / "stderr.txt").string()));
    EXPECT_EQ(sim.exitStatus, 2);
}

}  // namespace
}  // namespace uhf
