// Throughput of reply recognition over a long received run: tag frames, replies and garbage,
// scanned the way the link scans a read (a miss advances one byte).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "protocol/FrameChecksum.h"
#include "protocol/ReaderFrame.h"
#include "protocol/ReplyRecognition.h"

namespace {

std::vector<std::uint8_t> MixedStream(std::size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> stream;
    stream.reserve(size + 32);
    while (stream.size() < size) {
        switch (random() % 3) {
            case 0: {  // a tag frame
                std::uint8_t frame[14] = {0xE0, 0x0C, 0x58, 0, 0};
                for (int i = 5; i < 13; ++i) {
                    frame[i] = static_cast<std::uint8_t>(random());
                }
                frame[13] = uhf::FrameChecksum(frame, 0, 13);
                stream.insert(stream.end(), frame, frame + 14);
                break;
            }
            case 1: {  // a status reply
                const std::uint8_t reply[] = {0xE0, 0x03, 0xFE, 0x00, 0x1F};
                stream.insert(stream.end(), reply, reply + 5);
                break;
            }
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
            if (uhf::RecognizeReply(stream.data(), count, pos, frame, consumed) == 1) {
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
