// The session's Scheduler on the Qt event loop of the main thread: posted
// tasks arrive as queued calls, timers are QTimers, and the clock is the
// monotonic QElapsedTimer. Other threads (the connection's) only post.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <map>
#include <memory>

#include "host/scheduler.h"

class QTimer;

namespace cedar::app {

class QtScheduler : public Scheduler {
  public:
    QtScheduler();
    ~QtScheduler() override;

    std::int64_t nowMs() const override;
    void post(Task task) override;
    TimerId startTimer(std::chrono::milliseconds interval, Task tick, bool repeat) override;
    void stopTimer(TimerId id) override;

  private:
    QElapsedTimer clock_;
    // Posted tasks are delivered to this object's thread; once it is gone
    // (the program is ending) they are dropped.
    std::unique_ptr<QObject> context_;
    std::map<TimerId, QTimer*> timers_;
    TimerId next_ = 1;
};

}  // namespace cedar::app
