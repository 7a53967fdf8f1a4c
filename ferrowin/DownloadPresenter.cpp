#include "ferrowin/DownloadPresenter.h"

#include <optional>
#include <utility>

#include "common/DecimalText.h"
#include "common/PortConfig.h"
#include "ferrowin/DownloadControlIds.h"
#include "ferrowin/FileChooser.h"
#include "protocol/UpgradeFrames.h"
#include "serial/CommControl.h"
#include "serial/LowLatencyMode.h"

namespace uhf {

namespace {

using Ids = DownloadControlIds;

constexpr int kInputs[] = {Ids::kPortList, Ids::kDeviceBaudList, Ids::kDownloadBaudList,
                           Ids::kFileButton, Ids::kDownloadButton};

std::tm MachineLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

}  // namespace

DownloadPresenter::DownloadPresenter(DialogView& view, PortConfig& config, CommControl& comm,
                                     TransferTimers& timers, FileChooser& files,
                                     LocalTime localTime)
    : view_(view),
      config_(config),
      comm_(comm),
      files_(files),
      localTime_(localTime ? std::move(localTime) : LocalTime(MachineLocalTime)),
      ports_(view, Ids::kPortList),
      transfer_(comm, timers, *this) {}

DownloadPresenter::~DownloadPresenter() {
    if (lowLatency_ != nullptr) {
        lowLatency_->SetWarningSink({});
    }
}

void DownloadPresenter::Initialise(PortSource ports) {
    if (!ports) {
        ports = [this] {
            std::vector<std::string> names;
            config_.ListPorts(names);
            std::vector<PortInfo> list;
            for (std::string& name : names) {
                list.push_back(PortInfo{std::move(name)});
            }
            return list;
        };
    }
    ports_.SetSource(std::move(ports));
    // A settings file that cannot be written is said once, in the log.
    config_.SetNoticeHandler([this](const std::string& line) { AddLog(line); });
    RestoreBaudRates();
    FillPortList();
    std::string storedPath;
    if (config_.ReadFilePath(storedPath)) {
        view_.SetText(Ids::kPathBox, storedPath);
    }
    view_.SetRange(Ids::kProgressBar, 1, 100);
}

void DownloadPresenter::RestoreBaudRates() {
    int deviceIndex = -1;
    int downIndex = -1;
    if (!config_.ReadBaudIndexes(deviceIndex, downIndex)) {
        return;
    }
    // An index outside a list leaves it without a selection.
    const auto select = [this](int id, int index) {
        view_.SelectIndex(id, index >= 0 && index < view_.ItemCount(id) ? index : -1);
    };
    select(Ids::kDeviceBaudList, deviceIndex);
    select(Ids::kDownloadBaudList, downIndex);
}

void DownloadPresenter::FillPortList() {
    const std::vector<std::string> portNames = ports_.List();
    if (portNames.empty()) {
        view_.ShowMessage("本电脑没有可用的串口!");
        return;
    }
    int stored = 0;
    const bool read = config_.ReadPortIndex(stored);
    const int count = static_cast<int>(portNames.size());
    ports_.Fill(portNames, read && stored >= 0 && stored < count ? stored : 0);
}

void DownloadPresenter::WatchPorts(TimerService& timers) {
    ports_.Watch(timers, kPortWatchTimer);
}

void DownloadPresenter::PollPorts() {
    ports_.Poll();
}

void DownloadPresenter::PortChosen() {
    ports_.ShowChoice();
}

void DownloadPresenter::LogLatencyWarnings(LowLatencyMode& mode) {
    lowLatency_ = &mode;
    mode.SetWarningSink([this](const std::string& warning) { AddLog(warning); });
}

void DownloadPresenter::ChooseFile() {
    const std::optional<std::string> chosen = files_.ChooseFirmware();
    if (!chosen) {
        return;
    }
    view_.SetText(Ids::kPathBox, *chosen);
    config_.WriteValue("DownloadFilePath", *chosen);
}

void DownloadPresenter::Download() {
    if (transfer_.IsRunning()) {
        return;
    }
    // The transfer always uses the path shown. An empty path box holds " " or nothing.
    const std::string firmwarePath = view_.Text(Ids::kPathBox);
    if (firmwarePath.size() < 2) {
        AddLog("Please select one firmware.");
        return;
    }
    transfer_.StartDownload(firmwarePath, ReadSelections());
    if (transfer_.IsRunning()) {
        EnableInputs(false);
    }
}

void DownloadPresenter::Exit() {
    // Stops the transfer's timers too, so none calls in after the window has gone.
    transfer_.Cancel();
    if (comm_.IsOpen()) {
        comm_.Close();
    }
    view_.CloseDialog(true);
}

void DownloadPresenter::SelectionChanged(int id, int index) {
    const char* key = id == Ids::kPortList           ? "Port"
                      : id == Ids::kDeviceBaudList   ? "DeviceBaud"
                      : id == Ids::kDownloadBaudList ? "DownBaud"
                                                     : nullptr;
    if (key != nullptr && index >= 0) {
        config_.WriteValue(key, std::to_string(index));
    }
}

void DownloadPresenter::AddLog(const std::string& message) {
    const std::tm now = localTime_();
    char time[16] = {};
    if (std::strftime(time, sizeof time, "%H:%M:%S", &now) == 0) {
        time[0] = '\0';
    }
    const int row = LogCount();
    log_.push_back({time, message});
    view_.RowsAppended(Ids::kLogList, row, 1);
    // Only the newest line is marked, and the list follows it.
    view_.SelectIndex(Ids::kLogList, row);
    view_.ScrollToRow(Ids::kLogList, row);
}

void DownloadPresenter::Say(const std::vector<TransferWords::Line>& lines) {
    for (const TransferWords::Line& line : lines) {
        if (line.messageBox) {
            view_.ShowMessage(line.text);
        } else {
            AddLog(line.text);
        }
    }
}

void DownloadPresenter::Report(TransferEvent event) {
    Say(TransferWords::Of(event));
}

void DownloadPresenter::ShowProgress(int sentBytes, int totalBytes) {
    if (sentBytes == 0) {
        view_.SetRange(Ids::kProgressBar, 1, PacketCountFor(totalBytes));
        return;
    }
    view_.SetPosition(Ids::kProgressBar,
                      (sentBytes + kDataBytesPerPacket - 1) / kDataBytesPerPacket - 1);
}

void DownloadPresenter::Finished(const TransferEnd& end) {
    Say(TransferWords::Of(end));
    EnableInputs(true);
}

void DownloadPresenter::EnableInputs(bool on) {
    for (const int id : kInputs) {
        view_.Enable(id, on);
    }
}

std::string DownloadPresenter::Selected(int id) const {
    // A list without a selection reads as an empty text.
    return view_.SelectedIndex(id) >= 0 ? view_.Text(id) : std::string();
}

TransferSelections DownloadPresenter::ReadSelections() const {
    return {Selected(Ids::kPortList), DecimalText::Read(Selected(Ids::kDeviceBaudList)),
            DecimalText::Read(Selected(Ids::kDownloadBaudList))};
}

}  // namespace uhf
