// ferrowin-cli against readersim over a pseudo-terminal: the real control, the real event loop
// and timers, and a simulated reader on the other end of the line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/TempFolder.h"

extern char** environ;

namespace uhf {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A child process started with posix_spawn; stdout and stderr go where the test says.
class Child {
  public:
    Child(const std::vector<std::string>& args, int stdoutFd, int stderrFd,
          const std::string& workingDir = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!workingDir.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
        }
        if (stdoutFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
        }
        if (stderrFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid > 0 && !reaped) {
            kill(pid, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
    }

    bool Started() const { return pid > 0; }
    void Signal(int signal) {
        if (pid > 0 && !reaped) {
            kill(pid, signal);
        }
    }

    // The exit status, or -1 when the child did not end within `limit` (it is then killed).
    int Wait(Clock::duration limit) {
        const auto deadline = Clock::now() + limit;
        while (!reaped) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                reaped = true;
                endedAt = Clock::now();
                endedWall = std::chrono::system_clock::now();
                exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                reaped = true;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exitStatus;
    }

    Clock::time_point endedAt;
    std::chrono::system_clock::time_point endedWall;

  private:
    pid_t pid = -1;
    bool reaped = false;
    int exitStatus = -1;
};

// readersim on a pty of its own, with its verbose log in a file.
class Reader {
  public:
    Reader(const fs::path& dir, std::vector<std::string> options) : logPath(dir / "readersim.log") {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> args{READERSIM_PATH, "-v"};
        args.insert(args.end(), options.begin(), options.end());
        child = std::make_unique<Child>(args, fds[1], logFd);
        close(fds[1]);
        close(logFd);
        // The first line of its output is the port to open.
        std::string line;
        pollfd p{fds[0], POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
            if (poll(&p, 1, 100) > 0) {
                char buffer[256];
                const ssize_t n = read(fds[0], buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                line.append(buffer, static_cast<std::size_t>(n));
            }
        }
        close(fds[0]);
        const auto newline = line.find('\n');
        if (newline != std::string::npos) {
            port = line.substr(0, newline);
        }
    }
    ~Reader() { Stop(); }

    void Stop() {
        if (child) {
            child->Signal(SIGINT);
            child->Wait(std::chrono::seconds(10));
            child.reset();
        }
    }

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
    std::unique_ptr<Child> child;
};

struct CliRun {
    int status = -1;
    std::string err;
    Clock::duration took{};
    std::chrono::system_clock::time_point endedWall;
};

class FerrowinCliEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        dir = test::TempFolder::CreateUnique("ferrowin-e2e-");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

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

    // Runs ferrowin-cli to its end with stderr in a file (or on `stderrFd` when given).
    CliRun RunCli(const std::vector<std::string>& options, int stderrFd = -1,
                  Clock::duration limit = std::chrono::seconds(120),
                  Clock::duration interruptAfter = Clock::duration::zero(),
                  int interruptSignal = SIGINT) {
        const fs::path errPath = dir / "cli.err";
        const int errFd =
            stderrFd >= 0 ? stderrFd : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> args{FERROWIN_CLI_PATH};
        args.insert(args.end(), options.begin(), options.end());
        const auto started = Clock::now();
        Child cli(args, -1, errFd, workingDir);
        if (stderrFd < 0) {
            close(errFd);
        }
        CliRun run;
        if (!cli.Started()) {
            return run;
        }
        if (interruptAfter != Clock::duration::zero()) {
            std::this_thread::sleep_for(interruptAfter);
            cli.Signal(interruptSignal);
        }
        run.status = cli.Wait(limit);
        run.took = cli.endedAt - started;
        run.endedWall = cli.endedWall;
        if (stderrFd < 0) {
            run.err = ReadFile(errPath);
        }
        return run;
    }

