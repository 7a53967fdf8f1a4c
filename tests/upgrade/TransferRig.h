#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "FakeTransferHost.h"
#include "fakes/FakeCommControl.h"
#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
#include "protocol/FrameCodec.h"
#include "protocol/UpgradeFrames.h"
#include "upgrade/UpgradeTransfer.h"

namespace uhf {

using Bytes = std::vector<std::uint8_t>;

// The reply E4 03 cmd 00 checksum that the reader sends to acknowledge `command`.
inline Bytes Ack(std::uint8_t command) {
    return EncodeUpgradeAnswer(command);
}

// A reader on the far side of the fake control that answers what it is told to, after a delay.
struct ScriptedReader {
    bool answerProbe = true;
    int probesToIgnore = 0;
    bool answerBaud = true;
    int baudFramesToIgnore = 0;
    bool answerSize = true;
    int dataAcksBeforeSilence = -1;  // -1: acknowledge every data frame
    bool answerEnd = true;
    int replyDelayMs = 10;

    int probesSeen = 0;
    int baudFramesSeen = 0;
    int dataFramesSeen = 0;
    Bytes image;  // the data bytes as received, in order
};

// A transfer wired to a fake control, a fake host and a scripted reader on one manual clock.
class TransferRig {
  public:
    TransferRig() {
        comm.onWrite = [this](const Bytes& frame) { React(frame); };
    }

    // The choices of the attempt, as a window with 115200 and 57600 chosen reads them.
    TransferSelections selections{"/dev/ttyFAKE0", 115200, 57600};
    // The firmware path the attempt is started with.
    std::string path;

    // Writes `size` bytes of a recognisable pattern to a temporary file and makes it the path.
    std::string UseImage(int size, const std::string& name = "image.bin");
    // An image of `size` bytes, the pattern UseImage writes.
    static Bytes Pattern(int size);

    // Start and FireTimer let a port they open finish opening, as the host's event loop would
    // next.
    void Start() {
        transfer.StartDownload(path, selections);
        comm.FinishOpen();
    }

    // Delivers due replies and fires due timers in time order up to `target`.
    void RunUntil(ManualClock::Ms target);
    // Runs until the attempt ends or `limit` is reached.
    void RunToEnd(ManualClock::Ms limit = 600000);

    void Deliver(const Bytes& bytes) { comm.Deliver(bytes); }
    void FireTimer(int id) {
        host.Expire(id);
        comm.FinishOpen();
    }

    // Written frames whose command byte (offset 2 of an A0 frame) is `command`.
    std::vector<FakeCommControl::WriteRecord> Frames(std::uint8_t command) const;
    std::vector<FakeCommControl::WriteRecord> AltProbes() const;

    ManualClock clock;
    FakeCommControl comm;
    FakeTransferHost host{clock};
    UpgradeTransfer transfer{comm, host, host};
    ScriptedReader reader;
    std::deque<std::pair<ManualClock::Ms, Bytes>> pending;
    std::vector<ManualClock::Ms> writeTimes;
    test::TempFolder folder;  // the images UseImage writes

  private:
    void React(const Bytes& frame);
    void Reply(const Bytes& bytes) {
        pending.emplace_back(clock.Now() + reader.replyDelayMs, bytes);
    }
};

}  // namespace uhf
