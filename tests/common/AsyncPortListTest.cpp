#include "common/AsyncPortList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace uhf {
namespace {

using namespace std::chrono_literals;

std::vector<PortInfo> Named(const std::vector<std::string>& paths) {
    std::vector<PortInfo> ports;
    for (const std::string& path : paths) {
        ports.push_back(PortInfo{path});
    }
    return ports;
}

// A machine whose ports the test sets, which counts its scans and where they ran, and can hold a
// scan until the test lets it go on.
struct Machine {
    std::vector<PortInfo> List() {
        std::unique_lock<std::mutex> lock(mutex);
        ++scans;
        threads.push_back(std::this_thread::get_id());
        changed.notify_all();
        changed.wait(lock, [this] { return !hold; });
        return ports;
    }
    void Set(std::vector<PortInfo> now) {
        std::lock_guard<std::mutex> lock(mutex);
        ports = std::move(now);
    }
    void Found() {
        std::lock_guard<std::mutex> lock(mutex);
        ++found;
        changed.notify_all();
    }
    // Waits until `done` holds; false after a bound far beyond any settling.
    template <typename Done>
    bool Await(Done done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return done(); });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<PortInfo> ports = Named({"COM3"});
    int scans = 0;
    int found = 0;
    bool hold = false;
    std::vector<std::thread::id> threads;
};

TEST(AsyncPortListTest, ABurstOfNoticesGivesOneScanOffTheCallersThreadAndOnlyNewsIsSaid) {
    Machine machine;
    AsyncPortList list([&] { return machine.List(); }, [&] { machine.Found(); }, 1s);
    EXPECT_EQ(list.List(), Named({"COM3"}));  // taken at once, for the window's first fill

    machine.Set(Named({"COM3", "COM9"}));
    for (int notice = 0; notice < 5; ++notice) {
        list.Rescan();
    }
    ASSERT_TRUE(machine.Await([&] { return machine.found == 1; }));
    EXPECT_EQ(list.List(), Named({"COM3", "COM9"}));

    // The same ports again: scanned, but nothing to say.
    list.Rescan();
    ASSERT_TRUE(machine.Await([&] { return machine.scans == 3; }));
    std::this_thread::sleep_for(50ms);  // a wrong call of `found` would come now
    std::lock_guard<std::mutex> lock(machine.mutex);
    EXPECT_EQ(machine.found, 1);
    ASSERT_EQ(machine.threads.size(), 3u);
    EXPECT_EQ(machine.threads[0], std::this_thread::get_id());
    EXPECT_NE(machine.threads[1], std::this_thread::get_id());
    EXPECT_NE(machine.threads[2], std::this_thread::get_id());
}

TEST(AsyncPortListTest, ListAnswersAtOnceWhileAScanIsUnderWayAndTheEndWaitsForItQuietly) {
    Machine machine;
    auto list = std::make_unique<AsyncPortList>([&] { return machine.List(); },
                                                [&] { machine.Found(); }, 0ms);
    {
        std::lock_guard<std::mutex> lock(machine.mutex);
        machine.hold = true;
        machine.ports = Named({"COM4"});
    }
    list->Rescan();
    ASSERT_TRUE(machine.Await([&] { return machine.scans == 2; }));  // now held
    auto listed = std::async(std::launch::async, [&] { return list->List(); });
    ASSERT_EQ(listed.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(listed.get(), Named({"COM3"}));

    auto ended = std::async(std::launch::async, [&] { list.reset(); });
    EXPECT_EQ(ended.wait_for(100ms), std::future_status::timeout);  // the scan is still held
    {
        std::lock_guard<std::mutex> lock(machine.mutex);
        machine.hold = false;
    }
    machine.changed.notify_all();
    ASSERT_EQ(ended.wait_for(20s), std::future_status::ready);
    std::lock_guard<std::mutex> lock(machine.mutex);
    EXPECT_EQ(machine.found, 0);  // its window is going: nothing is said to it
}

}  // namespace
}  // namespace uhf
