#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeReader.h"
#include "fakes/PtyPair.h"
#include "sim/ReaderSimulator.h"

namespace uhf::test {

// A reader on the far end of a pseudo-terminal: a thread that answers the parameter protocol
// with a FakeReader and, while the reader is working, sends one tag frame every
// `tagInterval` from a list of identifiers, round and round (StreamAtLineRate: back to back, as
// fast as the line carries them). RepeatReply makes it send some answers twice, as a faulty
// reader does: the copy follows after a delay, or just after the next request comes in, ahead of
// that request's answer. Built with a SimConfig, the reader is a ReaderSimulator instead, fed with
// the time since the peer started. The code under test opens Path().
class PtyReaderPeer {
  public:
    using Bytes = std::vector<std::uint8_t>;
    using Id = std::array<std::uint8_t, 8>;
    using Clock = std::chrono::steady_clock;

    explicit PtyReaderPeer(std::vector<Id> tagIds = {},
                           std::chrono::milliseconds interval = std::chrono::milliseconds(100))
        : tags(std::move(tagIds)), tagInterval(interval) {
        reader.working = false;
        if (pty.Ok()) {
            fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
            thread = std::thread([this] { Run(); });
        }
    }
    explicit PtyReaderPeer(SimConfig config, ParameterMemory memory = {})
        : simulator(std::make_unique<ReaderSimulator>(std::move(config), memory)), tagInterval(0) {
        if (pty.Ok()) {
            fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
            thread = std::thread([this] { Run(); });
        }
    }
    ~PtyReaderPeer() {
        done = true;
        if (thread.joinable()) {
            thread.join();
        }
    }
    PtyReaderPeer(const PtyReaderPeer&) = delete;
    PtyReaderPeer& operator=(const PtyReaderPeer&) = delete;

    bool Ok() const { return pty.Ok(); }
    const std::string& Path() const { return pty.slavePath; }
    int SlaveFd() const { return pty.slave; }

    // Runs `action` on the reader's state with the peer paused.
    void WithReader(const std::function<void(FakeReader&)>& action) {
        std::lock_guard<std::mutex> lock(mutex);
        action(reader);
    }
    // The reader's parameter memory at `address`.
    std::uint8_t At(int address) {
        std::lock_guard<std::mutex> lock(mutex);
        return simulator ? simulator->Memory().At(address)
                         : reader.memory[static_cast<std::size_t>(address)];
    }
    // The simulator's state (built with a SimConfig only).
    ReaderSimulator::Mode Mode() {
        std::lock_guard<std::mutex> lock(mutex);
        return simulator->CurrentMode();
    }
    // How many requests with this command name ("Stop", "Resume", ...) the simulator has
    // received.
    int Received(const std::string& command) {
        std::lock_guard<std::mutex> lock(mutex);
        CollectLog();
        const std::string wanted = "received " + command + " ";
        int count = 0;
        for (const SimLogEntry& entry : simLog) {
            count += entry.text.rfind(wanted, 0) == 0 ? 1 : 0;
        }
        return count;
    }
    std::vector<Bytes> Requests() {
        std::lock_guard<std::mutex> lock(mutex);
        return requests;
    }
    int TagsSent() {
        std::lock_guard<std::mutex> lock(mutex);
        return tagsSent;
    }
    // Bytes that came in outside any request (skipped).
    int NoiseReceived() {
        std::lock_guard<std::mutex> lock(mutex);
        return noise;
    }
    // Tag frames follow each other with no pause at `baud` (10 bits a byte).
    void StreamAtLineRate(int baud) {
        std::lock_guard<std::mutex> lock(mutex);
        tagInterval = std::chrono::microseconds(14 * 10 * 1000000LL / baud);
    }
    // The answer to each request that `which` picks is sent again `delay` later or, when
    // `withNextRequest`, as soon as the next request has come in.
    void RepeatReply(std::function<bool(const Bytes&)> which, std::chrono::milliseconds delay,
                     bool withNextRequest) {
        std::lock_guard<std::mutex> lock(mutex);
        repeatWhich = std::move(which);
        repeatDelay = delay;
        repeatWithNextRequest = withNextRequest;
    }

