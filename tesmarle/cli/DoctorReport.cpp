#include "tesmarle/cli/DoctorReport.h"

#include <cstdio>

#include "protocol/BaudRates.h"
#include "protocol/UpgradeFrames.h"
#include "toolsupport/JsonText.h"

namespace uhf {

namespace {

std::string ProcessesJson(const std::vector<ProcessInfo>& processes) {
    std::string json = "[";
    for (std::size_t i = 0; i < processes.size(); ++i) {
        json += (i == 0 ? "" : ", ") + std::string("{\"pid\": ") +
                std::to_string(processes[i].pid) + ", \"name\": " + JsonText(processes[i].name) +
                "}";
    }
    return json + "]";
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The measured turnaround and what it makes of a 65535-byte download at each rate.
std::string TurnaroundJson(const PortDiagnosis& d) {
    if (d.turnaroundExchanges == 0) {
        return "\"turnaroundMs\": null, \"longestTurnaroundMs\": null, \"downloadSeconds\": null";
    }
    std::string json =
        "\"turnaroundMs\": " + Decimal(d.turnaround.count() / 1000.0) +
        ", \"longestTurnaroundMs\": " + Decimal(d.longestTurnaround.count() / 1000.0) +
        ", \"downloadSeconds\": {";
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        const auto time = UpgradeDuration(kMaxImageLength, kBaudRates[i], d.turnaround);
        json += (i == 0 ? "\"" : ", \"") + std::to_string(kBaudRates[i]) +
                "\": " + Decimal(std::chrono::duration<double>(time).count());
    }
    return json + "}";
}

}  // namespace

std::string DoctorReport::Text(const std::vector<PortDiagnosis>& ports,
                               const std::vector<ProcessInfo>& grabbers) {
    std::string text;
    if (ports.empty()) {
        text += "no serial port found\n";
        for (const ProcessInfo& grabber : grabbers) {
            text += "  " + LinkDoctor::DescribeGrabber(grabber) + "\n";
        }
    }
    for (const PortDiagnosis& d : ports) {
        const std::string description = d.info.Describe();
        text += d.path + (description.empty() ? "" : " (" + description + ")") + "\n";
        for (const std::string& finding : d.findings) {
            text += "  " + finding + "\n";
        }
    }
    return text;
}

std::string DoctorReport::PortJson(const PortDiagnosis& d) {
    return "{\"path\": " + JsonText(d.path) + ", \"byId\": " + JsonText(d.info.byIdPath) +
           ", \"missing\": " + (d.missing ? "true" : "false") + ", \"openError\": " +
           (d.openError == SerialError::None ? "null" : JsonText(ToString(d.openError))) +
           ", \"group\": " + JsonText(d.group) +
           ", \"userInGroup\": " + (d.userInGroup ? (*d.userInGroup ? "true" : "false") : "null") +
           ", \"holders\": " + ProcessesJson(d.holders) + ", \"latencyTimerMs\": " +
           (d.latencyTimerMs > 0 ? std::to_string(d.latencyTimerMs) : "null") +
           ", \"mode\": " + (d.mode ? JsonText(ToString(*d.mode)) : "null") +
           ", \"baud\": " + (d.mode ? std::to_string(d.baud) : "null") +
           ", \"listensAt\": " + (d.listensAt > 0 ? std::to_string(d.listensAt) : "null") +
           ", \"echo\": " + (d.echo ? "true" : "false") + ", " + TurnaroundJson(d) +
           ", \"findings\": " + JsonTextList(d.findings) + "}";
}

std::string DoctorReport::Json(const std::vector<PortDiagnosis>& ports,
                               const std::vector<ProcessInfo>& grabbers) {
    std::string json =
        "{\"answered\": " + std::string(LinkDoctor::ReaderAnswered(ports) ? "true" : "false") +
        ", \"grabbers\": " + ProcessesJson(grabbers) + ", \"ports\": [";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        json += (i == 0 ? "\n  " : ",\n  ") + PortJson(ports[i]);
    }
    return json + (ports.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace uhf
