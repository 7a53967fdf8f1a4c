#include "ui/PortListFollower.h"

#include <utility>

namespace uhf {

PortListFollower::PortListFollower(DialogView& view, int listId) : view_(view), listId_(listId) {}

PortListFollower::~PortListFollower() = default;

void PortListFollower::SetSource(PortSource source) {
    source_ = std::move(source);
}

std::vector<std::string> PortListFollower::List() {
    details_ = source_ ? source_() : std::vector<PortInfo>{};
    std::vector<std::string> names;
    names.reserve(details_.size());
    for (const PortInfo& port : details_) {
        names.push_back(port.path);
    }
    return names;
}

void PortListFollower::Fill(const std::vector<std::string>& ports, int selected) {
    view_.ClearItems(listId_);
    for (const std::string& port : ports) {
        view_.AddItem(listId_, port);
    }
    view_.SelectIndex(listId_, selected);
    ShowChoice();
}

void PortListFollower::ShowChoice() {
    const std::string path = view_.Text(listId_);
    std::string tip = path;
    for (const PortInfo& port : details_) {
        if (port.path == path) {
            const std::string described = port.Describe();
            if (!described.empty()) {
                tip += '\n';
                tip += described;
            }
            break;
        }
    }
    view_.SetToolTip(listId_, tip);
}

void PortListFollower::Watch(TimerService& timers, int timerId) {
    // Its first list is taken now: what the window shows already is not news.
    watcher_ = std::make_unique<PortWatcher>([this] { return List(); });
    timers.Start(timerId, PortWatcher::kDefaultInterval, [this] { Poll(); });
}

void PortListFollower::Poll() {
    if (!watcher_) {
        return;
    }
    const PortWatcher::Change change = watcher_->Poll();
    if (change.Empty()) {
        // The details may still have changed under the same names; the tooltip follows.
        ShowChoice();
        return;
    }
    const std::string choice = PortWatcher::KeepChoice(view_.Text(listId_), change.ports);
    int selected = -1;
    for (std::size_t i = 0; i < change.ports.size(); ++i) {
        if (change.ports[i] == choice) {
            selected = static_cast<int>(i);
            break;
        }
    }
    Fill(change.ports, selected);
}

}  // namespace uhf
