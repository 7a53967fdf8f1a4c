#include "readersim/SimulatorRunner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/AtomicFile.h"
#include "protocol/BaudRates.h"

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

std::string FormatHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

SimulatorRunner::SimulatorRunner(SimOptions opts)
    : options(std::move(opts)),
      origin(std::chrono::steady_clock::now()),
      wallOrigin(std::chrono::system_clock::now()) {}

SimulatorRunner::~SimulatorRunner() {
    SaveChangedState(Now(), true);
    RemoveLink();
}

SimTime SimulatorRunner::Now() const {
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - origin);
}

void SimulatorRunner::Report(SimTime at, const std::string& text) {
    const auto wall =
        wallOrigin + std::chrono::duration_cast<std::chrono::system_clock::duration>(at);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count() %
        1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::fprintf(stderr, "[%s.%03ld] %s\n", stamp, millis, text.c_str());
}

bool SimulatorRunner::Start(std::string& error) {
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
        Report(Now(), "cannot save the state: " + options.statePath + ": " + ToString(error));
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
                Report(now,
                       "nobody has the port open: " + std::to_string(out.size()) + " bytes lost");
            }
        } else {
            const long written = terminal.Write(out.data(), out.size());
            if (options.verbosity >= 2) {
                Report(now, "wrote " + FormatHex(out));
            }
            if (written >= 0 && static_cast<std::size_t>(written) < out.size()) {
                Report(now, "the tool does not read: " +
                                std::to_string(out.size() - static_cast<std::size_t>(written)) +
                                " bytes lost");
            }
        }
    }
    for (const SimLogEntry& entry : simulator->TakeLog()) {
        if (options.verbosity >= 1) {
            Report(entry.at, entry.text);
        }
    }
    if (simulator->TakeMemoryChanged() && !options.statePath.empty() && !stateChangedAt) {
        stateChangedAt = now;
    }
    SaveChangedState(now, false);
    // Stored before the end frame's answer leaves, as a reader answers once it has flashed.
    if (std::optional<std::vector<std::uint8_t>> image = simulator->TakeFirmware()) {
        Report(now, "firmware received: " + std::to_string(image->size()) + " bytes");
        if (!options.firmwarePath.empty()) {
            const CommonError error = AtomicFile::Replace(
                options.firmwarePath, std::string(image->begin(), image->end()), nullptr);
            if (error == CommonError::None) {
                Report(now, "firmware written to " + options.firmwarePath);
            } else {
                Report(now, "cannot write the firmware: " + options.firmwarePath + ": " +
                                ToString(error));
            }
        }
    }
}

void SimulatorRunner::UpdateHostBaud(SimTime now) {
    const int hostBaud = terminal.LineBaud();
    if (hostBaud != lastHostBaud) {
        if (options.verbosity >= 1) {
            Report(now, "tool's line rate: " +
                            (hostBaud == 0 ? std::string("unknown") : std::to_string(hostBaud)));
        }
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
        EndOverrun(now);
    }
}

void SimulatorRunner::EndOverrun(SimTime now) {
    if (overrunDropped > 0) {
        Report(now, std::to_string(overrunDropped) + " bytes dropped (line overrun)");
        overrunDropped = 0;
    }
}

void SimulatorRunner::TakeIn(const std::uint8_t* bytes, std::size_t count, SimTime now) {
    const std::size_t room = kMaxBytesInFlight - bytesInFlight;
    const std::size_t taken = std::min(count, room);
    if (taken < count) {
        if (overrunDropped == 0) {
            Report(now, "the tool writes faster than the line carries: the excess is dropped");
        }
        overrunDropped += count - taken;
    } else {
        EndOverrun(now);
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
            Report(now, "line mended: no more dropped, delayed, corrupted, noisy or split replies");
        }
        UpdateHostBaud(now);
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
            if (options.verbosity >= 1) {
                Report(Now(), open ? "the tool opened the port" : "the tool closed the port");
            }
        }
        switch (wait) {
            case PseudoTerminal::Wait::Readable: {
                const long n = terminal.Read(buffer, sizeof buffer);
                if (n < 0) {
                    if (errno == EBADF) {
                        Report(Now(), "the terminal is gone");
                        return 1;
                    }
                    Report(Now(), std::string("cannot read the terminal: ") + std::strerror(errno));
                    ::usleep(kNoPeerPauseMs * 1000);
                    break;
                }
                now = Now();
                // Read after the bytes: the tool may have changed its rate just before writing.
                UpdateHostBaud(now);
                if (n > 0 && options.verbosity >= 2) {
                    Report(now, "read " + FormatHex(std::vector<std::uint8_t>(buffer, buffer + n)));
                }
                if (n > 0) {
                    TakeIn(buffer, static_cast<std::size_t>(n), now);
                }
                break;
            }
            case PseudoTerminal::Wait::NoPeer:
                ::usleep(static_cast<useconds_t>(std::min(waitMs, kNoPeerPauseMs) * 1000 + 100));
                break;
            case PseudoTerminal::Wait::Error:
                Report(Now(), std::string("cannot wait on the terminal: ") + std::strerror(errno));
                return 1;
            case PseudoTerminal::Wait::Timeout:
            case PseudoTerminal::Wait::Interrupted:
                break;
        }
        now = Now();
        UpdateHostBaud(now);
        DeliverArrived(now);
        Flush(now);
    }
    Report(Now(), "stopped");
    return 0;
}

}  // namespace uhf
