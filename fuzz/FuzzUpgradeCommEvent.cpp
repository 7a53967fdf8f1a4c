// HandleCommEvent of the upgrade transfer fed arbitrary deliveries, with timer expiries mixed in,
// starting from every phase. Checks after each step: the gathered run stays inside its 256
// bytes; every frame sent sums to 0; data frames carry the image's own bytes, in order, none
// skipped or repeated; nothing is written while the port is closed; an ended attempt has closed
// the port; success is reported only after the end frame followed the final data frame.
//
// Input: byte 0 = starting phase (mod 6) and image choice (/ 6 mod 5); then steps: a step byte
// s with s % 8 < 5 delivers the next s / 8 + 1 bytes as one notification, 5..7 fire timer
// s % 8 - 5 if it is armed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "serial/CommControl.h"
#include "upgrade/UpgradeTransfer.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

constexpr std::array<int, 5> kImageSizes{1, 63, 64, 65, 300};
std::array<std::vector<std::uint8_t>, 5> images;
std::array<std::string, 5> imagePaths;

class CheckingComm : public uhf::CommControl {
  public:
    // An open finishes before the next delivery, as the real control's event loop runs it.
    void Open(const std::string&, int, OpenedHandler whenOpened) override {
        opened = std::move(whenOpened);
    }
    void FinishOpen() {
        if (opened) {
            const OpenedHandler told = std::move(opened);
            opened = nullptr;
            const uhf::SerialError result =
                open ? uhf::SerialError::AlreadyOpen : uhf::SerialError::None;
            open = true;
            told(result);
        }
    }
    void Close() override {
        open = false;
        opened = nullptr;
    }
    bool IsOpen() const override { return open; }
    bool Write(const std::uint8_t* bytes, int count) override {
        Check(open && count > 0);
        std::uint8_t sum = 0;
        for (int i = 0; i < count; ++i) {
            sum = static_cast<std::uint8_t>(sum + bytes[i]);
        }
        Check(sum == 0);
        if (count >= 6 && bytes[0] == 0xA0 && bytes[2] == 0x67) {
            // A data frame: A0 (r+4) 67 <r image bytes> 00 00 checksum.
            const int r = count - 6;
            Check(bytes[1] == r + 4 && r <= 64 && !endSent);
            Check(sentOffset + static_cast<std::size_t>(r) <= image->size());
            for (int i = 0; i < r; ++i) {
                Check(bytes[3 + i] == (*image)[sentOffset + static_cast<std::size_t>(i)]);
            }
            sentOffset += static_cast<std::size_t>(r);
            finalSent = r < 64 || sentOffset == image->size();
            Check(!(finalSent && sentOffset != image->size()));
        } else if (count == 4 && bytes[2] == 0x68) {
            Check(finalSent);
            endSent = true;
        }
        return true;
    }
    void SetReceiveHandler(ReceiveHandler newHandler) override { handler = std::move(newHandler); }
    uhf::SerialError LastError() const override { return uhf::SerialError::None; }

    void Deliver(const std::uint8_t* bytes, int count) {
        FinishOpen();
        if (handler) {
            handler(bytes, count);
        }
    }

    const std::vector<std::uint8_t>* image = nullptr;
    bool open = false;
    std::size_t sentOffset = 0;
    bool finalSent = false;
    bool endSent = false;
    ReceiveHandler handler;
    OpenedHandler opened;
};

class Host : public uhf::TransferObserver, public uhf::TransferTimers {
  public:
    void Report(uhf::TransferEvent) override {}
    void ShowProgress(int sentBytes, int totalBytes) override {
        Check(sentBytes >= 0 && sentBytes <= totalBytes && sentBytes >= lastSent);
        lastSent = sentBytes;
    }
    void Finished(const uhf::TransferEnd& end) override {
        lastSent = 0;
        succeeded = end.error == uhf::TransferError::None;
    }
    void Arm(int id, int) override {
        Check(id >= 0 && id <= 2);
        armed[static_cast<std::size_t>(id)] = true;
    }
    void Stop(int id) override {
        Check(id >= 0 && id <= 2);
        armed[static_cast<std::size_t>(id)] = false;
    }
    void Pause(int milliseconds) override { Check(milliseconds == 100); }
    void SetExpiryHandler(ExpiryHandler handler) override { expiry = std::move(handler); }