    fs::path dir;
    std::string workingDir;  // where the tool runs; the test's own when empty
};

// Milliseconds since midnight of the last "[HH:MM:SS.mmm] ..." line of `log` containing `what`.
long long LastStamp(const std::string& log, const std::string& what) {
    long long stamp = -1;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        int h = 0, m = 0, s = 0, ms = 0;
        if (line.find(what) != std::string::npos &&
            std::sscanf(line.c_str(), "[%d:%d:%d.%d]", &h, &m, &s, &ms) == 4) {
            stamp = ((h * 60LL + m) * 60 + s) * 1000 + ms;
        }
    }
    return stamp;
}

long long MillisecondsSinceMidnight(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + ms;
}

TEST_F(FerrowinCliEndToEnd, ThousandByteImageArrivesByteForByte) {
    const fs::path image = WriteImage(1000);
    const fs::path received = dir / "received.bin";
    Reader reader(dir, {"--baud", "115200", "--firmware-out", received.string()});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli(
        {"-p", reader.port, "--device-baud", "115200", "--download-baud", "57600", image.string()});
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_EQ(run.status, 0) << run.err << log;
    EXPECT_NE(run.err.find(" Change baud rate.\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" Start sending upgrade firmware.\n"), std::string::npos);
    EXPECT_NE(run.err.find(" Upgrade file transferred successfully.\n"), std::string::npos);
    // stderr is a file here: no progress line.
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_EQ(ReadFile(received), ReadFile(image));
}

TEST_F(FerrowinCliEndToEnd, LargestImageArrivesByteForByte) {
    const fs::path image = WriteImage(65535);
    const fs::path received = dir / "received.bin";
    Reader reader(dir, {"--baud", "9600", "--firmware-out", received.string()});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli(
        {"-p", reader.port, "--device-baud", "9600", "--download-baud", "115200", image.string()});
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_EQ(run.status, 0) << run.err << log;
    const std::string got = ReadFile(received);
    EXPECT_EQ(got.size(), 65535U);
    EXPECT_TRUE(got == ReadFile(image));
}

TEST_F(FerrowinCliEndToEnd, ReaderThatStopsAcknowledgingFailsAfterOneSecond) {
    const fs::path image = WriteImage(1000);
    // Probe, alternate probe, baud-rate and size frames, then three data frames.
    Reader reader(dir, {"--baud", "115200", "--silent-after", "7"});
    ASSERT_FALSE(reader.port.empty());

    const CliRun run = RunCli({"-p", reader.port, "--device-baud", "115200", "--download-baud",
                               "115200", image.string()});
    const std::string log = reader.LogOnceItSays("the tool closed the port");
    reader.Stop();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("文件发送失败，请重试!"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Upgrade file transferred successfully."), std::string::npos);

    // The unanswered frame was the last one the reader saw; the tool gave up one second later.
    const long long lastFrame = LastStamp(log, "received data frame");
    ASSERT_GE(lastFrame, 0) << log;
    const long long waited = MillisecondsSinceMidnight(run.endedWall) - lastFrame;
    EXPECT_GE(waited, 990) << log;
    EXPECT_LT(waited, 5000) << log;
    EXPECT_NE(LastStamp(log, "the tool closed the port"), -1) << log;
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
    const std::string log = reader.LogOnceItSays("the tool closed the port");
    reader.Stop();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(" Start sending upgrade firmware.\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" The download was stopped.\n"), std::string::npos) << run.err;
    EXPECT_NE(LastStamp(log, "the tool closed the port"), -1) << log;
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
    EXPECT_EQ(log.find("the tool opened the port"), std::string::npos) << log;
}

TEST_F(FerrowinCliEndToEnd, PathThatIsNoSerialLineSaysSo) {
    const fs::path image = WriteImage(10);
    for (const std::string& port : {std::string("/dev/null"), image.string()}) {
        const CliRun run = RunCli(
            {"-p", port, "--device-baud", "115200", "--download-baud", "115200", image.string()});
        EXPECT_EQ(run.status, 1) << port;
        EXPECT_NE(run.err.find(" Reason: not a serial port.\n"), std::string::npos) << run.err;
    }
}

TEST_F(FerrowinCliEndToEnd, ProgressLineIsDrawnOnATerminal) {
    const fs::path image = WriteImage(1000);
    Reader reader(dir, {"--baud", "115200"});
    ASSERT_FALSE(reader.port.empty());

    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
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
    const CliRun run = RunCli(
        {"-p", reader.port, "--device-baud", "115200", "--download-baud", "115200", image.string()},
        slave);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
    drain.join();
    close(slave);
    close(master);
    const std::string log = reader.Log();
    reader.Stop();
    EXPECT_EQ(run.status, 0) << out << log;
    EXPECT_NE(out.find("100%  1000/1000 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("Upgrade file transferred successfully."), std::string::npos) << out;
}

TEST_F(FerrowinCliEndToEnd, AbsentPortFailsBeforeAnyFrame) {
    const fs::path image = WriteImage(10);
    const CliRun run = RunCli({"-p", (dir / "no-such-port").string(), "--device-baud", "115200",
                               "--download-baud", "115200", image.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(" Fail to open the serial port.\n"), std::string::npos) << run.err;
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

TEST_F(FerrowinCliEndToEnd, MissingOrUnreadableFirmwareFailsWithOne) {
    // The status tesmarle-cli gives a --from file it cannot read.
    for (const fs::path& firmware : {dir / "no-such.bin", dir}) {
        const CliRun run = RunCli({"-p", (dir / "no-such-port").string(), "--device-baud", "9600",
                                   "--download-baud", "9600", firmware.string()});
        EXPECT_EQ(run.status, 1) << firmware << run.err;
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
