#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "reader/LinkDoctor.h"
#include "reader/ReaderLink.h"
#include "tesmarle/cli/TesmarleOptions.h"
#include "toolsupport/ExitStatus.h"

namespace uhf {

// Runs one tesmarle-cli command on a link; with `-b auto` the link first asks the reader Stop at
// each rate and the command goes on at the one it answered. Results go to `out`, messages that name
// the failed step to `err`. Exit status (ExitStatus.h): 0 success, 1 the port, the reader or the
// --from file failed, 2 a usage error (including a --from file that is not a record), found before
// the port is opened.
class TesmarleRunner {
  public:
    // What the last Run did to the reader, for the report: the record before and after a write,
    // the record read, the doctor's findings, and the failure's words.
    struct Outcome {
        std::string message;
        std::optional<ReaderParams> before;
        std::optional<ReaderParams> after;
        std::vector<PortDiagnosis> diagnoses;
    };

    // Well inside the 450-record store: at 115200 baud 450 reports arrive in about 550 ms, and
    // a full store starts over, losing what it held.
    static constexpr std::chrono::milliseconds kTakeInterval{100};

    // What the commands need of the machine beside the link.
    struct Services {
        // Polled while tags are collected and between the steps of a rate scan; true ends them
        // (SIGINT, SIGTERM). Before any other step that sends a request but Stop, true ends the
        // command with exit status 1.
        std::function<bool()> interrupted = [] { return false; };
        std::function<std::vector<PortInfo>()> listPorts =
            nullptr;                         // the machine's ports, for `ports`
        const LinkDoctor* doctor = nullptr;  // what `doctor` runs; without one the command fails
        // The port `-b auto` scans on before the link opens; the machine's own when not given.
        std::function<std::unique_ptr<SerialPort>()> makeScanPort = nullptr;
    };

    TesmarleRunner(ReaderLink& link, std::ostream& out, std::ostream& err, Services services);

    int Run(const TesmarleOptions& options);
    const Outcome& LastOutcome() const { return outcome; }

  private:
    int Fail(const std::string& step);
    // A failed write of the record; where the reader may have written a block all the same, a
    // read says whether it did.
    int FailWrite(const ReaderParams& before, const ReaderParams& wanted);
    // Prints and keeps a failure that names no link step.
    int Refuse(const std::string& message, int status);
    // The fields of a record file named by --from (or by diff).
    bool ReadFromFile(const std::string& path, std::vector<ParamChange>& changes, int& status);
    // Opens the port, stops the reader and reads its record into `outcome.after`.
    int ReadRecord(const TesmarleOptions& options);
    bool OpenPort(const TesmarleOptions& options);
    int RunRead(const TesmarleOptions& options);
    int RunWrite(const TesmarleOptions& options);
    int RunResume(const TesmarleOptions& options);
    int RunTags(const TesmarleOptions& options);
    int RunPorts(const TesmarleOptions& options);
    int RunDoctor(const TesmarleOptions& options);
    int RunCheck(const TesmarleOptions& options);
    int RunDiff(const TesmarleOptions& options);

    ReaderLink& link;
    std::ostream& out;
    std::ostream& err;
    Services services;
    Outcome outcome;
};

}  // namespace uhf
