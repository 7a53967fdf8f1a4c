// Time from Close to its return for a link whose receive thread sits in a read of a silent line
// (up to 2148 ms before the read could be woken), over a pseudo-terminal. Prints the median and
// the longest of several runs; exit status 1 when the longest is over the 100 ms target.
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "protocol/FrameCodec.h"
#include "reader/ReaderLink.h"

namespace {

// Plays the reader on the pseudo-terminal's far end for the Stop and Resume that start tag
// collection, answering each "done"; after that the line stays silent.
void AnswerStopAndResume(int master) {
    for (int answered = 0; answered < 2; ++answered) {
        std::uint8_t request[4] = {};
        for (std::size_t got = 0; got < sizeof request;) {
            const ssize_t n = read(master, request + got, sizeof request - got);
            if (n <= 0) {
                return;
            }
            got += static_cast<std::size_t>(n);
        }
        const auto reply = uhf::EncodeFrame(uhf::kReplyHeader, request[2], {uhf::kStatusDone});
        if (write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }
    std::vector<double> closeMs;
    for (int i = 0; i < runs; ++i) {
        uhf::ReaderLink link;
        if (!link.Open(name, 115200)) {
            std::fprintf(stderr, "cannot open %s: %s\n", name,
                         uhf::ToString(link.LastOpenError()).c_str());
            return 2;
        }
        std::thread reader(AnswerStopAndResume, master);
        const bool started = link.StartTagCollection();
        reader.join();
        if (!started) {
            std::fprintf(stderr, "tag collection did not start: %s\n",
                         link.LastErrorText().c_str());
            return 2;
        }
        // Well inside the thread's read of a silent line.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = Clock::now();
        link.Close();
        closeMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    close(master);
    close(slave);
    std::sort(closeMs.begin(), closeMs.end());
    const double median = closeMs[closeMs.size() / 2];
    const double longest = closeMs.back();
    std::printf(
        "link close with the receive thread running: median %.2f ms, longest %.2f ms over %d "
        "runs (target <= 100 ms; before the read could be woken: up to 2148 ms)\n",
        median, longest, runs);
    return longest <= 100.0 ? 0 : 1;
}
