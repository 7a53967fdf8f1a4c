#include "tesmarle/cli/TesmarleLine.h"

#include <algorithm>

#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "tesmarle/cli/DoctorReport.h"
#include "tesmarle/cli/TesmarleFields.h"
#include "tesmarle/cli/TesmarleRunner.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/JsonText.h"
#include "toolsupport/TraceTail.h"

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

TesmarleLine::TesmarleLine(LinkFactory factory, std::ostream& output, std::ostream& errors,
                           TesmarleRunner::Services given, RunReport* record)
    : makeLink(std::move(factory)),
      out(output),
      err(errors),
      services(std::move(given)),
      report(record) {}

PortRunner::Outcome TesmarleLine::RunOne(const TesmarleOptions& options,
                                         const PortRunner::Job& job) {
    TesmarleOptions one = options;
    one.port = job.port;
    one.ports = {job.port};
    TraceLog trace;
    std::string traceError;
    if (!options.traceFile.empty() && !trace.WriteTo(options.traceFile, traceError)) {
        job.err << "tesmarle-cli: " << traceError << "\n";
        return {kExitFailure, traceError, {}};
    }
    const std::unique_ptr<ReaderLink> link = makeLink(trace);
    TesmarleRunner::Services withTrace = services;
    withTrace.makeScanPort = [&trace] {
        return std::make_unique<TracingSerialPort>(std::make_unique<NativeSerialPort>(), trace);
    };
    TesmarleRunner runner(*link, job.out, job.err, std::move(withTrace));
    PortRunner::Outcome result{runner.Run(one), runner.LastOutcome().message, {}};
    const char* operation = OperationName(options.action);
    const bool failed = result.status != kExitOk && operation != nullptr &&
                        options.action != TesmarleAction::Doctor;
    const std::vector<std::string> lastFrames = failed ? trace.Lines() : std::vector<std::string>{};
    if (failed && options.verbose) {
        PrintTraceTail(job.err, "tesmarle-cli", lastFrames);
    }
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
                job.err << "tesmarle-cli: --report: the line for " << d.path
                        << " could not be written\n";
                result.status = std::max(result.status, kExitFailure);
            }
        }
    } else if (report != nullptr && operation != nullptr) {
        RunReport::Entry entry{job.port,       RunReport::SerialNumberOf(job.port, knownPorts),
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
        if (failed) {
            entry.values.emplace_back("trace", JsonTextList(lastFrames));
        }
        if (!report->Append(entry)) {
            job.err << "tesmarle-cli: --report: the line could not be written\n";
            result.status = std::max(result.status, kExitFailure);
        }
    }
    return result;
}

int TesmarleLine::Run(const TesmarleOptions& options) {
    if (report != nullptr && services.listPorts) {
        knownPorts = services.listPorts();
    }
    // `ports` and `diff` name no port, and `doctor` needs none.
    const std::vector<std::string> ports =
        options.ports.size() > 1 ? options.ports : std::vector<std::string>{options.port};
    return PortRunner(out, err).Run(
        ports, [&](const PortRunner::Job& job) { return RunOne(options, job); });
}

}  // namespace uhf
