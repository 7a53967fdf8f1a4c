#include "readersim/SimulatorRunner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/AtomicFile.h"
#include "protocol/BaudRates.h"
#include "protocol/FrameSplitter.h"

namespace uhf {

namespace {

constexpr int kMaxWaitMs = 20;
// A state file is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxStateFileSize = 64 * 1024;
// What a serial driver's receive buffer holds: bytes written faster than the line carries them
// beyond this are lost, as on a real line.
constexpr std::size_t kMaxBytesInFlight = 4096;
// While nobody has the port open the master reports a hang-up at once; this keeps the loop from
// spinning then.
constexpr int kNoPeerPauseMs = 5;

// A frame still arriving after this much quiet on the line never will: the trace cuts it.
constexpr SimTime kTraceQuiet = std::chrono::milliseconds(100);

}  // namespace

SimulatorRunner::SimulatorRunner(SimOptions opts)
    : options(std::move(opts)), origin(std::chrono::steady_clock::now()) {}

SimulatorRunner::~SimulatorRunner() {
    SaveChangedState(Now(), true);
    RemoveLink();
}

SimTime SimulatorRunner::Now() const {
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - origin);
}

void SimulatorRunner::Report(const std::string& text) {
    trace.Event(text);
    if (options.verbosity == 0) {
        std::fprintf(stderr, "readersim: %s\n", text.c_str());
    }
}

bool SimulatorRunner::Start(std::string& error) {
    if ((!options.tracePath.empty() && !trace.WriteTo(options.tracePath, error)) ||
        (options.verbosity >= 1 && !trace.WriteTo("-", error))) {
        return false;
    }
    ParameterMemory memory;
    if (!options.statePath.empty()) {
        const AtomicFile::Contents state = AtomicFile::Read(options.statePath, kMaxStateFileSize);
        if (state.error == FileError::None) {
            std::string parseError;
            std::optional<ParameterMemory> loaded = ParameterMemory::Parse(state.bytes, parseError);
            if (!loaded) {
                // Left as it is: overwriting it would lose whatever the user kept there.
                error = options.statePath + ": " + parseError;
                return false;
            }
            memory = *loaded;
        } else if (state.Exists()) {
            error = options.statePath + ": " + Reason(state);
            return false;
        }
    }
    simulator.emplace(options.config, memory,
                      options.startInLoader  ? ReaderSimulator::Mode::Upgrade
                      : options.startWorking ? ReaderSimulator::Mode::Working
                                             : ReaderSimulator::Mode::Stopped);
    if (!options.statePath.empty() && !SaveState()) {
        error = "cannot write the state file " + options.statePath;
        return false;
    }
    if (!terminal.Open(options.config.workingBaud, error)) {
        return false;
    }
    if (!options.linkPath.empty()) {
        struct stat info {};
        if (::lstat(options.linkPath.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                error = options.linkPath + " exists and is not a symlink; left alone";
                terminal.Close();
                return false;
            }
            ::unlink(options.linkPath.c_str());
        }
        if (::symlink(terminal.SlavePath().c_str(), options.linkPath.c_str()) != 0) {
            error = options.linkPath + ": " + std::strerror(errno);
            terminal.Close();
            return false;
        }
        linkMade = true;
    }
    return true;
}

void SimulatorRunner::RemoveLink() {
    if (!linkMade) {
        return;
    }
    // Only our own link: another simulator may have taken the name since.
    char target[4096];
    const ssize_t n = ::readlink(options.linkPath.c_str(), target, sizeof target - 1);
    if (n > 0) {
        target[n] = '\0';
        if (terminal.SlavePath() == target) {
            ::unlink(options.linkPath.c_str());
        }
    }
    linkMade = false;
}

bool SimulatorRunner::SaveState() {
    const CommonError error =
        AtomicFile::Replace(options.statePath, simulator->Memory().Serialize(), nullptr);
    if (error != CommonError::None) {
        Report("cannot save the state: " + options.statePath + ": " + ToString(error));
        return false;
    }
    return true;
}

void SimulatorRunner::SaveChangedState(SimTime now, bool force) {
    constexpr SimTime kLongestDelay = std::chrono::seconds(1);
    if (stateChangedAt &&
        (force || simulator->LineIdle() || now - *stateChangedAt >= kLongestDelay)) {
        stateChangedAt.reset();
        SaveState();
    }
}

void SimulatorRunner::Flush(SimTime now) {
    const std::vector<std::uint8_t> out = simulator->Poll(now);
    if (!out.empty()) {
        if (!peerOpen) {
            if (options.verbosity >= 1) {
                Report("nobody has the port open: " + std::to_string(out.size()) + " bytes lost");
            }
        } else {
            const long written = terminal.Write(out.data(), out.size());
            if (written > 0) {
                trace.Bytes(TraceLog::Direction::Out, out.data(),
                            static_cast<std::size_t>(written));
                lastByteAt = now;
            }
            if (options.verbosity >= 2) {
                Report("wrote " + HexText(out.data(), out.size()));
            }
            if (written >= 0 && static_cast<std::size_t>(written) < out.size()) {
                Report("the tool does not read: " +
                       std::to_string(out.size() - static_cast<std::size_t>(written)) +
                       " bytes lost");
            }
        }
    }
    for (const SimLogEntry& entry : simulator->TakeLog()) {
        trace.Event(entry.text);
    }
    if (simulator->TakeMemoryChanged() && !options.statePath.empty() && !stateChangedAt) {
        stateChangedAt = now;
    }
    SaveChangedState(now, false);
    // Stored before the end frame's answer leaves, as a reader answers once it has flashed.
    if (std::optional<std::vector<std::uint8_t>> image = simulator->TakeFirmware()) {
        Report("firmware received: " + std::to_string(image->size()) + " bytes");
        if (!options.firmwarePath.empty()) {
            const CommonError error = AtomicFile::Replace(
                options.firmwarePath, std::string(image->begin(), image->end()), nullptr);
            if (error == CommonError::None) {
                Report("firmware written to " + options.firmwarePath);
            } else {
                Report("cannot write the firmware: " + options.firmwarePath + ": " +
                       ToString(error));
            }
        }
    }
}

