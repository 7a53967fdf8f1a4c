// ferrowin-cli against readersim over a pseudo-terminal: the real control, the real event loop
// and timers, and a simulated reader on the other end of the line.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/PtyPair.h"
#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const fs::path& path) {
    return test::TempFolder::ReadFile(path);
}

// readersim on a pty of its own, with its verbose log in a file.
class Reader {
  public:
    Reader(const fs::path& dir, std::vector<std::string> options,
           const std::string& logName = "readersim.log")
        : logPath(dir / logName) {
        options.insert(options.begin(), "-v");
        if (sim.Start(READERSIM_PATH, options, logPath.string())) {
            port = sim.Port();
        }
    }
    ~Reader() { Stop(); }

    void Stop() { sim.Stop(SIGINT, std::chrono::seconds(10)); }

    std::string Log() const { return ReadFile(logPath); }
    // The simulator notices a close at its next poll, which may come after the tool has exited.
    std::string LogOnceItSays(const std::string& text) const {
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(3);
        std::string log = Log();
        while (log.find(text) == std::string::npos && Clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            log = Log();
        }
        return log;
    }

    std::string port;
    fs::path logPath;

  private:
    test::ReadersimProcess sim;
};

struct CliRun {
    int status = -1;
    std::string err;
    Clock::duration took{};
};

class FerrowinCliEndToEnd : public testing::Test {
  protected:
    fs::path WriteImage(std::size_t size) {
        std::mt19937 random(static_cast<unsigned>(size));
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        const fs::path path = dir / "firmware.bin";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Runs ferrowin-cli to its end with stderr captured (or on `stderrFd` when given).
    CliRun RunCli(const std::vector<std::string>& options, int stderrFd = -1,
                  Clock::duration limit = std::chrono::seconds(120),
                  Clock::duration interruptAfter = Clock::duration::zero(),
                  int interruptSignal = SIGINT) {
        test::ToolStreams streams;
        streams.errorFd = stderrFd;
        streams.workingDir = workingDir;
        test::ToolProcess cli(FERROWIN_CLI_PATH, options, streams);
        CliRun run;
        if (!cli.Started()) {
            return run;
        }
        if (interruptAfter != Clock::duration::zero()) {
            std::this_thread::sleep_for(interruptAfter);
            cli.Signal(interruptSignal);
        }
        run.status = cli.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(limit));
        run.took = cli.elapsed;
        run.err = cli.err;
        return run;
    }

    test::TempFolder folder;
    const fs::path dir = folder.Path();
    std::string workingDir;  // where the tool runs; the test's own when empty
};

// Milliseconds since midnight of the last "[HH:MM:SS.mmm] ..." line of `log` containing `what`.
// The milliseconds into readersim's trace of its last line that holds `what`; -1 for none.
long long LastStamp(const std::string& log, const std::string& what) {
    long long stamp = -1;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        long long micros = 0;
        if (line.find(what) != std::string::npos &&
            std::sscanf(line.c_str(), "%lld\t", &micros) == 1) {
            stamp = micros / 1000;
        }
    }
    return stamp;
}

// The event of readersim's trace when the tool closes the port.
constexpr const char* kToolClosed = "\t\tclose";

