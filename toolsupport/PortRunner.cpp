#include "toolsupport/PortRunner.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

#include "toolsupport/ExitStatus.h"
#include "toolsupport/LinePrefixer.h"

namespace uhf {

namespace {

thread_local std::ostream* jobErr = nullptr;

}  // namespace

double PortRunner::Job::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

PortRunner::PortRunner(std::ostream& output, std::ostream& errors) : out(output), err(errors) {}

void PortRunner::SetColumns(std::vector<std::string> columnHeadings, std::string lastHeading) {
    headings = std::move(columnHeadings);
    messageHeading = std::move(lastHeading);
}

std::ostream& PortRunner::ErrOfThisThread(std::ostream& otherwise) {
    return jobErr != nullptr ? *jobErr : otherwise;
}

PortRunner::Row PortRunner::RunJob(const Job& job, const Work& work) {
    jobErr = &job.err;
    Row row{work(job), job.Seconds()};
    jobErr = nullptr;
    return row;
}

int PortRunner::Run(const std::vector<std::string>& ports, const Work& work) {
    if (ports.size() <= 1) {
        const std::string port = ports.empty() ? "" : ports[0];
        return RunJob({0, port, out, err, std::chrono::steady_clock::now()}, work).outcome.status;
    }
    std::mutex outMutex;
    std::mutex errMutex;
    std::vector<Row> rows(ports.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        threads.emplace_back([&, i] {
            const auto started = std::chrono::steady_clock::now();
            LinePrefixer outLines(out, outMutex, ports[i] + ": ");
            LinePrefixer errLines(err, errMutex, ports[i] + ": ");
            std::ostream portOut(&outLines);
            std::ostream portErr(&errLines);
            rows[i] = RunJob({i, ports[i], portOut, portErr, started}, work);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    PrintTable(ports, rows);
    return std::max_element(
               rows.begin(), rows.end(),
               [](const Row& a, const Row& b) { return a.outcome.status < b.outcome.status; })
        ->outcome.status;
}

void PortRunner::PrintTable(const std::vector<std::string>& ports,
                            const std::vector<Row>& rows) const {
    std::size_t width = 4;
    for (const std::string& port : ports) {
        width = std::max(width, port.size());
    }
    const auto left = [](std::string text, std::size_t size) {
        text.resize(std::max(size, text.size()), ' ');
        return text;
    };
    const auto right = [](const std::string& text, std::size_t size) {
        return std::string(size > text.size() ? size - text.size() : 0, ' ') + text;
    };
    std::string table = left("port", width) + "  result  seconds";
    for (const std::string& heading : headings) {
        table += "  " + heading;
    }
    table += (messageHeading.empty() ? "" : "  ") + messageHeading + "\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Outcome& outcome = rows[i].outcome;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%7.2f", rows[i].seconds);
        table += left(ports[i], width) + (outcome.status == kExitOk ? "  ok      " : "  failed  ") +
                 seconds;
        for (std::size_t c = 0; c < headings.size(); ++c) {
            table += "  " + right(c < outcome.columns.size() ? outcome.columns[c] : "",
                                  headings[c].size());
        }
        table += (outcome.message.empty() ? "" : "  ") + outcome.message + "\n";
    }
    out << table << std::flush;
}

}  // namespace uhf
