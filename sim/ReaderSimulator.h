#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/ParameterMemory.h"
#include "sim/RequestParser.h"
#include "sim/SimConfig.h"
#include "sim/TagPopulation.h"

namespace uhf {

struct SimLogEntry {
    SimTime at;
    std::string text;
};

// A UHF reader on a serial line, without the line: it takes the bytes the tool wrote with the time
// they arrived and gives back the bytes the reader sends with the time each has left it, paced at
// 10 bits a byte at the reader's current rate. No I/O and no clock of its own, so tests step it
// with a manual clock and `readersim` with the steady clock.
//
// It speaks the parameter protocol (Stop, Resume, ReadBlock, WriteBlock over a 256-byte parameter
// memory; tag frames while working) and the upgrade protocol (probe, baud-rate, size, data and end
// frames), and misbehaves on demand (SimFaults). The line between tool and reader is modelled as
// far as the rates go: while the tool's rate differs from the reader's, what the tool sends is lost
// and what the reader sends arrives garbled.
class ReaderSimulator {
  public:
    enum class Mode { Stopped, Working, Upgrade };

    // `initial` Upgrade starts the reader in its loader, as one whose download was cut off: it
    // answers only the upgrade's frames, at its working rate, until an upgrade completes.
    explicit ReaderSimulator(SimConfig config, ParameterMemory memory = {},
                             Mode initial = Mode::Stopped);

    // The rate the tool has set on its end of the line; 0 (the start) means unknown and matching.
    void SetHostBaud(int baud) { hostBaud = baud; }
    // Bytes the tool wrote, arriving at `now`. Times passed in must not go backwards.
    void Receive(const std::uint8_t* bytes, std::size_t count, SimTime now);
    // The bytes that have left the reader by `now`, in order, since the last call.
    std::vector<std::uint8_t> Poll(SimTime now);
    // When the next thing is due (a byte leaves, a tag report, a partial request expires, an
    // abandoned upgrade ends); nothing when the reader is idle until it receives something.
    std::optional<SimTime> NextEventAt() const;

    // The rate the reader talks at now.
    int ReaderBaud() const { return readerBaud; }
    Mode CurrentMode() const { return mode; }
    const ParameterMemory& Memory() const { return memory; }

    // The line's faults end: no more dropped, delayed, corrupted, noisy or split replies. The
    // reader's own (silence, 0x88 answers, ignored writes) stay.
    void MendLine();

    // True once after each WriteBlock that changed the memory: the caller keeps it.
    bool TakeMemoryChanged();
    // True when nothing is on its way out: no answer, no tag frame.
    bool LineIdle() const { return line.empty(); }
    // The image of an upgrade, once, when its end frame has been acknowledged.
    std::optional<std::vector<std::uint8_t>> TakeFirmware();
    // What happened since the last call: frames received and sent, rejects, faults.
    std::vector<SimLogEntry> TakeLog();

  private:
    struct Scheduled {
        SimTime start;
        int baud = 0;  // rate the bytes leave at
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
        int baudAfter = 0;  // the reader's rate once the last byte has left (0: unchanged)
    };

    void Advance(SimTime now);
    void ScheduleTags(SimTime now);
    void Drain(SimTime now);
    void ProcessRequests(SimTime now);
    void Handle(const ReceivedRequest& request, SimTime now);
    void HandleParameterFrame(const ReceivedRequest& request, SimTime now);
    void HandleUpgradeFrame(const ReceivedRequest& request, SimTime now);
    void HandleProbe(const ReceivedRequest& request, SimTime now);

    // Queues a reply with the faults applied; `baudAfter` switches the reader's rate after it.
    void SendReply(std::vector<std::uint8_t> frame, SimTime now, const std::string& what,
                   int baudAfter = 0);
    void SendStatus(std::uint8_t command, std::uint8_t status, SimTime now,
                    const std::string& what);
    // Appends bytes to the line after what is already queued, no earlier than `earliest`.
    SimTime Queue(std::vector<std::uint8_t> bytes, SimTime earliest, int baudAfter);
    void SwitchRateWhenLineFree(int baud, SimTime now);

    bool Silent() const;
    std::uint8_t NextNoise();
    void Log(SimTime at, std::string text);

    SimConfig config;
    ParameterMemory memory;
    TagPopulation population;
    RequestParser parser;
    Mode mode;
    bool loaderOnly;

    int readerBaud;
    int queuedBaud;  // the reader's rate after everything queued has gone
    int hostBaud = 0;
    std::deque<Scheduled> line;
    SimTime lineFreeAt{0};
    std::vector<std::uint8_t> outbox;

    SimTime nextTagAt{0};
    long long tagReports = 0;

    long long framesAnswered = 0;
    long long replies = 0;
    long long bytesSent = 0;
    std::uint32_t noiseState;

    // Upgrade in progress.
    bool sizeKnown = false;
    std::size_t imageSize = 0;
    std::vector<std::uint8_t> image;
    SimTime lastUpgradeFrameAt{0};
    std::optional<std::vector<std::uint8_t>> firmware;

    bool memoryChanged = false;
    std::vector<SimLogEntry> log;
};

}  // namespace uhf
