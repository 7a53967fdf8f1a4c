#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "toolsupport/PortRunner.h"

namespace uhf {
namespace {

// The lines of `text` in sorted order: threads print in any order.
std::multiset<std::string> LinesOf(const std::string& text) {
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.insert(line);
    }
    return lines;
}

struct TableCase {
    const char* name;
    std::vector<std::string> headings;
    const char* messageHeading;  // null: the columns are left as they are
    const char* table;           // the seconds written as s.ss
};

class SeveralPorts : public testing::TestWithParam<TableCase> {};

// Every job runs at once on a thread of its own, each line it writes (a warning from below
// included) comes whole behind its port, and the table of outcomes ends the output.
TEST_P(SeveralPorts, RunAtOnceEachLineBehindItsPortAndTheTableLast) {
    const std::vector<std::string> ports{"/dev/pts/9", "/dev/pts/10", "COM3"};
    const std::vector<PortRunner::Outcome> outcomes{
        {0, "found the reader at 57600 baud", {"0"}}, {1, "no answer", {"12"}}, {2, "", {"3"}}};
    std::mutex mutex;
    std::condition_variable allHere;
    std::size_t started = 0;
    std::set<std::thread::id> threads;
    std::ostringstream out;
    std::ostringstream err;
    PortRunner runner(out, err);
    if (GetParam().messageHeading != nullptr) {
        runner.SetColumns(GetParam().headings, GetParam().messageHeading);
    }
    const int status = runner.Run(ports, [&](const PortRunner::Job& job) {
        {
            // Each job waits for all the others to start: one after another, none would finish.
            std::unique_lock<std::mutex> lock(mutex);
            ++started;
            threads.insert(std::this_thread::get_id());
            allHere.notify_all();
            if (!allHere.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return started == ports.size(); })) {
                return PortRunner::Outcome{9, "ran alone", {}};
            }
        }
        EXPECT_EQ(ports[job.index], job.port);
        job.out << "result of " << job.port << '\n';
        job.err << "step " << 1 << " of " << job.port << '\n';
        PortRunner::ErrOfThisThread(std::cerr) << "warning\n";
        job.out << "unfinished";  // ended when the job is over
        return outcomes[job.index];
    });
    EXPECT_EQ(status, 2);
    EXPECT_EQ(threads.size(), ports.size());
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);

    std::multiset<std::string> errLines;
    std::multiset<std::string> outLines;
    for (const std::string& port : ports) {
        errLines.insert({port + ": step 1 of " + port, port + ": warning"});
        outLines.insert({port + ": result of " + port, port + ": unfinished"});
    }
    EXPECT_EQ(LinesOf(err.str()), errLines);
    const std::string text =
        std::regex_replace(out.str(), std::regex("[ 0-9]{4}\\.[0-9]{2}"), "   s.ss");
    const std::size_t table = text.find("port  ");
    ASSERT_NE(table, std::string::npos) << text;
    EXPECT_EQ(LinesOf(text.substr(0, table)), outLines);
    EXPECT_EQ(text.substr(table), GetParam().table);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SeveralPorts,
    testing::Values(TableCase{"MessageLast",
                              {},
                              nullptr,
                              "port         result  seconds  message\n"
                              "/dev/pts/9   ok         s.ss  found the reader at 57600 baud\n"
                              "/dev/pts/10  failed     s.ss  no answer\n"
                              "COM3         failed     s.ss\n"},
                    TableCase{
                        "ToolColumnAndUnnamedMessage",
                        {"retries"},
                        "",
                        "port         result  seconds  retries\n"
                        "/dev/pts/9   ok         s.ss        0  found the reader at 57600 baud\n"
                        "/dev/pts/10  failed     s.ss       12  no answer\n"
                        "COM3         failed     s.ss        3\n"}),
    [](const testing::TestParamInfo<TableCase>& info) { return info.param.name; });

// One port, or none (a command that names no port), is run on the caller's thread with the
// caller's streams as they are, and ends without a table.
TEST(PortRunnerTest, OnePortRunsOnTheCallersThreadWithItsStreams) {
    for (const std::vector<std::string>& ports :
         {std::vector<std::string>{"/dev/ttyUSB0"}, std::vector<std::string>{}}) {
        std::ostringstream out;
        std::ostringstream err;
        int runs = 0;
        const std::thread::id caller = std::this_thread::get_id();
        const int status = PortRunner(out, err).Run(ports, [&](const PortRunner::Job& job) {
            ++runs;
            EXPECT_EQ(std::this_thread::get_id(), caller);
            EXPECT_EQ(&job.out, &out);
            job.err << "step of '" << job.port << "'\n";
            PortRunner::ErrOfThisThread(std::cerr) << "warning\n";
            return PortRunner::Outcome{1, "failed here", {}};
        });
        const std::string port = ports.empty() ? "" : ports[0];
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "step of '" + port + "'\nwarning\n");
        std::ostringstream elsewhere;
        EXPECT_EQ(&PortRunner::ErrOfThisThread(elsewhere), &elsewhere) << "after the job";
    }
}

}  // namespace
}  // namespace uhf
