#pragma once

// Runs one of the built tools as a child process with its output captured in files, and waits
// for it with a loose bound so that a hung tool fails the test instead of stalling the suite.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace uhf::faults {

struct ToolResult {
    int exitStatus = -1;  // -1: killed because it did not end in time, or ended by a signal
    bool hung = false;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ToolProcess {
  public:
    ToolProcess(std::string binaryPath, std::vector<std::string> arguments, std::string folder)
        : binary(std::move(binaryPath)), args(std::move(arguments)), dir(std::move(folder)) {}
    ~ToolProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool Start() {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (dir + "/tool.out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir + "/tool.err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all{binary};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        start = std::chrono::steady_clock::now();
        const int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid = -1;
        }
        return rc == 0;
    }

    // Waits for the end, killing the tool after `limit`.
    ToolResult Wait(std::chrono::milliseconds limit) {
        ToolResult result;
        const auto deadline = start + limit;
        while (pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid = -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                result.hung = true;
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        result.out = Slurp(dir + "/tool.out");
        result.err = Slurp(dir + "/tool.err");
        return result;
    }

    ToolResult Run(std::chrono::milliseconds limit) {
        if (!Start()) {
            return {};
        }
        return Wait(limit);
    }

  private:
    std::string binary;
    std::vector<std::string> args;
    std::string dir;
    pid_t pid = -1;
    std::chrono::steady_clock::time_point start;
};

}  // namespace uhf::faults
