// A Scheduler on a manual clock: time moves only when the test advances it,
// so a 166 ms tick or a 30 s time-out runs in microseconds.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "host/scheduler.h"

namespace cedar::test {

class ManualScheduler : public Scheduler {
  public:
    std::int64_t nowMs() const override { return now_; }
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }
    TimerId startTimer(std::chrono::milliseconds interval, Task tick, bool repeat) override {
        const TimerId id = next_++;
        timers_[id] = {now_ + interval.count(), interval.count(), repeat, std::move(tick)};
        return id;
    }
    void stopTimer(TimerId id) override { timers_.erase(id); }

    // Runs the posted tasks (including those they post).
    void runPosted() {
        for (;;) {
            std::vector<Task> tasks;
            {
                std::lock_guard lock(mutex_);
                tasks.swap(posted_);
            }
            if (tasks.empty()) return;
            for (auto& t : tasks)
                t();
        }
    }
    // Moves the clock forward, firing due timers in time order.
    void advance(std::int64_t ms) {
        const std::int64_t target = now_ + ms;
        for (;;) {
            runPosted();
            TimerId dueId = 0;
            std::int64_t due = target + 1;
            for (const auto& [id, t] : timers_)
                if (t.due < due) {
                    due = t.due;
                    dueId = id;
                }
            if (dueId == 0) break;
            now_ = due;
            Task tick = timers_[dueId].tick;
            if (timers_[dueId].repeat)
                timers_[dueId].due += timers_[dueId].interval;
            else
                timers_.erase(dueId);
            tick();
        }
        now_ = target;
        runPosted();
    }
    std::size_t timerCount() const { return timers_.size(); }

  private:
    struct Timer {
        std::int64_t due;
        std::int64_t interval;
        bool repeat;
        Task tick;
    };
    std::int64_t now_ = 1000000;
    TimerId next_ = 1;
    std::map<TimerId, Timer> timers_;
    std::mutex mutex_;
    std::vector<Task> posted_;
};

}  // namespace cedar::test
