#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace uhf {

// Time that moves only when the test says so, with one-shot timers keyed by id. A fired timer is
// disarmed before its callback runs, so the callback may arm it again.
class ManualClock {
  public:
    using Ms = std::int64_t;

    Ms Now() const { return now; }

    void Arm(int id, int milliseconds) { timers[id] = Timer{now + milliseconds, ++sequence}; }
    void Stop(int id) { timers.erase(id); }
    bool IsArmed(int id) const { return timers.count(id) != 0; }

    std::optional<Ms> Deadline(int id) const {
        const auto it = timers.find(id);
        if (it == timers.end()) {
            return std::nullopt;
        }
        return it->second.deadline;
    }

    // The earliest deadline of any armed timer.
    std::optional<Ms> NextDeadline() const {
        std::optional<Ms> next;
        for (const auto& [id, timer] : timers) {
            if (!next || timer.deadline < *next) {
                next = timer.deadline;
            }
        }
        return next;
    }

    // Moves time on without firing anything, like a blocking pause of the thread.
    void Sleep(Ms milliseconds) { now += milliseconds; }

    // Fires the earliest due timer (armed first wins a tie), moving time to its deadline if that
    // is later than now. Returns the id fired, or nothing when no timer is due by `limit`.
    std::optional<int> FireNext(Ms limit, const std::function<void(int)>& fire) {
        auto best = timers.end();
        for (auto it = timers.begin(); it != timers.end(); ++it) {
            if (best == timers.end() || it->second.deadline < best->second.deadline ||
                (it->second.deadline == best->second.deadline &&
                 it->second.sequence < best->second.sequence)) {
                best = it;
            }
        }
        if (best == timers.end() || best->second.deadline > limit) {
            return std::nullopt;
        }
        const int id = best->first;
        if (best->second.deadline > now) {
            now = best->second.deadline;
        }
        timers.erase(best);
        fire(id);
        return id;
    }

    // Fires every timer due up to `target` in order, then sets the time to `target`.
    void AdvanceTo(Ms target, const std::function<void(int)>& fire) {
        while (FireNext(target, fire)) {
        }
        if (target > now) {
            now = target;
        }
    }

  private:
    struct Timer {
        Ms deadline = 0;
        std::uint64_t sequence = 0;
    };
    Ms now = 0;
    std::uint64_t sequence = 0;
    std::map<int, Timer> timers;
};

}  // namespace uhf
