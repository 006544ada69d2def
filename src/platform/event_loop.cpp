#include "platform/event_loop.h"

#include <algorithm>
#include <vector>

namespace cedar {

std::int64_t EventLoop::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void EventLoop::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    cv_.notify_one();
}

void EventLoop::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    cv_.notify_one();
}

Scheduler::TimerId EventLoop::startTimer(std::chrono::milliseconds interval, Task tick,
                                         bool repeat) {
    std::lock_guard lock(mutex_);
    const TimerId id = nextTimer_++;
    timers_[id] = Timer{nowMs() + interval.count(), interval.count(), repeat, std::move(tick)};
    return id;
}

void EventLoop::stopTimer(TimerId id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

void EventLoop::runOnce(std::int64_t maxWaitMs) {
    std::deque<Task> ready;
    std::vector<TimerId> due;
    {
        std::unique_lock lock(mutex_);
        std::int64_t wait = std::max<std::int64_t>(0, maxWaitMs);
        const std::int64_t now = nowMs();
        for (const auto& [id, t] : timers_)
            wait = std::min(wait, std::max<std::int64_t>(0, t.due - now));
        if (tasks_.empty() && !woken_ && wait > 0)
            cv_.wait_for(lock, std::chrono::milliseconds(wait),
                         [this] { return !tasks_.empty() || woken_; });
        woken_ = false;
        ready.swap(tasks_);
        const std::int64_t after = nowMs();
        for (const auto& [id, t] : timers_)
            if (t.due <= after) due.push_back(id);
    }
    for (auto& task : ready)
        task();
    for (TimerId id : due) {
        Task tick;
        {
            std::lock_guard lock(mutex_);
            auto it = timers_.find(id);
            if (it == timers_.end()) continue;  // stopped by an earlier callback
            tick = it->second.tick;
            if (it->second.repeat)
                it->second.due = nowMs() + it->second.interval;
            else
                timers_.erase(it);
        }
        tick();
    }
}

}  // namespace cedar
