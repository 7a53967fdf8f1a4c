#pragma once

// Starts `readersim` as a child process for end-to-end tests and stops it again. Header-only so
// that the tests of every tool can use it; the readersim binary's path is given by the test
// (e.g. from a compile definition with $<TARGET_FILE:readersim>).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace uhf::testing {

class ReadersimProcess {
  public:
    ReadersimProcess() = default;
    ReadersimProcess(const ReadersimProcess&) = delete;
    ReadersimProcess& operator=(const ReadersimProcess&) = delete;
    ~ReadersimProcess() { Stop(); }

    // Starts `binary` with `args`; waits (at most 5 s) for the port path it prints. False when
    // it does not start or exits first; `exitStatus` then holds its status if it exited.
    bool Start(const std::string& binary, const std::vector<std::string>& args,
               const std::string& stderrPath = "/dev/null") {
        int out[2];
        if (::pipe(out) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<std::string> all{binary};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            pid = -1;
            return false;
        }
        stdoutFd = out[0];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::string line;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{stdoutFd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                continue;
            }
            char c = 0;
            const ssize_t n = ::read(stdoutFd, &c, 1);
            if (n <= 0) {
                break;  // exited before printing the port
            }
            if (c == '\n') {
                port = line;
                return true;
            }
            line += c;
        }
        Wait(std::chrono::seconds(5));
        return false;
    }

    const std::string& Port() const { return port; }
    bool Running() const { return pid > 0; }

    // Sends `signal` and waits (at most `limit`) for the exit; returns the exit status, or -1
    // when it did not end in time (it is then killed) or ended by a signal.
    int Stop(int signal = SIGTERM, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        if (pid <= 0) {
            return exitStatus;
        }
        ::kill(pid, signal);
        return Wait(limit);
    }

    int exitStatus = -1;

  private:
    int Wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid = -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                exitStatus = -1;
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (stdoutFd >= 0) {
            ::close(stdoutFd);
            stdoutFd = -1;
        }
        return exitStatus;
    }

    pid_t pid = -1;
    int stdoutFd = -1;
    std::string port;
};

}  // namespace uhf::testing
