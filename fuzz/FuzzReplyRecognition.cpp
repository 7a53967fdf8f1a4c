// Reply recognition at every position of an arbitrary run, the way the link scans a read.
#include <cstddef>
#include <cstdint>

#include "protocol/ReaderFrame.h"
#include "protocol/ReplyRecognition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int count = static_cast<int>(size > 4096 ? 4096 : size);
    uhf::ReaderFrame frame;
    int pos = 0;
    while (pos < count) {
        int consumed = 0;
        if (uhf::RecognizeReply(data, count, pos, frame, consumed)) {
            // A frame never reaches past the run, and its data always fit inside it.
            const bool fixedFrame = frame.header == 0x00;
            const std::size_t expected = fixedFrame ? 17 : frame.data.size() + 4;
            if (consumed < 4 || pos + consumed > count ||
                static_cast<std::size_t>(consumed) != expected) {
                __builtin_trap();
            }
            pos += consumed;
        } else {
            ++pos;
        }
    }
    return 0;
}
