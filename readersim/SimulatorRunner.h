#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "readersim/PseudoTerminal.h"
#include "readersim/SimOptions.h"
#include "serial/TraceLog.h"
#include "sim/ReaderSimulator.h"

namespace uhf {

// Runs a ReaderSimulator on a pseudo-terminal: hands it what the tool writes and the rate the
// tool set, writes what it sends as each byte falls due, and keeps the state and firmware files.
class SimulatorRunner {
  public:
    explicit SimulatorRunner(SimOptions options);
    ~SimulatorRunner();

    // Opens the terminal, loads the state file and makes the link. False, with the reason in
    // `error`, when any of it fails; nothing is left behind then.
    bool Start(std::string& error);
    const std::string& PortPath() const { return terminal.SlavePath(); }
    // Runs until `stop` becomes non-zero; each time `mend` does, the line's faults end and it is
    // cleared. Returns 0, or 1 after a failure it cannot go on from.
    int Run(const volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t& mend);

  private:
    SimTime Now() const;
    // A line of the trace; on stderr in any case, plainly when the trace is not there.
    void Report(const std::string& text);
    void UpdateHostBaud();
    // Hands the simulator the bytes whose last bit has crossed the line by `now`.
    void DeliverArrived(SimTime now);
    // Queues what the tool wrote to arrive at the line rate; beyond what a driver's buffer holds
    // it is dropped, and the log says so once per overrun.
    void TakeIn(const std::uint8_t* bytes, std::size_t count, SimTime now);
    void EndOverrun();
    void Flush(SimTime now);
    bool SaveState();
    // Saves a changed memory once the reader's answers have left (or after a second of a line
    // never idle), so that a slow disk does not make an answer late.
    void SaveChangedState(SimTime now, bool force);
    void RemoveLink();

    SimOptions options;
    PseudoTerminal terminal;
    std::optional<ReaderSimulator> simulator;  // made by Start, once the memory is loaded
    std::chrono::steady_clock::time_point origin;
    bool linkMade = false;
    bool peerOpen = false;
    int lastHostBaud = -1;
    // What the tool wrote, held until it would have crossed the line at the tool's rate: a
    // pseudo-terminal hands it over at once.
    struct InFlight {
        SimTime arrives;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<InFlight> inFlight;
    SimTime lineInFreeAt{0};
    std::size_t bytesInFlight = 0;
    std::size_t overrunDropped = 0;         // in the overrun going on
    std::optional<SimTime> stateChangedAt;  // a change of the memory not saved yet
    // What crossed the line, for --trace and -v; the simulator's notes between the frames.
    TraceLog trace;
    std::optional<SimTime> lastByteAt;  // while the trace may hold part of a frame
};

}  // namespace uhf
