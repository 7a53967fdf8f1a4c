#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "reader/ReaderLink.h"
#include "reader/TagStats.h"
#include "tesmarle/TagRowStore.h"
#include "ui/DialogView.h"
#include "ui/TaskRunner.h"
#include "ui/TimerService.h"

namespace uhf {

// What Tesmarle's tag window does. "Start" sets the reader identifying and the link collecting;
// every 500 ms the identifiers collected since the last tick become numbered rows, and the
// status line counts them, the distinct tags and the reports a second of late. Start, Stop
// and the Stop of closing run through the task runner; while one runs, handlers are ignored
// and ticks leave the records in the link's store for a later tick, so the link is only ever
// driven from one thread at a time.
class TagPresenter {
  public:
    static constexpr int kTickTimer = 0;
    static constexpr std::chrono::milliseconds kTickPeriod{500};

    using Clock = TagStats::Clock;

    // `now` stamps each tick's reports (tests pass a clock of their own).
    TagPresenter(DialogView& view, ReaderLink& link, TaskRunner& runner, TimerService& timers,
                 std::function<Clock::time_point()> now = &Clock::now);

    void Start();
    void Stop();
    void Clear();
    void Tick();
    // "Back" (accepted) and Escape (not accepted) both send the stop command before closing,
    // so the reader and the receive thread do not run on with no window to show them.
    void Close(bool accepted);

    bool IsBusy() const { return busy_; }
    bool IsTicking() const { return timers_.IsRunning(kTickTimer); }
    int RowCount() const { return static_cast<int>(rows_.Size()); }
    // Column 0: the row's number from 1; column 1: the tag text.
    std::string RowText(int row, int column) const;
    const TagRowStore& Rows() const { return rows_; }

  private:
    void Begin();
    void End();
    void SetStatus(const std::string& text);

    DialogView& view_;
    ReaderLink& link_;
    TaskRunner& runner_;
    TimerService& timers_;
    TagRowStore rows_;
    std::function<Clock::time_point()> now_;
    TagStats stats_{Clock::time_point{}};
    std::array<std::uint8_t, ReaderLink::kTagStoreSize> tagBuffer_{};
    bool busy_ = false;
};

}  // namespace uhf
