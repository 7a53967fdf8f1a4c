#include "tesmarle/TagPresenter.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "tesmarle/ControlText.h"
#include "tesmarle/TesmarleControlIds.h"

namespace uhf {

TagPresenter::TagPresenter(DialogView& view, ReaderLink& link, TaskRunner& runner,
                           TimerService& timers, std::function<Clock::time_point()> now)
    : view_(view), link_(link), runner_(runner), timers_(timers), now_(std::move(now)) {}

void TagPresenter::Begin() {
    busy_ = true;
    view_.SetBusy(true);
}

void TagPresenter::End() {
    busy_ = false;
    view_.SetBusy(false);
}

void TagPresenter::Start() {
    if (busy_) {
        return;
    }
    auto started = std::make_shared<bool>(false);
    Begin();
    runner_.Run([this, started] { *started = link_.StartTagCollection(); },
                [this, started] {
                    End();
                    if (*started) {
                        stats_ = TagStats(now_());
                        SetStatus("Identifying tags...");
                        timers_.Start(kTickTimer, kTickPeriod, [this] { Tick(); });
                    } else {
                        SetStatus("Fail to identify 6B tag");
                    }
                });
}

void TagPresenter::Stop() {
    if (busy_) {
        return;
    }
    Begin();
    runner_.Run([this] { link_.Stop(); },
                [this] {
                    End();
                    timers_.Kill(kTickTimer);
                    SetStatus("Stop identifying...");
                });
}

void TagPresenter::Clear() {
    if (busy_) {
        return;
    }
    SetStatus("");
    stats_ = TagStats(now_());
    rows_.Clear();
    view_.RowsCleared(kTagList);
}

void TagPresenter::Tick() {
    if (busy_) {
        return;
    }
    const int count = std::clamp(link_.TakeTagRecords(tagBuffer_.data()), 0, ReaderLink::kTagSlots);
    stats_.Add(now_(), tagBuffer_.data(), count);
    if (stats_.Reports() > 0) {
        // The rate falls as the tags go away, so it is said on every tick.
        char counts[96];
        std::snprintf(counts, sizeof counts, "Identifying tags... %ld reads, %zu tags, %.1f/s",
                      stats_.Reports(), stats_.Distinct(), stats_.LastSecondPerSecond());
        SetStatus(counts);
    }
    if (count == 0) {
        return;
    }
    // Follow the newest row only while the user has not scrolled away from it.
    const bool follow = view_.IsScrolledToEnd(kTagList);
    const int first = RowCount();
    rows_.Append(tagBuffer_.data(), count);
    view_.RowsAppended(kTagList, first, count);
    if (follow) {
        view_.ScrollToRow(kTagList, RowCount() - 1);
    }
}

void TagPresenter::Close(bool accepted) {
    if (busy_) {
        return;
    }
    Begin();
    runner_.Run([this] { link_.Stop(); },
                [this, accepted] {
                    End();
                    timers_.Kill(kTickTimer);
                    view_.CloseDialog(accepted);
                });
}

std::string TagPresenter::RowText(int row, int column) const {
    if (row < 0 || row >= RowCount()) {
        return {};
    }
    return column == 0 ? std::to_string(row + 1)
                       : TagText(rows_.Record(static_cast<std::size_t>(row)));
}

void TagPresenter::SetStatus(const std::string& text) {
    view_.SetText(kStatusLine, text);
}

}  // namespace uhf
