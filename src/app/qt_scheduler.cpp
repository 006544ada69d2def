#include "qt_scheduler.h"

#include <QMetaObject>
#include <QTimer>

namespace cedar::app {

QtScheduler::QtScheduler() : context_(std::make_unique<QObject>()) {
    clock_.start();
}

QtScheduler::~QtScheduler() {
    for (auto& [id, timer] : timers_)
        delete timer;
}

std::int64_t QtScheduler::nowMs() const {
    return clock_.elapsed();
}

void QtScheduler::post(Task task) {
    // Safe from any thread: the call is queued to the context's thread.
    QMetaObject::invokeMethod(
        context_.get(), [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Scheduler::TimerId QtScheduler::startTimer(std::chrono::milliseconds interval, Task tick,
                                           bool repeat) {
    const TimerId id = next_++;
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeat);
    timer->setInterval(static_cast<int>(interval.count()));
    QObject::connect(timer, &QTimer::timeout, context_.get(), [this, id, repeat, tick] {
        // A one-shot timer is over before its task runs, so the task may
        // start a new timer or stop others freely.
        if (!repeat) stopTimer(id);
        tick();
    });
    timers_.emplace(id, timer);
    timer->start();
    return id;
}

void QtScheduler::stopTimer(TimerId id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return;
    QTimer* timer = it->second;
    timers_.erase(it);
    timer->stop();
    // The timer may be the one whose signal is being delivered.
    timer->deleteLater();
}

}  // namespace cedar::app
