#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "toolsupport/ProcessSetup.h"

namespace uhf {
namespace {

using namespace std::chrono_literals;

// The stop flags cannot be lowered again, so the console events go in one process, in order:
// one that is not taken, Ctrl-Break, then a close.
TEST(ProcessSetupWin32Test, ConsoleEventsStopTheToolAsSignalsDoOnLinux) {
    // Standard input is a pipe whose writer stays but writes only when told.
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    ASSERT_TRUE(SetStdHandle(STD_INPUT_HANDLE, readEnd));
    ProcessSetup::Prepare();
    // The handler is the system's: removing it succeeds only for a registered one.
    ASSERT_TRUE(SetConsoleCtrlHandler(&ProcessSetup::OnConsoleEvent, FALSE));
    ASSERT_TRUE(SetConsoleCtrlHandler(&ProcessSetup::OnConsoleEvent, TRUE));

    DWORD put = 0;
    ASSERT_TRUE(WriteFile(writeEnd, "record", 6, &put, nullptr));
    char buffer[16] = {};
    ASSERT_EQ(ProcessSetup::ReadStandardInput(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "reco");
    ASSERT_EQ(ProcessSetup::ReadStandardInput(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "rd");

    EXPECT_FALSE(ProcessSetup::OnConsoleEvent(CTRL_LOGOFF_EVENT));
    EXPECT_FALSE(ProcessSetup::Interrupted());

    auto stalled = std::async(std::launch::async, [] {
        char byte = 0;
        return ProcessSetup::ReadStandardInput(&byte, 1);
    });
    std::this_thread::sleep_for(200ms);  // well into its wait
    ASSERT_EQ(stalled.wait_for(0ms), std::future_status::timeout) << "the empty pipe gave bytes";
    EXPECT_TRUE(ProcessSetup::OnConsoleEvent(CTRL_BREAK_EVENT));
    EXPECT_TRUE(ProcessSetup::Interrupted());
    EXPECT_FALSE(ProcessSetup::HungUp()) << "Ctrl-Break is a stop, not a hang-up";
    ASSERT_EQ(stalled.wait_for(10s), std::future_status::ready) << "the wait did not end";
    EXPECT_EQ(stalled.get(), -1);
    // Bytes that come after the stop are not taken.
    ASSERT_TRUE(WriteFile(writeEnd, "late", 4, &put, nullptr));
    EXPECT_EQ(ProcessSetup::ReadStandardInput(buffer, sizeof buffer), -1);

    // A closed console: the run fails as after SIGHUP, and the handler holds the process's end
    // back until the tool has stopped (here: the test's end).
    std::atomic<bool> returned{false};
    std::thread([&returned] {
        ProcessSetup::OnConsoleEvent(CTRL_CLOSE_EVENT);
        returned = true;
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ProcessSetup::HungUp() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ProcessSetup::HungUp());
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(returned) << "the system would end the process before the tool stops";
}

}  // namespace
}  // namespace uhf
