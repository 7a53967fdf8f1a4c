#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "toolsupport/ExitStatus.h"
#include "reader/LinkDoctor.h"
#include "tesmarle/cli/TesmarleOptions.h"
#include "common/PortInfo.h"
#include "reader/ReaderLink.h"

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

    TesmarleRunner(ReaderLink& link, std::ostream& out, std::ostream& err);

    // Polled while tags are collected and between the steps of a rate scan; true ends them
    // (SIGINT, SIGTERM). Before any other step that sends a request but Stop, true ends the
    // command with exit status 1.
    void SetInterrupted(std::function<bool()> interrupted);
    // The machine's ports, for `ports`.
    void SetPortLister(std::function<std::vector<PortInfo>()> lister);
    // What `doctor` runs; without one the command fails.
    void SetDoctor(const LinkDoctor* doctor);
    // The port `-b auto` scans on before the link opens; the machine's own by default.
    void SetScanPort(std::function<std::unique_ptr<SerialPort>()> make);

    int Run(const TesmarleOptions& options);
    const Outcome& LastOutcome() const { return outcome; }

  private:
    int Fail(const std::string& step);
    // A failed write of the record; where the reader may have written a block all the same, a
    // read says whether it did.
    int FailWrite(const ReaderParams& before, const ReaderParams& wanted);
    // Prints and keeps a failure that names no link step.
    int Refuse(const std::string& message, int status);
    bool ReadFromFile(const TesmarleOptions& options, std::vector<ParamChange>& changes,
                      int& status);
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
    std::function<bool()> interrupted;
    std::function<std::vector<PortInfo>()> listPorts;
    const LinkDoctor* doctor = nullptr;
    std::function<std::unique_ptr<SerialPort>()> makeScanPort;
    Outcome outcome;
};

}  // namespace uhf
