#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace uhf::test {

// Where the program's standard streams go, when not to the test's pipes.
struct CliStreams {
    enum class Output { Pipe, Closed, Full };
    Output out = Output::Pipe;  // Closed: started with descriptor 1 closed; Full: /dev/full
    std::string inputFile;      // standard input from this file (default: inherited)
};

// A command-line program run by a test, with its standard output and error captured.
class CliProcess {
  public:
    CliProcess(const std::string& program, const std::vector<std::string>& args,
               const CliStreams& streams = {}) {
        int outPipe[2];
        int errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!streams.inputFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, 0, streams.inputFile.c_str(), O_RDONLY, 0);
        }
        switch (streams.out) {
            case CliStreams::Output::Pipe:
                posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
                break;
            case CliStreams::Output::Closed:
                posix_spawn_file_actions_addclose(&actions, 1);
                break;
            case CliStreams::Output::Full:
                posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
                break;
        }
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
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
    ~CliProcess() {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
        if (outFd >= 0) {
            close(outFd);
        }
        if (errFd >= 0) {
            close(errFd);
        }
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool Started() const { return pid > 0; }

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

    void Signal(int signal) {
        if (pid > 0) {
            kill(pid, signal);
        }
    }

    // Waits for the program to end; its exit status, or -1 when it had to be killed.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Pump(20)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid, SIGKILL);
                break;
            }
        }
        int status = 0;
        waitpid(pid, &status, 0);
        exited = true;
        terminatingSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string out;
    std::string err;
    int terminatingSignal = 0;  // the signal that ended the program, if one did

  private:
    // Reads what is there; false once both streams have ended.
    bool Pump(int timeoutMs) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (outFd < 0 && errFd < 0) {
            return false;
        }
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

    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
    bool exited = false;
};

}  // namespace uhf::test
