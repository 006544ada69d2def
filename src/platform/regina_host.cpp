#include "platform/regina_host.h"

#include <chrono>
#include <utility>

#include "platform/regina_interpreter.h"
#include "platform/regina_signals.h"

namespace cedar {

namespace {

// How often a task asked to stop is asked again (a HALT trap may go on).
constexpr std::chrono::milliseconds kHaltRepeat{250};

}  // namespace

ReginaHost::ReginaHost(Scheduler& scheduler, RexxErrorTexts errors, RexxFunctionLibrary& functions,
                       Callbacks callbacks, std::string documentsFolder)
    : scheduler_(scheduler),
      errors_(std::move(errors)),
      functions_(functions),
      callbacks_(std::move(callbacks)),
      documentsFolder_(std::move(documentsFolder)),
      self_(std::make_shared<ReginaHost*>(this)) {
    installReginaHaltSignal();
}

ReginaHost::~ReginaHost() {
    self_.reset();
    if (haltTimer_) scheduler_.stopTimer(*haltTimer_);
    {
        std::lock_guard lock(mutex_);
        table_.endAll();
        table_.setPaused(false);
    }
    changed_.notify_all();
    // A program may trap HALT and go on: ask until its thread has left.
    for (int slot = 0; slot < RexxTaskTable::kSlots; ++slot) {
        auto& thread = threads_[static_cast<std::size_t>(slot)];
        if (!thread.joinable()) continue;
        std::unique_lock lock(mutex_);
        while (table_.slot(slot).taskId != 0) {
            if (haltReady_[static_cast<std::size_t>(slot)].load())
                sendReginaHalt(thread.native_handle());
            changed_.wait_for(lock, kHaltRepeat);
        }
        lock.unlock();
        thread.join();
    }
}

RexxTaskFactory ReginaHost::factory(RexxErrorTexts errors, std::string documentsFolder) {
    return [errors = std::move(errors), folder = std::move(documentsFolder)](
               Scheduler& scheduler, RexxFunctionLibrary& functions, RexxTaskCallbacks callbacks) {
        return std::make_unique<ReginaHost>(scheduler, errors, functions, std::move(callbacks),
                                            folder);
    };
}

void ReginaHost::post(std::function<void(ReginaHost&)> action) {
    std::weak_ptr<ReginaHost*> weak = self_;
    scheduler_.post([weak, action = std::move(action)] {
        if (auto self = weak.lock()) action(**self);
    });
}

void ReginaHost::postDebugLine(std::string line) {
    post([line = std::move(line)](ReginaHost& host) {
        if (host.callbacks_.debugLine) host.callbacks_.debugLine(line);
    });
}

void ReginaHost::reportError(RexxError error) {
    postDebugLine(errors_.message(error));
}

bool ReginaHost::start(const std::string& macroName, std::string source) {
    std::optional<int> slot;
    {
        std::lock_guard lock(mutex_);
        slot = table_.start(macroName).slot;
        table_.setPaused(false);
    }
    changed_.notify_all();
    haltEnding();
    if (!slot) return false;
    // The slot was free: a thread that ran in it earlier has left the table
    // and is only returning.
    auto& thread = threads_[static_cast<std::size_t>(*slot)];
    if (thread.joinable()) thread.join();
    ++liveTasks_;
    thread = std::thread(&ReginaHost::runTask, this, *slot, macroName, std::move(source));
    if (callbacks_.statusChanged) callbacks_.statusChanged();
    return true;
}

void ReginaHost::stopAll() {
    {
        std::lock_guard lock(mutex_);
        table_.endAll();
        table_.setPaused(false);
    }
    changed_.notify_all();
    haltEnding();
}

// Sends the halt to every task marked ending, and again from a timer while
// any is still there.
void ReginaHost::haltEnding() {
    bool any = false;
    {
        std::lock_guard lock(mutex_);
        for (int slot = 0; slot < RexxTaskTable::kSlots; ++slot) {
            const RexxTaskSlot& s = table_.slot(slot);
            if (s.taskId == 0 || !s.ending) continue;
            const auto& thread = threads_[static_cast<std::size_t>(slot)];
            if (thread.joinable() && haltReady_[static_cast<std::size_t>(slot)].load())
                sendReginaHalt(const_cast<std::thread&>(thread).native_handle());
            any = true;
        }
    }
    if (any && !haltTimer_) {
        haltTimer_ = scheduler_.startTimer(
            kHaltRepeat,
            [this] {
                haltTimer_.reset();
                haltEnding();
            },
            false);
    }
}

void ReginaHost::setPaused(bool paused) {
    {
        std::lock_guard lock(mutex_);
        table_.setPaused(paused && table_.anyRunning());
    }
    changed_.notify_all();
}

bool ReginaHost::paused() const {
    std::lock_guard lock(mutex_);
    return table_.paused();
}

bool ReginaHost::running() const {
    // A task counts until its last lines are in: the table alone would let a
    // task that ended a moment ago look finished while its SAY lines are
    // still on their way to the session thread.
    return liveTasks_ > 0;
}

char ReginaHost::statusCharacter() const {
    std::lock_guard lock(mutex_);
    return table_.statusCharacter();
}

void ReginaHost::keyboardRestored() {
    bool woken = false;
    {
        std::lock_guard lock(mutex_);
        woken = !table_.keyboardRestored().empty();
    }
    if (woken) changed_.notify_all();
}

bool ReginaHost::gate(const Task& task) {
    std::unique_lock lock(mutex_);
    for (;;) {
        switch (table_.haltAction(task.slot)) {
            case RexxHaltAction::Continue:
                return true;
            case RexxHaltAction::Halt:
                lock.unlock();
                haltOwnReginaProgram();
                return false;
            case RexxHaltAction::Pause:
                changed_.wait(lock);
                break;
        }
    }
}

std::optional<RexxCallResult> ReginaHost::onSession(const Task& task,
                                                    std::function<RexxCallResult()> work) {
    struct Answer {
        bool done = false;
        RexxCallResult result;
    };
    auto answer = std::make_shared<Answer>();
    post([answer, work = std::move(work)](ReginaHost& host) {
        RexxCallResult r = work();
        {
            std::lock_guard lock(host.mutex_);
            answer->result = std::move(r);
            answer->done = true;
        }
        host.changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return answer->done || table_.slot(task.slot).ending; });
    if (!answer->done) {
        lock.unlock();
        haltOwnReginaProgram();
        return std::nullopt;
    }
    return std::move(answer->result);
}

RexxCallResult ReginaHost::callFunction(const Task& task, std::string_view name,
                                        const RexxArguments& args) {
    if (!gate(task)) return RexxCallResult::ok("");
    const RexxFunctionShape* shape = findRexxFunction(name);
    if (shape == nullptr) return RexxCallResult::fail(RexxError::None);
    RexxCallResult result;
    if (checkRexxArgumentCount(*shape, args) != RexxError::None) {
        result = RexxCallResult::fail(RexxError::ArgumentCount);
    } else if (name == "shortwait") {
        result = shortWait(task, args);
    } else if (name == "wait") {
        result = wait(task, args);
    } else if (name == "waitunlocked") {
        result = waitUnlocked(task, args);
    } else {
        auto answer =
            onSession(task, [this, shape, args] { return functions_.call(*shape, args); });
        // Stopped meanwhile: the program halts at its next clause.
        if (!answer) return RexxCallResult::ok("");
        result = std::move(*answer);
        // A transfer the call started: the program goes on at its end.
        if (!result.failed && (name == "sendfile" || name == "receivefile") &&
            !waitWhile(task, [this] {
                return callbacks_.transferPending && callbacks_.transferPending();
            })) {
            // Stopped while it waited.
            post([](ReginaHost& host) {
                if (host.callbacks_.transferAbandoned) host.callbacks_.transferAbandoned();
            });
            return RexxCallResult::ok("");
        }
    }
    if (result.failed && result.error != RexxError::None) reportError(result.error);
    std::lock_guard lock(mutex_);
    if (result.failed || name == "getvar" || name == "putvar")
        table_.forgetResult(task.slot);
    else
        table_.noteResult(task.slot, result.value);
    return result;
}

void ReginaHost::runTask(int slot, std::string macroName, std::string source) {
    Task task{this, slot, &haltReady_[static_cast<std::size_t>(slot)]};
    const regina::ProgramEnd end = regina::runTaskProgram(task, macroName, source);
    if (end.startCode < 0 && !end.errorTraced) {
        // A program that does not parse never reaches the exits: its error
        // is reported here with the interpreter's text for it. (Run-time
        // errors and halts came through the trace output already.)
        const std::string text = regina::errorText(-end.startCode);
        postDebugLine("REXX error " + std::to_string(-end.startCode) + " in " + macroName + ": " +
                      (text.empty() ? "the program could not be parsed" : text));
    }
    if (end.startCode != 0)
        postDebugLine("Return code from REXX is " + std::to_string(end.startCode));
    {
        std::lock_guard lock(mutex_);
        table_.finish(slot);
    }
    changed_.notify_all();
    // Posted after every line of the task's: delivered in order behind them.
    post([](ReginaHost& host) {
        --host.liveTasks_;
        if (host.callbacks_.statusChanged) host.callbacks_.statusChanged();
    });
}

}  // namespace cedar
