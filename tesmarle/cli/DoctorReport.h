#pragma once

#include <string>
#include <vector>

#include "reader/LinkDoctor.h"

namespace uhf {

// The doctor's findings for people and for scripts.
class DoctorReport {
  public:
    // One block of lines per port; the grabbers are said on their own when there is no port at
    // all (brltty takes some adapters away entirely).
    static std::string Text(const std::vector<PortDiagnosis>& ports,
                            const std::vector<ProcessInfo>& grabbers);
    static std::string Json(const std::vector<PortDiagnosis>& ports,
                            const std::vector<ProcessInfo>& grabbers);
    // One port's object of Json, also a report line's "diagnosis".
    static std::string PortJson(const PortDiagnosis& d);
};

}  // namespace uhf
