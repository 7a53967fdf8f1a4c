#pragma once

// Runs a command-line tool to its end for end-to-end tests: exit status, what it printed, and
// how long it took. A tool that runs past the limit is killed and reported with status -1.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace uhf::testing {

struct ToolResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

inline ToolResult RunTool(const std::vector<std::string>& command,
                          std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    ToolResult result;
    char outName[] = "/tmp/tool_out_XXXXXX";
    char errName[] = "/tmp/tool_err_XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        const auto deadline = start + limit;
        for (;;) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    auto slurp = [](const char* name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    result.out = slurp(outName);
    result.err = slurp(errName);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}

}  // namespace uhf::testing
