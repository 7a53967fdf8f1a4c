#pragma once

// One of the built programs run by a test as a child process, with its standard output and error
// captured. Every wait has a loose bound, so that a hung program fails the test instead of
// stalling the suite. What the program said on standard error is also copied into the test's own
// log when it ends, so that a test failing on its exit status or output shows why the program
// ended (a sanitizer that stopped it, a program that could not start).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace uhf::test {

// Where the program's standard streams go, when not to the test's pipes.
struct ToolStreams {
    enum class Output { Pipe, Closed, Full };
    Output out = Output::Pipe;  // Closed: started with descriptor 1 closed; Full: /dev/full
    std::string inputFile;      // standard input from this file (default: inherited)
    int inputFd = -1;           // standard input from this descriptor (e.g. a pipe's read end)
    std::string errorFile;      // standard error appended to this file, to be read while it runs
    int errorFd = -1;           // standard error onto this descriptor (e.g. a terminal's end)
    std::string workingDir;     // where it runs (default: the test's own folder)

    static ToolStreams WithOutput(Output output) {
        ToolStreams streams;
        streams.out = output;
        return streams;
    }
    static ToolStreams WithInput(const std::string& file) {
        ToolStreams streams;
        streams.inputFile = file;
        return streams;
    }
};

struct ToolResult {
    int exitStatus = -1;  // -1: killed because it did not end in time, or ended by a signal
    bool hung = false;    // killed because it did not end in time
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

class ToolProcess {
  public:
    ToolProcess(const std::string& program, const std::vector<std::string>& args,
                const ToolStreams& streams = {})
        : name(program), start(std::chrono::steady_clock::now()) {
        int outPipe[2];
        int errPipe[2];
        if (pipe(outPipe) != 0) {
            return;
        }
        if (pipe(errPipe) != 0) {
            close(outPipe[0]);
            close(outPipe[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!streams.inputFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, 0, streams.inputFile.c_str(), O_RDONLY, 0);
        } else if (streams.inputFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, streams.inputFd, 0);
        }
        switch (streams.out) {
            case ToolStreams::Output::Pipe:
                posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
                break;
            case ToolStreams::Output::Closed:
                posix_spawn_file_actions_addclose(&actions, 1);
                break;
            case ToolStreams::Output::Full:
                posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
                break;
        }
        if (!streams.workingDir.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, streams.workingDir.c_str());
        }
        if (streams.errorFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, streams.errorFd, 2);
        } else if (streams.errorFile.empty()) {
            posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        } else {
            posix_spawn_file_actions_addopen(&actions, 2, streams.errorFile.c_str(),
                                             O_WRONLY | O_CREAT | O_APPEND, 0644);
        }
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        outFd = outPipe[0];
        errFd = errPipe[0];
    }
    ~ToolProcess() {
        if (Running()) {
            kill(pid, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
        CloseOutput();
        if (errFd >= 0) {
            close(errFd);
        }
    }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool Started() const { return pid > 0; }
    bool Running() const { return pid > 0 && !exited; }

    // Collects output until `text` shows in standard output or the limit passes.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (out.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline || !Pump(20)) {
                return out.find(text) != std::string::npos;
            }
        }
        return true;
    }

    // Stops reading standard output, as `head` does once it has its lines: the program's next
    // write finds the pipe closed.
    void CloseOutput() {
        if (outFd >= 0) {
            close(outFd);
            outFd = -1;
        }
    }

    // Waits until the program has a handler of its own for `signal` (from /proc), so that a
    // signal sent next reaches the program's handling and not the default action.
    bool WaitUntilCatching(int signal, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        const std::string status = "/proc/" + std::to_string(pid) + "/status";
        while (Running() && std::chrono::steady_clock::now() < deadline) {
            std::ifstream file(status);
            for (std::string line; std::getline(file, line);) {
                if (line.rfind("SigCgt:", 0) == 0 &&
                    ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0) {
                    return true;
                }
            }
            Pump(10);
        }
        return false;
    }

    void Signal(int signal) {
        if (Running()) {
            kill(pid, signal);
        }
    }

    // Waits for the program to end; its exit status, or -1 when it had to be killed or a signal
    // ended it.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        if (!Started()) {
            return -1;
        }
        if (exited) {
            return exitStatus;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        for (;;) {
            const bool streamsOpen = Pump(10);
            if (waitpid(pid, &status, WNOHANG) == pid) {
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                hung = true;
                break;
            }
            if (!streamsOpen) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        // What it wrote last; bounded, in case something it started still holds the pipes.
        const auto drained = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!hung && Pump(10) && std::chrono::steady_clock::now() < drained) {
        }
        exited = true;
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        terminatingSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        exitStatus = !hung && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (!err.empty()) {
            std::fprintf(stderr, "--- %s ended (exit status %d, signal %d), its standard error:\n",
                         name.c_str(), exitStatus, terminatingSignal);
            std::fwrite(err.data(), 1, err.size(), stderr);
            std::fputs(err.back() == '\n' ? "" : "\n", stderr);
        }
        return exitStatus;
    }

    // Waits as Wait does and hands over all the program said.
    ToolResult Finish(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        ToolResult result;
        result.exitStatus = Wait(limit);
        result.hung = hung;
        result.out = out;
        result.err = err;
        result.elapsed = elapsed;
        return result;
    }

    std::string out;
    std::string err;
    int exitStatus = -1;
    int terminatingSignal = 0;  // the signal that ended the program, if one did
    bool hung = false;
    std::chrono::milliseconds elapsed{0};

  private:
    // Reads what is there; false once both streams have ended.
    bool Pump(int timeoutMs) {
        if (outFd < 0 && errFd < 0) {
            return false;
        }
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) <= 0) {
            return true;
        }
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? outFd : errFd;
            if (fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t n = read(fd, buffer, sizeof(buffer));
                if (n > 0) {
                    (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
                } else {
                    close(fd);
                    fd = -1;
                }
            }
        }
        return outFd >= 0 || errFd >= 0;
    }

    std::string name;
    std::chrono::steady_clock::time_point start;
    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
    bool exited = false;
};

// Runs `command` (the program's path first) to its end.
inline ToolResult RunTool(const std::vector<std::string>& command,
                          std::chrono::milliseconds limit = std::chrono::seconds(30),
                          const ToolStreams& streams = {}) {
    ToolProcess process(command.front(), {command.begin() + 1, command.end()}, streams);
    return process.Finish(limit);
}

}  // namespace uhf::test
