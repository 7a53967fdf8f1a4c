#pragma once

#include <string>
#include <utility>
#include <vector>

#include "upgrade/TransferObserver.h"
#include "upgrade/TransferTimers.h"
#include "fakes/ManualClock.h"

namespace uhf {

// The transfer's host in the tests: records everything the transfer tells it, stamped with the
// manual clock, and keeps the timers and the pause on that clock.
class FakeTransferHost : public TransferObserver, public TransferTimers {
  public:
    enum class Kind { Log, Message, Progress, Finished, Pause };
    struct Event {
        ManualClock::Ms time = 0;
        Kind kind = Kind::Log;
        std::string text;
        int first = 0;
        int second = 0;
    };

    explicit FakeTransferHost(ManualClock& sharedClock) : clock(sharedClock) {}

    void AddLog(const std::string& message) override { Record(Kind::Log, message); }
    void ShowMessage(const std::string& text) override { Record(Kind::Message, text); }
    void ShowProgress(int sentBytes, int totalBytes) override {
        Record(Kind::Progress, {}, sentBytes, totalBytes);
    }
    void Finished(TransferError result) override {
        results.push_back(result);
        Record(Kind::Finished, ToString(result));
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

    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const Event& e : events) {
            if (e.kind == kind) {
                out.push_back(e.text);
            }
        }
        return out;
    }
    std::vector<std::string> Logs() const { return Texts(Kind::Log); }
    std::vector<std::string> Messages() const { return Texts(Kind::Message); }

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

    // Time of the first event of `kind` with `text` (any text when empty); -1 when none.
    ManualClock::Ms TimeOf(Kind kind, const std::string& text = {}) const {
        for (const Event& e : events) {
            if (e.kind == kind && (text.empty() || e.text == text)) {
                return e.time;
            }
        }
        return -1;
    }

    std::vector<TransferError> results;
    std::vector<Event> events;

  private:
    void Record(Kind kind, const std::string& text = {}, int first = 0, int second = 0) {
        events.push_back({clock.Now(), kind, text, first, second});
    }

    ManualClock& clock;
    ExpiryHandler expiry;
};

}  // namespace uhf
