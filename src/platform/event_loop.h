// A Scheduler with its own queue, for programs without a GUI event loop
// (cedar_headless, integration tests): the thread that calls run...() is the
// session thread. Its time is the system's monotonic clock.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "host/scheduler.h"

namespace cedar {

class EventLoop : public Scheduler {
  public:
    std::int64_t nowMs() const override;
    void post(Task task) override;
    TimerId startTimer(std::chrono::milliseconds interval, Task tick, bool repeat) override;
    void stopTimer(TimerId id) override;

    // Runs posted tasks and due timers until `done()` is true or `timeout`
    // passes; true when `done()` became true.
    template <typename Predicate>
    bool runUntil(Predicate done, std::chrono::milliseconds timeout) {
        const std::int64_t deadline = nowMs() + timeout.count();
        while (!done()) {
            const std::int64_t now = nowMs();
            if (now >= deadline) return false;
            runOnce(deadline - now);
        }
        return true;
    }
    // Runs what is ready, waiting at most `maxWaitMs` for something to arrive.
    void runOnce(std::int64_t maxWaitMs);
    // Wakes a runOnce() that is waiting (from any thread).
    void wake();

  private:
    struct Timer {
        std::int64_t due;
        std::int64_t interval;
        bool repeat;
        Task tick;
    };
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> tasks_;
    std::map<TimerId, Timer> timers_;
    TimerId nextTimer_ = 1;
    bool woken_ = false;
};

}  // namespace cedar
