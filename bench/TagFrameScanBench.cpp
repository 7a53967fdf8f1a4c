// Throughput of the receive thread's tag-frame scan over a long stream of tag frames mixed with
// garbage (replies, stray header bytes, near-miss frames), fed in reads of uneven sizes and
// carrying the unscanned tail over as the thread does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TagFrameScanner.h"

namespace {

constexpr auto kStopReply = uhf::EncodeFixedFrame(
    uhf::kReplyHeader, uhf::Byte(uhf::ReaderCode::Stop), std::array{uhf::kStatusDone});

std::array<std::uint8_t, uhf::kTagIdSize> RandomId(std::mt19937& random) {
    std::array<std::uint8_t, uhf::kTagIdSize> id{};
    for (std::uint8_t& b : id) {
        b = static_cast<std::uint8_t>(random());
    }
    return id;
}

std::vector<std::uint8_t> TagStreamWithGarbage(std::size_t size, int garbagePercent) {
    std::mt19937 random(11);
    std::vector<std::uint8_t> stream;
    stream.reserve(size + 64);
    while (stream.size() < size) {
        if (static_cast<int>(random() % 100) >= garbagePercent) {
            const std::vector<std::uint8_t> frame =
                uhf::EncodeTagFrame(RandomId(random), 0x00, 0x01);
            stream.insert(stream.end(), frame.begin(), frame.end());
            continue;
        }
        switch (random() % 3) {
            case 0: {  // a tag frame with a bad checksum: the scan must step past it byte by byte
                const auto a = static_cast<std::uint8_t>(random());
                const auto b = static_cast<std::uint8_t>(random());
                std::vector<std::uint8_t> frame = uhf::EncodeTagFrame(RandomId(random), a, b);
                ++frame.back();
                stream.insert(stream.end(), frame.begin(), frame.end());
                break;
            }
            case 1:  // a status reply
                stream.insert(stream.end(), kStopReply.begin(), kStopReply.end());
                break;
            default:  // line noise with header bytes in it
                for (int i = 0; i < 11; ++i) {
                    stream.push_back(i % 3 == 0 ? 0xE0 : static_cast<std::uint8_t>(random()));
                }
        }
    }
    return stream;
}

// Read sizes as a port delivers them: mostly small bursts, now and then a full buffer.
std::vector<int> ReadSizes(std::size_t total) {
    std::mt19937 random(5);
    std::vector<int> sizes;
    std::size_t sum = 0;
    while (sum < total) {
        const int size = random() % 8 == 0 ? 2000 : 1 + static_cast<int>(random() % 200);
        sizes.push_back(size);
        sum += static_cast<std::size_t>(size);
    }
    return sizes;
}

void BM_ScanTagStream(benchmark::State& state) {
    const std::vector<std::uint8_t> stream =
        TagStreamWithGarbage(4u << 20, static_cast<int>(state.range(0)));
    const std::vector<int> sizes = ReadSizes(stream.size());
    std::array<std::uint8_t, 2048> buffer{};
    std::int64_t tags = 0;
    for (auto _ : state) {
        std::size_t offset = 0;
        int fill = 0;
        for (const int wanted : sizes) {
            const int size = static_cast<int>(std::min<std::size_t>(
                static_cast<std::size_t>(std::min(wanted, 2048 - fill)), stream.size() - offset));
            if (size <= 0) {
                break;
            }
            std::memcpy(buffer.data() + fill, stream.data() + offset,
                        static_cast<std::size_t>(size));
            offset += static_cast<std::size_t>(size);
            fill += size;
            const int done = uhf::ScanTagFrames(buffer.data(), fill, [&](const std::uint8_t* id) {
                benchmark::DoNotOptimize(id);
                ++tags;
            });
            std::memmove(buffer.data(), buffer.data() + done,
                         static_cast<std::size_t>(fill - done));
            fill -= done;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
    state.counters["tags"] =
        benchmark::Counter(static_cast<double>(tags), benchmark::Counter::kIsRate);
}
// Argument: percentage of garbage items among the tag frames.
BENCHMARK(BM_ScanTagStream)->Arg(0)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
