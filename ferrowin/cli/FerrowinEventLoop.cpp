#include "ferrowin/cli/FerrowinEventLoop.h"

#include <thread>
#include <utility>

namespace uhf {

void FerrowinEventLoop::Arm(int id, int milliseconds) {
    if (id < 0 || id >= kTimerCount) {
        return;
    }
    Timer& timer = timers[static_cast<std::size_t>(id)];
    timer.armed = true;
    timer.deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    timer.sequence = ++armings;
}

void FerrowinEventLoop::Stop(int id) {
    if (id >= 0 && id < kTimerCount) {
        timers[static_cast<std::size_t>(id)].armed = false;
    }
}

void FerrowinEventLoop::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void FerrowinEventLoop::SetExpiryHandler(ExpiryHandler handler) {
    expiry = std::move(handler);
}

void FerrowinEventLoop::SetWakeHandler(std::function<void()> handler) {
    wakeHandler = std::move(handler);
}

void FerrowinEventLoop::SetTick(int milliseconds, std::function<void()> handler) {
    tickPeriod = std::chrono::milliseconds(milliseconds);
    tickHandler = std::move(handler);
}

void FerrowinEventLoop::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        wakePending = true;
    }
    woken.notify_one();
}

int FerrowinEventLoop::NextTimer() const {
    int next = -1;
    for (int id = 0; id < kTimerCount; ++id) {
        const Timer& timer = timers[static_cast<std::size_t>(id)];
        if (!timer.armed) {
            continue;
        }
        const Timer* best = next < 0 ? nullptr : &timers[static_cast<std::size_t>(next)];
        if (best == nullptr || timer.deadline < best->deadline ||
            (timer.deadline == best->deadline && timer.sequence < best->sequence)) {
            next = id;
        }
    }
    return next;
}

void FerrowinEventLoop::Run() {
    quitting = false;
    Clock::time_point nextTick = Clock::now() + tickPeriod;
    while (!quitting) {
        const int timer = NextTimer();
        Clock::time_point until = Clock::time_point::max();
        if (timer >= 0) {
            until = timers[static_cast<std::size_t>(timer)].deadline;
        }
        if (tickHandler && nextTick < until) {
            until = nextTick;
        }
        bool wake = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (until == Clock::time_point::max()) {
                woken.wait(lock, [this] { return wakePending; });
            } else {
                woken.wait_until(lock, until, [this] { return wakePending; });
            }
            wake = wakePending;
            wakePending = false;
        }
        if (wake && wakeHandler) {
            wakeHandler();
        }
        // Asked again: the handler may have armed, stopped or quit. A steady stream of wake-ups
        // must not hold a due timer back.
        const int due = NextTimer();
        const Clock::time_point now = Clock::now();
        if (!quitting && due >= 0 && timers[static_cast<std::size_t>(due)].deadline <= now) {
            timers[static_cast<std::size_t>(due)].armed = false;
            if (expiry) {
                expiry(due);
            }
        }
        if (!quitting && tickHandler && nextTick <= now) {
            nextTick = now + tickPeriod;
            tickHandler();
        }
    }
}

}  // namespace uhf
