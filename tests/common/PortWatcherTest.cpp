#include "common/PortWatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>

#include "fakes/TempFolder.h"

namespace uhf {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Ports = std::vector<std::string>;

TEST(PortWatcherTest, PollReportsPortsThatCameAndWentSinceTheLastList) {
    std::deque<Ports> lists{{"/dev/ttyS0"},
                            {"/dev/ttyS0", "/dev/ttyUSB0"},
                            {"/dev/ttyS0", "/dev/ttyUSB0"},
                            {"/dev/ttyUSB1", "/dev/ttyS0"}};
    PortWatcher watcher([&] {
        Ports next = lists.front();
        if (lists.size() > 1) {
            lists.pop_front();
        }
        return next;
    });

    const PortWatcher::Change plugged = watcher.Poll();  // ttyS0 was there from the start
    EXPECT_THAT(plugged.added, ElementsAre("/dev/ttyUSB0"));
    EXPECT_THAT(plugged.removed, IsEmpty());
    EXPECT_TRUE(watcher.Poll().Empty());
    const PortWatcher::Change replugged = watcher.Poll();  // renamed on replugging
    EXPECT_THAT(replugged.added, ElementsAre("/dev/ttyUSB1"));
    EXPECT_THAT(replugged.removed, ElementsAre("/dev/ttyUSB0"));
    EXPECT_THAT(replugged.ports, ElementsAre("/dev/ttyUSB1", "/dev/ttyS0"));
}

TEST(PortWatcherTest, ChoiceIsKeptWhileItsPortIsListed) {
    EXPECT_EQ(PortWatcher::KeepChoice("/dev/ttyUSB1", {"/dev/ttyS0", "/dev/ttyUSB1"}),
              "/dev/ttyUSB1");
    EXPECT_EQ(PortWatcher::KeepChoice("/dev/ttyUSB1", {"/dev/ttyS0", "/dev/ttyUSB2"}),
              "/dev/ttyS0");
    EXPECT_EQ(PortWatcher::KeepChoice("/dev/ttyUSB1", {}), "");
}

// The watcher's own thread against a real folder: a port link made and removed is reported
// within the 2 s a user would wait, and nothing is reported after Stop.
TEST(PortWatcherTest, LinkCreatedAndRemovedIsReportedFromTheWatchersThread) {
    test::TempFolder folder;
    const std::filesystem::path dir = folder.Dir();
    const auto list = [dir] {
        Ports ports;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
            ports.push_back(entry.path().string());
        }
        std::sort(ports.begin(), ports.end());
        return ports;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<PortWatcher::Change> seen;
    PortWatcher watcher(list);
    watcher.Start([&](const PortWatcher::Change& change) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(change);
        changed.notify_all();
    });
    const std::string link = folder.PathOf("ttyLINK0");
    auto seenWithin2s = [&](std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(2),
                                [&] { return seen.size() >= count; });
    };

    std::filesystem::create_symlink("/dev/null", link);
    ASSERT_TRUE(seenWithin2s(1));
    std::filesystem::remove(link);
    ASSERT_TRUE(seenWithin2s(2));
    watcher.Stop();
    std::filesystem::create_symlink("/dev/null", link);

    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_THAT(seen[0].added, ElementsAre(link));
    EXPECT_THAT(seen[1].removed, ElementsAre(link));
    EXPECT_THAT(seen[1].ports, IsEmpty());
}

}  // namespace
}  // namespace uhf
