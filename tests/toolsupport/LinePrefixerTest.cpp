#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "toolsupport/LinePrefixer.h"

namespace uhf {
namespace {

TEST(LinePrefixerTest, ThreadsWritingAtOnceNeverMixTheirLines) {
    std::ostringstream target;
    std::mutex mutex;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&target, &mutex, t] {
            LinePrefixer buffer(target, mutex, "P" + std::to_string(t) + ": ");
            std::ostream out(&buffer);
            for (int i = 0; i < 200; ++i) {
                // In pieces, as a line built with several << is.
                out << "line " << i << " of " << t << '\n';
            }
            out << "unfinished";
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::istringstream in(target.str());
    std::vector<int> next(4, 0);
    int unfinished = 0;
    for (std::string line; std::getline(in, line);) {
        ASSERT_GE(line.size(), 4u) << line;
        const int t = line[1] - '0';
        ASSERT_TRUE(t >= 0 && t < 4) << line;
        if (line == "P" + std::to_string(t) + ": unfinished") {
            ++unfinished;
            continue;
        }
        EXPECT_EQ(line, "P" + std::to_string(t) + ": line " + std::to_string(next[t]) + " of " +
                            std::to_string(t));
        ++next[t];
    }
    EXPECT_EQ(next, std::vector<int>(4, 200));
    EXPECT_EQ(unfinished, 4) << "the rest is ended with a newline when the buffer goes";
}

}  // namespace
}  // namespace uhf
