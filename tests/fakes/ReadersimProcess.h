#pragma once

// Starts `readersim` as a child process for end-to-end tests and stops it again. The readersim
// binary's path is given by the test (e.g. from a compile definition with
// $<TARGET_FILE:readersim>).

#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fakes/ToolProcess.h"

namespace uhf::test {

class ReadersimProcess {
  public:
    ReadersimProcess() = default;
    ReadersimProcess(const ReadersimProcess&) = delete;
    ReadersimProcess& operator=(const ReadersimProcess&) = delete;
    ~ReadersimProcess() { Stop(); }

    // Starts `binary` with `args`, its log appended to `stderrPath`; waits (at most 5 s) for the
    // port path it prints. False when it does not start or exits first; `exitStatus` then holds
    // its status if it exited.
    bool Start(const std::string& binary, const std::vector<std::string>& args,
               const std::string& stderrPath = "/dev/null") {
        ToolStreams streams;
        streams.errorFile = stderrPath;
        process = std::make_unique<ToolProcess>(binary, args, streams);
        if (process->Started() && process->WaitForOutput("\n", std::chrono::seconds(5))) {
            port = process->out.substr(0, process->out.find('\n'));
            return true;
        }
        exitStatus = process->Wait(std::chrono::seconds(5));
        return false;
    }

    const std::string& Port() const { return port; }
    bool Running() const { return process && process->Running(); }
    // Sends `signal` and lets it run on (SIGUSR1 mends its line).
    void Signal(int signal) {
        if (Running()) {
            process->Signal(signal);
        }
    }

    // Sends `signal` and waits (at most `limit`) for the exit; returns the exit status, or -1
    // when it did not end in time (it is then killed) or ended by a signal.
    int Stop(int signal = SIGTERM, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        if (Running()) {
            process->Signal(signal);
            exitStatus = process->Wait(limit);
        }
        return exitStatus;
    }

    int exitStatus = -1;

  private:
    std::unique_ptr<ToolProcess> process;
    std::string port;
};

}  // namespace uhf::test