TEST_F(FerrowinCliEndToEnd, ImagesUpToTheLargestArriveByteForByteWithTheWindowsLogLines) {
    struct Case {
        std::size_t size;
        const char* deviceBaud;  // the reader's working rate
        const char* downloadBaud;
    };
    for (const Case& c : {Case{1000, "115200", "57600"}, Case{65535, "9600", "115200"}}) {
        SCOPED_TRACE(c.size);
        const fs::path image = WriteImage(c.size);
        const fs::path received = dir / "received.bin";
        Reader reader(dir, {"--baud", c.deviceBaud, "--firmware-out", received.string()});
        ASSERT_FALSE(reader.port.empty());

        const CliRun run = RunCli({"-p", reader.port, "--device-baud", c.deviceBaud,
                                   "--download-baud", c.downloadBaud, image.string()});
        const std::string log = reader.Log();
        reader.Stop();
        EXPECT_EQ(run.status, 0) << run.err << log;
        EXPECT_NE(run.err.find(" Change baud rate.\n"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" Start sending upgrade firmware.\n"), std::string::npos);
        EXPECT_NE(run.err.find(" Upgrade file transferred successfully.\n"), std::string::npos);
        // stderr is no terminal here: no progress line.
        EXPECT_EQ(run.err.find('\r'), std::string::npos);
        const std::string got = ReadFile(received);
        EXPECT_EQ(got.size(), c.size);
        EXPECT_TRUE(got == ReadFile(image));
    }
}

