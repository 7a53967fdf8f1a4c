#pragma once

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/PtyPair.h"
#include "sim/ReaderSimulator.h"

namespace uhf::test {

// A simulated reader on the far end of a pseudo-terminal, run by a thread of its own: the code
// under test opens Path() as its serial port. The simulator's memory, mode and log can be read
// while it runs.
class SimulatedReader {
  public:
    explicit SimulatedReader(SimConfig config, ParameterMemory memory = {})
        : simulator_(std::move(config), memory), origin_(std::chrono::steady_clock::now()) {
        if (pty_.Ok()) {
            pump_ = std::thread([this] { Pump(); });
        }
    }

    ~SimulatedReader() {
        stop_ = true;
        if (pump_.joinable()) {
            pump_.join();
        }
    }

    SimulatedReader(const SimulatedReader&) = delete;
    SimulatedReader& operator=(const SimulatedReader&) = delete;

    bool Ok() const { return pty_.Ok(); }
    const std::string& Path() const { return pty_.slavePath; }

    std::uint8_t At(int address) {
        std::lock_guard<std::mutex> lock(mutex_);
        return simulator_.Memory().At(address);
    }

    ReaderSimulator::Mode Mode() {
        std::lock_guard<std::mutex> lock(mutex_);
        return simulator_.CurrentMode();
    }

    // How many requests with this command name ("Stop", "Resume", ...) the reader has received.
    int Received(const std::string& command) {
        std::lock_guard<std::mutex> lock(mutex_);
        Collect();
        const std::string wanted = "received " + command + " ";
        int count = 0;
        for (const SimLogEntry& entry : log_) {
            count += entry.text.rfind(wanted, 0) == 0 ? 1 : 0;
        }
        return count;
    }

  private:
    SimTime Now() const {
        return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - origin_);
    }

    void Collect() {
        for (SimLogEntry& entry : simulator_.TakeLog()) {
            log_.push_back(std::move(entry));
        }
    }

    void Pump() {
        std::uint8_t buffer[512];
        while (!stop_) {
            pollfd fd{pty_.master, POLLIN, 0};
            const int ready = poll(&fd, 1, 2);
            std::vector<std::uint8_t> out;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (ready > 0 && (fd.revents & POLLIN) != 0) {
                    const ssize_t n = read(pty_.master, buffer, sizeof buffer);
                    if (n > 0) {
                        simulator_.Receive(buffer, static_cast<std::size_t>(n), Now());
                    }
                }
                out = simulator_.Poll(Now());
                Collect();
            }
            std::size_t written = 0;
            while (written < out.size() && !stop_) {
                const ssize_t n = write(pty_.master, out.data() + written, out.size() - written);
                if (n <= 0) {
                    break;  // the tool does not read; what it misses is line loss
                }
                written += static_cast<std::size_t>(n);
            }
        }
    }

    PtyPair pty_;
    std::mutex mutex_;
    ReaderSimulator simulator_;
    std::vector<SimLogEntry> log_;
    std::chrono::steady_clock::time_point origin_;
    std::atomic<bool> stop_{false};
    std::thread pump_;
};

}  // namespace uhf::test
