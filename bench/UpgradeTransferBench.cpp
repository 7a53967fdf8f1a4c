// Cost of the streaming step of the upgrade transfer: one acknowledgement handled and the next
// 70-byte data frame built and handed to the control, driven through do-nothing fakes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "serial/CommControl.h"
#include "upgrade/TransferObserver.h"
#include "upgrade/TransferTimers.h"
#include "upgrade/UpgradeTransfer.h"

namespace {

// Keeps only the last frame written, so the benchmark measures the transfer, not a recorder.
class SinkCommControl : public uhf::CommControl {
  public:
    void Open(const std::string&, int, OpenedHandler whenOpened) override {
        opened = std::move(whenOpened);
    }
    // What the real control's event loop does next after an open.
    void FinishOpen() {
        open = true;
        if (opened) {
            const OpenedHandler told = std::move(opened);
            opened = nullptr;
            told(uhf::SerialError::None);
        }
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    bool Write(const std::uint8_t* bytes, int count) override {
        lastFirst = count > 0 ? bytes[0] : 0;
        bytesWritten += count;
        return true;
    }
    void SetReceiveHandler(ReceiveHandler newHandler) override { handler = std::move(newHandler); }
    uhf::SerialError LastError() const override { return uhf::SerialError::None; }

    void Deliver(const std::uint8_t* bytes, int count) { handler(bytes, count); }

    bool open = false;
    std::uint8_t lastFirst = 0;
    std::int64_t bytesWritten = 0;
    ReceiveHandler handler;
    OpenedHandler opened;
};

class SilentHost : public uhf::TransferObserver, public uhf::TransferTimers {
  public:
    void Report(uhf::TransferEvent) override {}
    void ShowProgress(int sentBytes, int) override { benchmark::DoNotOptimize(sentBytes); }
    void Finished(const uhf::TransferEnd&) override {}
    void Arm(int, int) override {}
    void Stop(int) override {}
    void Pause(int) override {}
    void SetExpiryHandler(ExpiryHandler handler) override { expiry = std::move(handler); }

    void Expire(int id) { expiry(id); }

  private:
    ExpiryHandler expiry;
};

const auto kProbeAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Probe));
const auto kBaudAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::BaudRate));
const auto kSizeAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Size));
const auto kDataAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::Data));
const auto kEndAck = uhf::EncodeUpgradeAnswer(uhf::Byte(uhf::UpgradeCode::End));

// Runs a transfer up to its first data frame.
void StartStreaming(uhf::UpgradeTransfer& transfer, SinkCommControl& comm, SilentHost& host,
                    const std::string& firmware) {
    transfer.StartDownload(firmware, {"/dev/null-reader", 115200, 115200});
    comm.FinishOpen();
    comm.Deliver(kProbeAck.data(), 5);
    host.Expire(uhf::UpgradeTransfer::kProbeTimer);
    comm.FinishOpen();
    comm.Deliver(kBaudAck.data(), 5);
    host.Expire(uhf::UpgradeTransfer::kBaudTimer);
    comm.FinishOpen();
    comm.Deliver(kSizeAck.data(), 5);
}

void BM_AcknowledgeAndSendNextDataFrame(benchmark::State& state) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "uhf_bench_firmware.bin";
    {
        std::vector<char> image(65535);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i * 31 + 7);
        }
        std::ofstream out(file, std::ios::binary);
        out.write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    SinkCommControl comm;
    SilentHost host;
    uhf::UpgradeTransfer transfer(comm, host, host);
    StartStreaming(transfer, comm, host, file.string());
    if (transfer.Phase() != uhf::TransferPhase::Streaming) {
        state.SkipWithError("the transfer did not reach streaming");
        return;
    }
    std::int64_t frames = 0;
    for (auto _ : state) {
        comm.Deliver(kDataAck.data(), 5);
        ++frames;
        if (transfer.Phase() == uhf::TransferPhase::Ending) {
            state.PauseTiming();
            comm.Deliver(kEndAck.data(), 5);
            StartStreaming(transfer, comm, host, file.string());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(frames * 64);
    std::filesystem::remove(file);
}
BENCHMARK(BM_AcknowledgeAndSendNextDataFrame);

}  // namespace