TEST_F(FerrowinCliEndToEnd, ReaderThatStopsAcknowledgingFailsAfterOneSecond) {
    const fs::path image = WriteImage(1000);
    // Probe, alternate probe, baud-rate and size frames, then three data frames.
    Reader reader(dir, {"--baud", "115200", "--silent-after", "7"});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli({"-p", reader.port, "--device-baud", "115200", "--download-baud",
                               "115200", image.string()});
    const std::string log = reader.LogOnceItSays(kToolClosed);
    reader.Stop();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("文件发送失败，请重试!"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Upgrade file transferred successfully."), std::string::npos);

    // The tool sent its last frame once the reader's last answer had left, and gave up a second
    // after that frame, closing the port: so no sooner than a second after that answer began.
    // (When the reader logged the unanswered frame is no measure: a busy machine lets it read
    // the frame late.)
    const long long lastAnswer = LastStamp(log, "sent data answer");
    ASSERT_GE(lastAnswer, 0) << log;
    EXPECT_GE(LastStamp(log, "received data frame"), lastAnswer) << "no frame went unanswered";
    const long long waited = LastStamp(log, kToolClosed) - lastAnswer;
    EXPECT_GE(waited, 990) << log;
    EXPECT_LT(waited, 5000) << log;
}

class FerrowinCliStopSignal : public FerrowinCliEndToEnd,
                              public testing::WithParamInterface<int> {};

TEST_P(FerrowinCliStopSignal, ClosesThePortAndFails) {
    const fs::path image = WriteImage(1000);
    // Answers the probes and the baud-rate frame, then leaves the size frame waiting.
    Reader reader(dir, {"--baud", "115200", "--silent-after", "3"});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli(
        {"-p", reader.port, "--device-baud", "115200", "--download-baud", "115200", image.string()},
        -1, std::chrono::seconds(30), std::chrono::milliseconds(1500), GetParam());
    const std::string log = reader.LogOnceItSays(kToolClosed);
    reader.Stop();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(" Start sending upgrade firmware.\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" The download was stopped.\n"), std::string::npos) << run.err;
    EXPECT_NE(LastStamp(log, kToolClosed), -1) << log;
}

// Ctrl-C, a termination request, and the terminal going away.
INSTANTIATE_TEST_SUITE_P(Signals, FerrowinCliStopSignal, testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST_F(FerrowinCliEndToEnd, OneCharacterFileNameIsAFirmwareLikeAnyOther) {
    WriteImage(500);
    fs::rename(dir / "firmware.bin", dir / "x");
    const fs::path received = dir / "received.bin";
    Reader reader(dir, {"--baud", "115200", "--firmware-out", received.string()});
    ASSERT_FALSE(reader.port.empty());
    workingDir = dir.string();

    const CliRun run =
        RunCli({"-p", reader.port, "--device-baud", "115200", "--download-baud", "115200", "x"});
    reader.Stop();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Please select one firmware."), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(received), ReadFile(dir / "x"));
}

TEST_F(FerrowinCliEndToEnd, EmptyImageIsRefusedBeforeThePortIsOpened) {
    const fs::path image = WriteImage(0);
    Reader reader(dir, {"--baud", "115200"});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli({"-p", reader.port, "--device-baud", "115200", "--download-baud",
                               "115200", image.string()});
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(" The firmware file is empty.\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("successfully"), std::string::npos) << run.err;
    EXPECT_EQ(log.find("\t\topen "), std::string::npos) << log;
}

TEST_F(FerrowinCliEndToEnd, PathThatIsNoSerialLineSaysSo) {
    const fs::path image = WriteImage(10);
    for (const std::string& port : {std::string("/dev/null"), image.string()}) {
        const CliRun run = RunCli(
            {"-p", port, "--device-baud", "115200", "--download-baud", "115200", image.string()});
        EXPECT_EQ(run.status, 1) << port;
        EXPECT_NE(run.err.find(" Reason: the device is not a serial port.\n"), std::string::npos)
            << run.err;
    }
}

// One reader: its progress line redrawn in place below the log. Several: one progress line each,
// under the log lines that start with their port.
TEST_F(FerrowinCliEndToEnd, ProgressLinesAreDrawnOnATerminal) {
    const fs::path image = WriteImage(1000);
    for (const int readers : {1, 2}) {
        std::vector<std::unique_ptr<Reader>> sims;
        std::vector<std::string> command{"--device-baud", "115200", "--download-baud", "115200",
                                         image.string()};
        for (int i = 0; i < readers; ++i) {
            sims.push_back(std::make_unique<Reader>(
                dir, std::vector<std::string>{"--baud", "115200"},
                "readersim" + std::to_string(readers) + std::to_string(i) + ".log"));
            ASSERT_FALSE(sims.back()->port.empty());
            command.insert(command.begin(), {"-p", sims.back()->port});
        }

        test::PtyPair terminal;
        ASSERT_TRUE(terminal.Ok());
        const int master = terminal.master;
        // Drain the terminal while the tool runs, so it never blocks on a full buffer.
        std::string out;
        std::atomic<bool> stop{false};
        std::thread drain([&] {
            char buffer[4096];
            pollfd p{master, POLLIN, 0};
            while (!stop.load()) {
                if (poll(&p, 1, 50) > 0) {
                    const ssize_t n = read(master, buffer, sizeof buffer);
                    if (n <= 0) {
                        break;
                    }
                    out.append(buffer, static_cast<std::size_t>(n));
                }
            }
        });
        const CliRun run = RunCli(command, terminal.slave);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
        drain.join();
        EXPECT_EQ(run.status, 0) << out << sims[0]->Log();
        if (readers == 1) {
            EXPECT_NE(out.find("\r\033[K[########################] 100%  1000/1000 bytes"),
                      std::string::npos)
                << out;
            EXPECT_NE(out.find(" Upgrade file transferred successfully."), std::string::npos)
                << out;
            continue;
        }
        for (const auto& sim : sims) {
            const std::string& port = sim->port;
            EXPECT_NE(out.find("\r\033[K" + port + ": [########################] 100%  1000/1000"),
                      std::string::npos)
                << out;
            // A log line takes the place of the progress lines, which come again below it.
            EXPECT_TRUE(std::regex_search(
                out, std::regex("\033\\[2A\r\033\\[J" + port +
                                ": [0-9:]{8} Upgrade file transferred successfully\\.\n\r\033")))
                << out;
        }
    }
}

TEST_F(FerrowinCliEndToEnd, AbsentPortFailsBeforeAnyFrame) {
    const fs::path image = WriteImage(10);
    const fs::path report = dir / "report.jsonl";
    const CliRun run =
        RunCli({"-p", (dir / "no-such-port").string(), "--device-baud", "115200", "--download-baud",
                "115200", "--report", report.string(), image.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(" Fail to open the serial port.\n"), std::string::npos) << run.err;
    // The report gives the reason too, not only the step.
    EXPECT_NE(ReadFile(report).find("\"result\": \"failed\", \"message\": \"the serial port "
                                    "cannot be opened: no such device\""),
              std::string::npos)
        << ReadFile(report);
}

TEST_F(FerrowinCliEndToEnd, RelativePortPathIsOpenedAsGiven) {
    const fs::path image = WriteImage(100);
    const fs::path received = dir / "received.bin";
    Reader reader(dir, {"--baud", "115200", "--firmware-out", received.string()});
    ASSERT_FALSE(reader.port.empty());
    // A name relative to the working folder, not one under /dev.
    const std::string name = "ferrowin-e2e-reader-" + std::to_string(getpid());
    fs::remove(name);
    fs::create_symlink(reader.port, name);
    const CliRun run = RunCli(
        {"-p", name, "--device-baud", "115200", "--download-baud", "115200", image.string()});
    fs::remove(name);
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_EQ(run.status, 0) << run.err << log;
    EXPECT_TRUE(ReadFile(received) == ReadFile(image));
}

TEST_F(FerrowinCliEndToEnd, LogReaderGoingAwayDoesNotEndTheTransfer) {
    // ferrowin-cli ... 2>&1 | head -1
    const fs::path image = WriteImage(3000);
    const fs::path received = dir / "received.bin";
    Reader reader(dir, {"--baud", "115200", "--firmware-out", received.string()});
    ASSERT_FALSE(reader.port.empty());
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);  // no child may hold the reading end
    std::string firstLine;
    std::thread head([&] {
        char c = 0;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') {
            firstLine += c;
        }
        close(pipeFds[0]);
    });
    const CliRun run = RunCli(
        {"-p", reader.port, "--device-baud", "115200", "--download-baud", "115200", image.string()},
        pipeFds[1]);
    close(pipeFds[1]);
    head.join();
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_FALSE(firstLine.empty());
    EXPECT_EQ(run.status, 0) << "141 is death by SIGPIPE\n" << log;
    EXPECT_TRUE(ReadFile(received) == ReadFile(image));
}

TEST_F(FerrowinCliEndToEnd, MissingOrUnreadableFirmwareFailsWithOneSayingWhy) {
    // The status tesmarle-cli gives a --from file it cannot read; a FIFO without a writer is
    // refused, not waited on.
    ASSERT_EQ(::mkfifo((dir / "fw.fifo").c_str(), 0600), 0);
    const struct {
        fs::path firmware;
        std::string reason;  // the line under "Fail to read the firmware file."
    } cases[] = {
        {dir / "no-such.bin", ""},
        {dir, "it is a directory"},
        {dir / "fw.fifo", "it is a FIFO"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli({"-p", (dir / "no-such-port").string(), "--device-baud", "9600",
                                   "--download-baud", "9600", c.firmware.string()},
                                  -1, std::chrono::seconds(30));
        EXPECT_EQ(run.status, 1) << c.firmware << run.err;
        if (c.reason.empty()) {
            EXPECT_NE(run.err.find(" The firmware file does not exist.\n"), std::string::npos)
                << run.err;
            continue;
        }
        // The text as it always was, and the reason on the next line of the log.
        const std::string text = " Fail to read the firmware file.\n";
        const std::size_t at = run.err.find(text);
        ASSERT_NE(at, std::string::npos) << run.err;
        const std::string next = run.err.substr(at + text.size());
        EXPECT_EQ(next.substr(0, next.find('\n')).substr(std::string("HH:MM:SS ").size()),
                  "Reason: " + c.reason + ".")
            << run.err;
    }
}

TEST_F(FerrowinCliEndToEnd, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli({}).status, 2);
    EXPECT_EQ(
        RunCli({"-p", "/dev/null", "--device-baud", "1200", "--download-baud", "9600", "f.bin"})
            .status,
        2);
    EXPECT_EQ(RunCli({"-p", "/dev/null", "--device-baud", "9600", "f.bin"}).status, 2);
}

}  // namespace
}  // namespace uhf