    // Like a real host, only a timer that is armed can expire, and it expires once.
    bool Expire(int id) {
        const bool was = armed[static_cast<std::size_t>(id)];
        armed[static_cast<std::size_t>(id)] = false;
        if (was && expiry) {
            expiry(id);
        }
        return was;
    }

    int lastSent = 0;
    bool succeeded = false;
    std::array<bool, 3> armed{};
    ExpiryHandler expiry;
};

const auto kProbeAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Probe));
const auto kBaudAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::BaudRate));
const auto kSizeAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Size));
const auto kDataAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Data));

void CheckState(const uhf::UpgradeTransfer& transfer, const CheckingComm& comm, const Host& host) {
    const uhf::TransferState& state = transfer.State();
    Check(state.rxCount >= 0 && state.rxCount <= uhf::TransferState::kRxCapacity);
    Check(state.nextPacket >= 0 && (state.nextPacket < state.packetCount || state.nextPacket == 0));
    if (!transfer.IsRunning()) {
        Check(!comm.IsOpen());
    }
    if (host.succeeded) {
        Check(comm.endSent && comm.sentOffset == comm.image->size());
    }
}

// The images lie in a folder of this run's own under the temporary folder ($TMPDIR), removed
// when the run ends.
std::string imageFolder;

void RemoveImageFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(imageFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "uhf_fuzz_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    imageFolder = pattern;
    std::atexit(RemoveImageFolder);
    for (std::size_t i = 0; i < kImageSizes.size(); ++i) {
        images[i].resize(static_cast<std::size_t>(kImageSizes[i]));
        for (std::size_t b = 0; b < images[i].size(); ++b) {
            images[i][b] = static_cast<std::uint8_t>(b * 7 + i);
        }
        imagePaths[i] = imageFolder + "/image_" + std::to_string(i) + ".bin";
        std::FILE* file = std::fopen(imagePaths[i].c_str(), "wb");
        if (file == nullptr) {
            return 1;
        }
        if (!images[i].empty()) {
            std::fwrite(images[i].data(), 1, images[i].size(), file);
        }
        std::fclose(file);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int phase = data[0] % 6;
    const std::size_t imageChoice = (data[0] / 6) % kImageSizes.size();
    CheckingComm comm;
    comm.image = &images[imageChoice];
    Host host;
    uhf::UpgradeTransfer transfer(comm, host, host);

    // Walk a well-behaved exchange up to the chosen phase.
    if (phase >= 1) {
        transfer.StartDownload(imagePaths[imageChoice], {"/dev/fuzz", 115200, 57600});
        comm.FinishOpen();
        Check(transfer.Phase() == uhf::TransferPhase::Probing);
    }
    if (phase >= 2) {
        comm.Deliver(kProbeAck.data(), 5);
        Check(host.Expire(uhf::UpgradeTransfer::kProbeTimer));
        comm.FinishOpen();
        Check(transfer.Phase() == uhf::TransferPhase::BaudChange);
    }
    if (phase >= 3) {
        comm.Deliver(kBaudAck.data(), 5);
        Check(host.Expire(uhf::UpgradeTransfer::kBaudTimer));
        comm.FinishOpen();
        Check(transfer.Phase() == uhf::TransferPhase::SizeAnnounced);
    }
    if (phase >= 4) {
        comm.Deliver(kSizeAck.data(), 5);
        Check(transfer.Phase() == uhf::TransferPhase::Streaming);
    }
    if (phase >= 5) {
        while (transfer.Phase() == uhf::TransferPhase::Streaming) {
            comm.Deliver(kDataAck.data(), 5);
        }
        Check(transfer.Phase() == uhf::TransferPhase::Ending);
    }
    CheckState(transfer, comm, host);

    std::size_t pos = 1;
    while (pos < size) {
        const std::uint8_t step = data[pos++];
        if (step % 8 < 5) {
            const std::size_t want = static_cast<std::size_t>(step / 8) + 1;
            const std::size_t n = want < size - pos ? want : size - pos;
            if (n > 0) {
                comm.Deliver(data + pos, static_cast<int>(n));
                pos += n;
            }
        } else {
            host.Expire(step % 8 - 5);
            comm.FinishOpen();
        }
        CheckState(transfer, comm, host);
    }
    return 0;
}
