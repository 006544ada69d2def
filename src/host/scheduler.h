// Time and deferred work for the core. The session thread runs every task and
// timer callback; other threads only post. Tests use a manual clock, the
// program a Qt or plain event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace cedar {

class Scheduler {
  public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~Scheduler() = default;

    // Milliseconds on a monotonic clock.
    virtual std::int64_t nowMs() const = 0;
    // Runs `task` on the session thread. Safe to call from any thread.
    virtual void post(Task task) = 0;
    // Calls `tick` on the session thread after `interval`, and again every
    // `interval` when `repeat`. Session thread only.
    virtual TimerId startTimer(std::chrono::milliseconds interval, Task tick, bool repeat) = 0;
    virtual void stopTimer(TimerId id) = 0;
};

}  // namespace cedar
