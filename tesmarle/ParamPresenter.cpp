#include "tesmarle/ParamPresenter.h"

#include <charconv>
#include <memory>
#include <string>
#include <utility>

#include "protocol/BaudRates.h"
#include "tesmarle/ControlText.h"
#include "tesmarle/TesmarleControlIds.h"

namespace uhf {

namespace {

// A box's text as the number it is; -1, which no field takes, for an empty box, a letter or a
// number too large to hold.
int TextAsInteger(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

// What Set ends with. A number box out of its field's range is named; a list without a choice is
// refused in the words it always was.
std::string SetMessage(const ParamUpdate& update) {
    using Outcome = ParamUpdate::Outcome;
    std::string names;
    for (const ParamField field : update.fields) {
        const ParamFieldInfo& info = FieldInfo(field);
        names += (names.empty() ? "" : ", ") +
                 std::string(info.label != nullptr ? info.label : info.name);
    }
    if (update.outcome == Outcome::Refused && FieldInfo(update.fields[0]).choices.empty()) {
        const ParamFieldInfo& box = FieldInfo(update.fields[0]);
        return names + " must be a number from " + std::to_string(box.low) + " to " +
               std::to_string(box.high) + "; nothing was written";
    }
    return update.outcome == Outcome::Done ? "The parameters is set into the device successfully"
           : update.outcome == Outcome::ReadFailed
               ? "Setting Error:It is fail to get the parameters from the device"
           : update.outcome == Outcome::NotKept
               ? "The device did not keep " + names
               : "It is fail to set the parameters into the device";
}

struct ConnectCall {
    std::string portName;
    int baudRate = 0;
    bool opened = false;
    SerialError openError = SerialError::None;
    bool read = false;
    ReaderParams params;
};

struct ParamsCall {
    bool result = false;
    ReaderParams params;
};

}  // namespace

ParamPresenter::ParamPresenter(DialogView& view, ReaderLink& link, TaskRunner& runner)
    : view_(view), link_(link), runner_(runner), ports_(view, kPortList) {}

void ParamPresenter::Initialise(PortSource portSource) {
    ports_.SetSource(std::move(portSource));
    const std::vector<std::string> ports = ports_.List();
    ports_.Fill(ports, ports.empty() ? -1 : 0);
    for (const int rate : kBaudRates) {
        view_.AddItem(kBaudList, std::to_string(rate));
    }
    view_.SelectIndex(kBaudList, 0);
    for (const std::string& item : FrequencyItems()) {
        view_.AddItem(kFrequencyList, item);
    }
    view_.SelectIndex(kFrequencyList, -1);
    view_.SelectIndex(kConnectPortList, 0);
    SetDisconnectedState();
    EnableWiegandGroup(false);
}

void ParamPresenter::WatchPorts(TimerService& timers) {
    ports_.Watch(timers, kPortWatchTimer);
}

void ParamPresenter::PollPorts() {
    ports_.Poll();
}

void ParamPresenter::PortChosen() {
    ports_.ShowChoice();
}

void ParamPresenter::Run(std::function<void()> work, std::function<void()> done) {
    busy_ = true;
    view_.SetBusy(true);
    runner_.Run(std::move(work), [this, done = std::move(done)] {
        busy_ = false;
        view_.SetBusy(false);
        done();
        if (closeAsked_) {
            closeAsked_ = false;
            view_.CloseDialog(false);
        }
    });
}

void ParamPresenter::Close() {
    if (busy_) {
        closeAsked_ = true;
        return;
    }
    view_.CloseDialog(false);
}

void ParamPresenter::Connect() {
    if (busy_) {
        return;
    }
    auto call = std::make_shared<ConnectCall>();
    // The whole name: a device path is longer than a COM name.
    call->portName = view_.Text(kPortList);
    call->baudRate = TextAsInteger(view_.Text(kBaudList));
    Run(
        [this, call] {
            call->opened = link_.Open(call->portName, call->baudRate);
            if (!call->opened) {
                call->openError = link_.LastOpenError();
                return;
            }
            link_.Stop();
            call->read = link_.ReadParams(call->params);
        },
        [this, call] {
            if (!call->opened) {
                // The reason goes on a second line, so the first stays the one users know.
                std::string text = "Open Fail!";
                if (call->openError != SerialError::None) {
                    // Appended in two steps: GCC 12 at -O3 misreads "\n" + string as overlapping.
                    text += '\n';
                    text += ToString(call->openError);
                }
                view_.ShowMessage(text);
                link_.Close();
                return;
            }
            if (call->read) {
                ShowParams(call->params);
                SetConnectedState();
            } else {
                view_.ShowMessage("Open Fail!");
                link_.Close();
            }
        });
}

void ParamPresenter::Disconnect() {
    if (busy_) {
        return;
    }
    link_.Close();
    SetDisconnectedState();
}

void ParamPresenter::Set() {
    if (busy_) {
        return;
    }
    const std::vector<ParamChange> changes = TakeChanges();
    auto update = std::make_shared<ParamUpdate>();
    // The whole record, every block, as the window has always written it; then read back.
    Run([this, changes, update] { *update = ParamUpdate::Run(link_, changes, false, true); },
        [this, update] { view_.ShowMessage(SetMessage(*update)); });
}

void ParamPresenter::Read() {
    if (busy_) {
        return;
    }
    auto call = std::make_shared<ParamsCall>();
    Run([this, call] { call->result = link_.ReadParams(call->params); },
        [this, call] {
            if (call->result) {
                ShowParams(call->params);
            } else {
                view_.ShowMessage("It is fail to refresh the parameters");
            }
        });
}

void ParamPresenter::Resume() {
    if (busy_) {
        return;
    }
    auto result = std::make_shared<bool>(false);
    Run([this, result] { *result = link_.Resume(); },
        [this, result] {
            view_.ShowMessage(*result ? "The device resumes successfully"
                                      : "The device is fail to resume");
        });
}

void ParamPresenter::ConnectPortChosen(int index) {
    if (busy_) {
        return;
    }
    EnableWiegandGroup(index == 1);
}

void ParamPresenter::ShowParams(const ReaderParams& params) {
    view_.Enable(kIdentifyButton, true);
    view_.SetText(kPowerEdit, std::to_string(params.power));
    if (params.cardMode == 0) {
        view_.SetChecked(kSingleCardRadio, true);
        view_.SetChecked(kMultiCardsRadio, false);
    } else if (params.cardMode == 1) {
        view_.SetChecked(kMultiCardsRadio, true);
        view_.SetChecked(kSingleCardRadio, false);
    }
    view_.SetText(kTimeDistanceEdit, std::to_string(params.timeDistance));
    view_.SetChecked(kIdBorderCheck, params.idBorderUponDifferent == 1);
    SelectValue(kConnectPortList, params.connectPort);
    EnableWiegandGroup(params.connectPort == 2);
    SelectValue(kProtocolList, params.protocol);
    SelectValue(kExportTimeCombo, params.exportTime);
    SelectValue(kExportDistanceList, params.exportDistance);
    view_.SetText(kPulseWidthEdit, std::to_string(params.pulseWidth));
    view_.SetText(kPulsePeriodsEdit, std::to_string(params.pulsePeriods));
    if (params.lockedFrequency == 0) {
        view_.SetChecked(kJumpFrequencyRadio, true);
        view_.SetChecked(kLockedFrequencyRadio, false);
    } else {
        view_.SetChecked(kLockedFrequencyRadio, true);
        view_.SetChecked(kJumpFrequencyRadio, false);
        SelectValue(kFrequencyList, params.lockedFrequency);
    }
}

std::vector<ParamChange> ParamPresenter::TakeChanges() const {
    using F = ParamField;
    const auto number = [this](int id) { return TextAsInteger(view_.Text(id)); };
    std::vector<ParamChange> changes{{F::Power, number(kPowerEdit)}};
    // A radio pair with neither checked keeps the value read.
    if (view_.IsChecked(kSingleCardRadio) || view_.IsChecked(kMultiCardsRadio)) {
        changes.push_back({F::CardMode, view_.IsChecked(kMultiCardsRadio) ? 1 : 0});
    }
    changes.push_back({F::TimeDistance, number(kTimeDistanceEdit)});
    changes.push_back({F::IdBorderUponDifferent, view_.IsChecked(kIdBorderCheck) ? 1 : 0});
    changes.push_back({F::ConnectPort, SelectedValue(kConnectPortList)});
    if (changes.back().value == 2) {
        changes.push_back({F::Protocol, SelectedValue(kProtocolList)});
        changes.push_back({F::ExportTime, SelectedValue(kExportTimeCombo)});
        changes.push_back({F::ExportDistance, SelectedValue(kExportDistanceList)});
        changes.push_back({F::PulseWidth, number(kPulseWidthEdit)});
        changes.push_back({F::PulsePeriods, number(kPulsePeriodsEdit)});
    }
    if (view_.IsChecked(kJumpFrequencyRadio) || view_.IsChecked(kLockedFrequencyRadio)) {
        changes.push_back({F::LockedFrequency, view_.IsChecked(kLockedFrequencyRadio)
                                                   ? SelectedValue(kFrequencyList)
                                                   : 0});
    }
    return changes;
}

void ParamPresenter::SetDisconnectedState() {
    view_.Enable(kIdentifyButton, false);
    view_.Enable(kConnectButton, true);
    view_.Enable(kDisconnectButton, false);
    view_.Enable(kRefreshButton, false);
    view_.Enable(kSetButton, false);
    view_.Enable(kReadButton, false);
}

void ParamPresenter::SetConnectedState() {
    view_.Enable(kConnectButton, false);
    view_.Enable(kDisconnectButton, true);
    view_.Enable(kRefreshButton, true);
    view_.Enable(kSetButton, true);
    view_.Enable(kReadButton, true);
}

void ParamPresenter::EnableWiegandGroup(bool on) {
    for (int id : {kExportDistanceList, kExportTimeCombo, kProtocolList, kPulsePeriodsEdit,
                   kPulseWidthEdit}) {
        view_.Enable(id, on);
    }
}

void ParamPresenter::SelectValue(int id, std::uint8_t value) {
    view_.SelectIndex(id, ItemIndexForValue(value, view_.ItemCount(id)));
}

// A list's choice as stored: selected index + 1, so no selection gives 0.
int ParamPresenter::SelectedValue(int id) const {
    return view_.SelectedIndex(id) + 1;
}

}  // namespace uhf
