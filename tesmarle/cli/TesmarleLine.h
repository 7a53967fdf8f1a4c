#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "reader/LinkDoctor.h"
#include "toolsupport/RunReport.h"
#include "tesmarle/cli/TesmarleOptions.h"
#include "common/PortInfo.h"
#include "reader/ReaderLink.h"

namespace uhf {

// Runs a tesmarle-cli command on every port given: one port as TesmarleRunner does; several at
// once, each on its own thread with its own link, every output line behind its port, and a
// table of the results at the end. Exit status 0 only when every reader succeeded. With a report
// each reader's operation becomes one line of it.
class TesmarleLine {
  public:
    using LinkFactory = std::function<std::unique_ptr<ReaderLink>()>;

    TesmarleLine(LinkFactory makeLink, std::ostream& out, std::ostream& err);

    void SetInterrupted(std::function<bool()> interrupted);
    void SetPortLister(std::function<std::vector<PortInfo>()> lister);
    void SetReport(RunReport* report);
    void SetDoctor(const LinkDoctor* doctor);

    int Run(const TesmarleOptions& options);

  private:
    struct ReaderResult {
        std::string port;
        int status = 0;
        double seconds = 0;
        std::string message;
    };

    // Runs the command on one port; `out` and `err` are that port's streams.
    ReaderResult RunOne(const TesmarleOptions& options, const std::string& port, std::ostream& out,
                        std::ostream& err);

    LinkFactory makeLink;
    std::ostream& out;
    std::ostream& err;
    std::function<bool()> interrupted;
    std::function<std::vector<PortInfo>()> listPorts;
    RunReport* report = nullptr;
    const LinkDoctor* doctor = nullptr;
    std::vector<PortInfo> knownPorts;
};

}  // namespace uhf
