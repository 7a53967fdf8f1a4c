#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "reader/ReaderLink.h"
#include "serial/TraceLog.h"
#include "tesmarle/cli/TesmarleOptions.h"
#include "tesmarle/cli/TesmarleRunner.h"
#include "toolsupport/PortRunner.h"
#include "toolsupport/RunReport.h"

namespace uhf {

// Runs a tesmarle-cli command on every port given, through PortRunner: on each port a
// TesmarleRunner with its own link and trace. With a report each reader's operation becomes one
// line of it, a failed one with the trace's last lines.
class TesmarleLine {
  public:
    // A link whose port tells `trace` what crosses it.
    using LinkFactory = std::function<std::unique_ptr<ReaderLink>(TraceLog& trace)>;

    // Each port's runner gets `services`, its scan port made to tell that port's trace.
    TesmarleLine(LinkFactory makeLink, std::ostream& out, std::ostream& err,
                 TesmarleRunner::Services services, RunReport* report = nullptr);

    int Run(const TesmarleOptions& options);

  private:
    PortRunner::Outcome RunOne(const TesmarleOptions& options, const PortRunner::Job& job);

    LinkFactory makeLink;
    std::ostream& out;
    std::ostream& err;
    TesmarleRunner::Services services;
    RunReport* report = nullptr;
    std::vector<PortInfo> knownPorts;
};

}  // namespace uhf
