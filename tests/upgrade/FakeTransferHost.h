#pragma once

#include <string>
#include <utility>
#include <vector>

#include "fakes/ManualClock.h"
#include "upgrade/TransferObserver.h"
#include "upgrade/TransferTimers.h"

namespace uhf {

// The transfer's host in the tests: records everything the transfer tells it, stamped with the
// manual clock, and keeps the timers and the pause on that clock.
class FakeTransferHost : public TransferObserver, public TransferTimers {
  public:
    enum class Kind { Report, Progress, Finished, Pause };
    struct Event {
        ManualClock::Ms time = 0;
        Kind kind = Kind::Report;
        TransferEvent event = TransferEvent::BaudChange;  // of a Report
        int first = 0;
        int second = 0;
    };

    explicit FakeTransferHost(ManualClock& sharedClock) : clock(sharedClock) {}

    void Report(TransferEvent event) override { Record(Kind::Report, event); }
    void ShowProgress(int sentBytes, int totalBytes) override {
        Record(Kind::Progress, {}, sentBytes, totalBytes);
    }
    void Finished(const TransferEnd& end) override {
        ends.push_back(end);
        results.push_back(end.error);
        Record(Kind::Finished);
    }

    void Arm(int id, int milliseconds) override { clock.Arm(id, milliseconds); }
    void Stop(int id) override { clock.Stop(id); }
    void Pause(int milliseconds) override {
        Record(Kind::Pause, {}, milliseconds);
        clock.Sleep(milliseconds);
    }
    void SetExpiryHandler(ExpiryHandler handler) override { expiry = std::move(handler); }

    // Fires the earliest timer due by `limit`, as the host's loop would; false when none is.
    bool FireNext(ManualClock::Ms limit) {
        return clock
            .FireNext(limit,
                      [this](int id) {
                          if (expiry) {
                              expiry(id);
                          }
                      })
            .has_value();
    }
    // An expiry of `id` whether or not it is armed, as a late timer message would bring it.
    void Expire(int id) {
        if (expiry) {
            expiry(id);
        }
    }
    bool HasExpiryHandler() const { return static_cast<bool>(expiry); }

    // The steps reported, in order.
    std::vector<TransferEvent> Reports() const {
        std::vector<TransferEvent> out;
        for (const Event& e : events) {
            if (e.kind == Kind::Report) {
                out.push_back(e.event);
            }
        }
        return out;
    }

    // (sent, total) of every progress report, in order.
    std::vector<std::pair<int, int>> Progress() const {
        std::vector<std::pair<int, int>> out;
        for (const Event& e : events) {
            if (e.kind == Kind::Progress) {
                out.emplace_back(e.first, e.second);
            }
        }
        return out;
    }

    int Count(Kind kind) const {
        int n = 0;
        for (const Event& e : events) {
            n += e.kind == kind ? 1 : 0;
        }
        return n;
    }

    // Time of the first event of `kind`; -1 when none.
    ManualClock::Ms TimeOf(Kind kind) const {
        for (const Event& e : events) {
            if (e.kind == kind) {
                return e.time;
            }
        }
        return -1;
    }
    // Time of the first report of `event`; -1 when none.
    ManualClock::Ms TimeOf(TransferEvent event) const {
        for (const Event& e : events) {
            if (e.kind == Kind::Report && e.event == event) {
                return e.time;
            }
        }
        return -1;
    }

    std::vector<TransferEnd> ends;
    std::vector<TransferError> results;  // the error of each end
    std::vector<Event> events;

  private:
    void Record(Kind kind, TransferEvent event = {}, int first = 0, int second = 0) {
        events.push_back({clock.Now(), kind, event, first, second});
    }

    ManualClock& clock;
    ExpiryHandler expiry;
};

}  // namespace uhf
