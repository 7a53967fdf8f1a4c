#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// A console shows any character through WriteConsoleW; redirected output stays UTF-8 bytes.
// Escape sequences are asked for, and a console that refuses them (before Windows 10) gets plain
// lines; a console write that fails fails the stream, as a closed pipe does.
TEST(ProcessSetupWin32Test, AConsoleGetsUtf16AndEscapeSequencesWhereItTakesThem) {
    using Terminal = ProcessSetup::Terminal;
    struct Case {
        const char* name;
        bool console;  // GetConsoleMode succeeds
        bool escapes;  // SetConsoleMode takes virtual-terminal processing
        bool writes;   // WriteConsoleW succeeds
        Terminal terminal;
    };
    const Case cases[] = {
        {"redirected", false, false, false, Terminal::None},
        {"console of Windows 10", true, true, true, Terminal::EscapeSequences},
        {"console before Windows 10", true, false, true, Terminal::PlainLines},
        {"console that fails the write", true, true, false, Terminal::EscapeSequences},
    };
    const ProcessSetup::ConsoleCalls real = ProcessSetup::console;
    // "提示: 等待超时", its first character split between two writes.
    const std::string text =
        "\xE6\x8F\x90\xE7\xA4\xBA: \xE7\xAD\x89\xE5\xBE\x85\xE8\xB6\x85\xE6\x97\xB6\n";
    const std::wstring shownText = L"\x63D0\x793A: \x7B49\x5F85\x8D85\x65F6\n";
    constexpr unsigned long kMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring shown;
        std::vector<unsigned long> modesAsked;
        ProcessSetup::console.getMode = [&](void*, unsigned long& mode) {
            SetLastError(ERROR_INVALID_HANDLE);
            mode = kMode;
            return c.console;
        };
        ProcessSetup::console.setMode = [&](void*, unsigned long mode) {
            SetLastError(ERROR_INVALID_PARAMETER);
            modesAsked.push_back(mode);
            return c.escapes;
        };
        ProcessSetup::console.write = [&](void*, const wchar_t* part, unsigned long count) {
            if (c.writes) {
                shown.append(part, count);
            }
            return c.writes;
        };
        std::ostringstream bytes;
        std::ostream stream(bytes.rdbuf());
        EXPECT_EQ(ProcessSetup::AttachConsole(stream, reinterpret_cast<HANDLE>(0x40), true),
                  c.terminal);
        stream << text.substr(0, 2) << std::flush;
        EXPECT_EQ(shown, L"") << "half a character waits for the rest";
        stream << text.substr(2) << std::flush;
        EXPECT_EQ(shown, c.console && c.writes ? shownText : L"");
        EXPECT_EQ(bytes.str(), c.console ? "" : text);
        EXPECT_EQ(stream.good(), !c.console || c.writes);
        EXPECT_EQ(modesAsked,
                  c.console ? std::vector<unsigned long>{kMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING}
                            : std::vector<unsigned long>{});
    }
    ProcessSetup::console = real;
}

}  // namespace
}  // namespace uhf