void SimulatorRunner::UpdateHostBaud() {
    const int hostBaud = terminal.LineBaud();
    if (hostBaud != lastHostBaud) {
        trace.Rate(hostBaud);
        lastHostBaud = hostBaud;
    }
    simulator->SetHostBaud(hostBaud);
}

void SimulatorRunner::DeliverArrived(SimTime now) {
    while (!inFlight.empty() && inFlight.front().arrives <= now) {
        const std::vector<std::uint8_t>& bytes = inFlight.front().bytes;
        simulator->Receive(bytes.data(), bytes.size(), now);
        bytesInFlight -= bytes.size();
        inFlight.pop_front();
    }
    if (inFlight.empty()) {
        EndOverrun();
    }
}

void SimulatorRunner::EndOverrun() {
    if (overrunDropped > 0) {
        Report(std::to_string(overrunDropped) + " bytes dropped (line overrun)");
        overrunDropped = 0;
    }
}

void SimulatorRunner::TakeIn(const std::uint8_t* bytes, std::size_t count, SimTime now) {
    const std::size_t room = kMaxBytesInFlight - bytesInFlight;
    const std::size_t taken = std::min(count, room);
    if (taken < count) {
        if (overrunDropped == 0) {
            Report("the tool writes faster than the line carries: the excess is dropped");
        }
        overrunDropped += count - taken;
    } else {
        EndOverrun();
    }
    if (taken == 0) {
        return;
    }
    const int rate = lastHostBaud > 0 ? lastHostBaud : simulator->ReaderBaud();
    lineInFreeAt = std::max(now, lineInFreeAt) + LineTime(taken, rate);
    inFlight.push_back({lineInFreeAt, std::vector<std::uint8_t>(bytes, bytes + taken)});
    bytesInFlight += taken;
}

int SimulatorRunner::Run(const volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t& mend) {
    std::uint8_t buffer[4096];
    while (stop == 0) {
        SimTime now = Now();
        if (mend != 0) {
            mend = 0;
            simulator->MendLine();
            Report("line mended: no more dropped, delayed, corrupted, noisy or split replies");
        }
        UpdateHostBaud();
        long long waitUs = kMaxWaitMs * 1000LL;
        if (const std::optional<SimTime> next = simulator->NextEventAt()) {
            waitUs = std::min<long long>(waitUs, (*next - now).count());
        }
        if (!inFlight.empty()) {
            waitUs = std::min<long long>(waitUs, (inFlight.front().arrives - now).count());
        }
        waitUs = std::max(waitUs, 0LL);
        // A timed wake-up can come late by tens of microseconds; with --spin-us the last stretch
        // before something falls due is spent polling instead, so replies leave on time.
        if (options.spinUs > 0 && waitUs < kMaxWaitMs * 1000LL) {
            waitUs = std::max(waitUs - options.spinUs, 0LL);
        }
        const int waitMs = static_cast<int>((waitUs + 999) / 1000);
        const PseudoTerminal::Wait wait = terminal.WaitReadableMicros(waitUs);
        const bool open = wait != PseudoTerminal::Wait::NoPeer;
        if (open != peerOpen) {
            peerOpen = open;
            if (open) {
                trace.Opened(terminal.SlavePath(), lastHostBaud);
            } else {
                trace.Closed();
            }
        }
        switch (wait) {
            case PseudoTerminal::Wait::Readable: {
                const long n = terminal.Read(buffer, sizeof buffer);
                if (n < 0) {
                    if (errno == EBADF) {
                        Report("the terminal is gone");
                        return 1;
                    }
                    Report(std::string("cannot read the terminal: ") + std::strerror(errno));
                    ::usleep(kNoPeerPauseMs * 1000);
                    break;
                }
                now = Now();
                // Read after the bytes: the tool may have changed its rate just before writing.
                UpdateHostBaud();
                if (n > 0) {
                    const auto count = static_cast<std::size_t>(n);
                    trace.Bytes(TraceLog::Direction::In, buffer, count);
                    lastByteAt = now;
                    if (options.verbosity >= 2) {
                        Report("read " + HexText(buffer, count));
                    }
                    TakeIn(buffer, count, now);
                }
                break;
            }
            case PseudoTerminal::Wait::NoPeer:
                ::usleep(static_cast<useconds_t>(std::min(waitMs, kNoPeerPauseMs) * 1000 + 100));
                break;
            case PseudoTerminal::Wait::Error:
                Report(std::string("cannot wait on the terminal: ") + std::strerror(errno));
                return 1;
            case PseudoTerminal::Wait::Timeout:
            case PseudoTerminal::Wait::Interrupted:
                break;
        }
        now = Now();
        UpdateHostBaud();
        DeliverArrived(now);
        Flush(now);
        if (lastByteAt && now - *lastByteAt > kTraceQuiet) {
            trace.Quiet(false);
            lastByteAt.reset();
        }
    }
    Report("stopped");
    return 0;
}

}  // namespace uhf