  private:
    // Waits up to a second for room on the line; the simulator's bytes that find none are lost, as
    // on a line nobody reads.
    void Send(const Bytes& bytes) {
        std::size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = write(pty.master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (simulator) {
                return;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    SimTime SinceStart() const {
        return std::chrono::duration_cast<SimTime>(Clock::now() - started);
    }
    void CollectLog() {
        if (simulator) {
            for (SimLogEntry& entry : simulator->TakeLog()) {
                simLog.push_back(std::move(entry));
            }
        }
    }

    void Run() {
        Bytes pending;
        auto nextTag = Clock::now();
        while (!done) {
            pollfd pfd{pty.master, POLLIN, 0};
            if (poll(&pfd, 1, 1) > 0 && (pfd.revents & POLLIN) != 0) {
                std::array<std::uint8_t, 512> chunk{};
                const ssize_t n = read(pty.master, chunk.data(), chunk.size());
                if (n > 0) {
                    pending.insert(pending.end(), chunk.begin(), chunk.begin() + n);
                }
            }
            if (simulator) {
                Bytes out;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (!pending.empty()) {
                        simulator->Receive(pending.data(), pending.size(), SinceStart());
                    }
                    out = simulator->Poll(SinceStart());
                    CollectLog();
                }
                pending.clear();
                Send(out);
                continue;
            }
            // Requests start with 0xA0 and carry their length; anything else is skipped.
            while (!pending.empty()) {
                if (pending[0] != 0xA0) {
                    pending.erase(pending.begin());
                    std::lock_guard<std::mutex> lock(mutex);
                    ++noise;
                    continue;
                }
                if (pending.size() < 2 || pending.size() < pending[1] + 2u) {
                    break;
                }
                const Bytes request(pending.begin(), pending.begin() + pending[1] + 2);
                pending.erase(pending.begin(), pending.begin() + pending[1] + 2);
                Bytes answer;
                Bytes copyNow;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    requests.push_back(request);
                    answer = reader.Answer(request);
                    if (repeatWithNextRequest) {
                        copyNow.swap(copy);
                    }
                    if (repeatWhich && repeatWhich(request) && !answer.empty()) {
                        copy = answer;
                        copyDue = Clock::now() + repeatDelay;
                    }
                }
                Send(copyNow);
                Send(answer);
            }
            const auto now = Clock::now();
            Bytes late;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!repeatWithNextRequest && !copy.empty() && now >= copyDue) {
                    late.swap(copy);
                }
            }
            Send(late);
            // Catches up with the line after a late wake-up, a few frames at most.
            for (int n = 0; n < 8 && now >= nextTag; ++n) {
                Bytes frame;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    nextTag += tagInterval;
                    if (reader.working && !tags.empty()) {
                        frame = FakeReader::TagFrame(tags[nextId++ % tags.size()]);
                        ++tagsSent;
                    }
                }
                Send(frame);
            }
            if (now >= nextTag) {
                nextTag = now;
            }
        }
    }

    PtyPair pty;
    std::mutex mutex;
    FakeReader reader;
    std::unique_ptr<ReaderSimulator> simulator;
    std::vector<SimLogEntry> simLog;
    Clock::time_point started = Clock::now();
    std::vector<Bytes> requests;
    std::vector<Id> tags;
    std::size_t nextId = 0;
    int tagsSent = 0;
    int noise = 0;
    Clock::duration tagInterval;
    std::function<bool(const Bytes&)> repeatWhich;
    std::chrono::milliseconds repeatDelay{0};
    bool repeatWithNextRequest = false;
    Bytes copy;
    Clock::time_point copyDue;
    std::atomic<bool> done{false};
    std::thread thread;
};

}  // namespace uhf::test
