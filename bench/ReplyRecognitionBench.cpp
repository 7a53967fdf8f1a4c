// Throughput of reply recognition over a long received run: tag frames, replies and garbage,
// scanned the way the link scans a read (a miss advances one byte).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ReaderFrame.h"
#include "protocol/ReplyRecognition.h"

namespace {

constexpr auto kStopReply = uhf::EncodeFixedFrame(
    uhf::kReplyHeader, uhf::Byte(uhf::ReaderCode::Stop), std::array{uhf::kStatusDone});

std::vector<std::uint8_t> MixedStream(std::size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> stream;
    stream.reserve(size + 32);
    while (stream.size() < size) {
        switch (random() % 3) {
            case 0: {  // a tag frame
                std::array<std::uint8_t, uhf::kTagIdSize> id{};
                for (std::uint8_t& b : id) {
                    b = static_cast<std::uint8_t>(random());
                }
                const std::vector<std::uint8_t> frame = uhf::EncodeTagFrame(id, 0, 0);
                stream.insert(stream.end(), frame.begin(), frame.end());
                break;
            }
            case 1:  // a status reply
                stream.insert(stream.end(), kStopReply.begin(), kStopReply.end());
                break;
            default:  // garbage, header bytes included
                for (int i = 0; i < 9; ++i) {
                    stream.push_back(i % 4 == 0 ? 0xE0 : static_cast<std::uint8_t>(random()));
                }
        }
    }
    return stream;
}

void BM_RecognizeRepliesInMixedStream(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = MixedStream(1 << 20);
    const int count = static_cast<int>(stream.size());
    uhf::ReaderFrame frame;
    for (auto _ : state) {
        int frames = 0;
        int pos = 0;
        while (pos < count) {
            int consumed = 0;
            if (uhf::RecognizeReply(stream.data(), count, pos, frame, consumed)) {
                pos += consumed;
                ++frames;
            } else {
                ++pos;
            }
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_RecognizeRepliesInMixedStream)->Unit(benchmark::kMillisecond);

}  // namespace
