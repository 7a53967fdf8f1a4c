#include "tesmarle/cli/TesmarleLine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "tesmarle/cli/DoctorReport.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/LinePrefixer.h"
#include "tesmarle/cli/TesmarleFields.h"
#include "tesmarle/cli/TesmarleRunner.h"

namespace uhf {

namespace {

const char* OperationName(TesmarleAction action) {
    switch (action) {
        case TesmarleAction::Read:
            return "read";
        case TesmarleAction::Write:
            return "write";
        case TesmarleAction::Resume:
            return "resume";
        case TesmarleAction::Tags:
            return "tags";
        case TesmarleAction::Check:
            return "check";
        case TesmarleAction::Doctor:
            return "doctor";
        default:
            return nullptr;  // touches no reader
    }
}

std::string RecordJson(const std::optional<ReaderParams>& params) {
    return params ? FormatParamsJson(*params) : "null";
}

}  // namespace

TesmarleLine::TesmarleLine(LinkFactory factory, std::ostream& output, std::ostream& errors)
    : makeLink(std::move(factory)), out(output), err(errors), interrupted([] { return false; }) {}

void TesmarleLine::SetInterrupted(std::function<bool()> check) {
    interrupted = std::move(check);
}

void TesmarleLine::SetPortLister(std::function<std::vector<PortInfo>()> lister) {
    listPorts = std::move(lister);
}

void TesmarleLine::SetReport(RunReport* record) {
    report = record;
}

void TesmarleLine::SetDoctor(const LinkDoctor* linkDoctor) {
    doctor = linkDoctor;
}

TesmarleLine::ReaderResult TesmarleLine::RunOne(const TesmarleOptions& options,
                                                const std::string& port, std::ostream& portOut,
                                                std::ostream& portErr) {
    TesmarleOptions one = options;
    one.port = port;
    one.ports = {port};
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<ReaderLink> link = makeLink();
    TesmarleRunner runner(*link, portOut, portErr);
    runner.SetInterrupted(interrupted);
    runner.SetPortLister(listPorts);
    runner.SetDoctor(doctor);
    ReaderResult result{port, runner.Run(one), 0, runner.LastOutcome().message};
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* operation = OperationName(options.action);
    if (report != nullptr && options.action == TesmarleAction::Doctor) {
        // One line per port examined, with everything the doctor found there.
        for (const PortDiagnosis& d : runner.LastOutcome().diagnoses) {
            std::string findings;
            for (const std::string& finding : d.findings) {
                findings += (findings.empty() ? "" : "; ") + finding;
            }
            const RunReport::Entry entry{d.path,
                                         RunReport::SerialNumberOf(d.path, knownPorts),
                                         operation,
                                         d.mode && !d.stopped ? "ok" : "failed",
                                         d.mode && !d.stopped ? "" : findings,
                                         {{"diagnosis", DoctorReport::PortJson(d)}}};
            if (!report->Append(entry)) {
                portErr << "tesmarle-cli: --report: the line for " << d.path
                        << " could not be written\n";
                result.status = std::max(result.status, kExitFailure);
            }
        }
    } else if (report != nullptr && operation != nullptr) {
        RunReport::Entry entry{port,           RunReport::SerialNumberOf(port, knownPorts),
                               operation,      result.status == kExitOk ? "ok" : "failed",
                               result.message, {}};
        const TesmarleRunner::Outcome& outcome = runner.LastOutcome();
        if (options.action == TesmarleAction::Write) {
            entry.values = {{"before", RecordJson(outcome.before)},
                            {"after", RecordJson(outcome.after)}};
        } else if (options.action == TesmarleAction::Read ||
                   options.action == TesmarleAction::Check) {
            entry.values = {{"record", RecordJson(outcome.after)}};
        }
        if (!report->Append(entry)) {
            portErr << "tesmarle-cli: --report: the line could not be written\n";
            result.status = std::max(result.status, kExitFailure);
        }
    }
    return result;
}

int TesmarleLine::Run(const TesmarleOptions& options) {
    if (report != nullptr && listPorts) {
        knownPorts = listPorts();
    }
    if (options.ports.size() <= 1) {
        return RunOne(options, options.port, out, err).status;
    }

    std::mutex outMutex;
    std::mutex errMutex;
    std::vector<ReaderResult> results(options.ports.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < options.ports.size(); ++i) {
        threads.emplace_back([&, i] {
            const std::string& port = options.ports[i];
            LinePrefixer outLines(out, outMutex, port + ": ");
            LinePrefixer errLines(err, errMutex, port + ": ");
            std::ostream portOut(&outLines);
            std::ostream portErr(&errLines);
            results[i] = RunOne(options, port, portOut, portErr);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::size_t width = 4;
    for (const ReaderResult& result : results) {
        width = std::max(width, result.port.size());
    }
    auto padded = [width](std::string text) {
        text.resize(width, ' ');
        return text;
    };
    out << padded("port") << "  result  seconds  message\n";
    int status = kExitOk;
    for (const ReaderResult& result : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%7.2f", result.seconds);
        out << padded(result.port) << "  " << (result.status == kExitOk ? "ok    " : "failed")
            << "  " << seconds << (result.message.empty() ? "" : "  ") << result.message << "\n";
        status = std::max(status, result.status);
    }
    return status;
}

}  // namespace uhf
