// REXX macros in the Regina interpreter: one task thread per macro, running
// the program text held in memory with the CEDAR environment, the external
// functions and the exits (SAY and trace lines to the debug window, terminal
// reads answered empty). The session thread never waits on a task: a task
// posts what it needs from the session and waits for the answer.
//
// Stop halts a task at its next clause (a signal carries the halt request to
// the task's thread) and wakes it at once when it waits in one of our
// functions. Pause holds a task at its next call into this host (a function,
// a command, SAY or trace output): the interpreter offers no hook between
// clauses, so a loop of pure computation runs on until it calls us.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "host/scheduler.h"
#include "rexx/execio.h"
#include "rexx/rexx_errors.h"
#include "rexx/rexx_functions.h"
#include "rexx/rexx_tasks.h"
#include "rexx/task_table.h"

namespace cedar {

class ReginaHost : public RexxTasks {
  public:
    using Callbacks = RexxTaskCallbacks;

    // `documentsFolder`: where EXECIO finds relative file names.
    ReginaHost(Scheduler& scheduler, RexxErrorTexts errors, RexxFunctionLibrary& functions,
               Callbacks callbacks, std::string documentsFolder);
    // Stops every task and waits for its thread.
    ~ReginaHost() override;
    ReginaHost(const ReginaHost&) = delete;
    ReginaHost& operator=(const ReginaHost&) = delete;

    // The factory the program's wiring hands to the session.
    static RexxTaskFactory factory(RexxErrorTexts errors, std::string documentsFolder);

    // Session thread. Ends the running tasks and starts the program in a
    // task of its own; false when all ten slots are taken.
    bool start(const std::string& macroName, std::string source) override;
    // Stop and Break: every task ends at its next clause; a task waiting in
    // one of our functions wakes at once.
    void stopAll() override;
    // Pause holds every task at its next call into this host until resumed.
    void setPaused(bool paused) override;
    bool paused() const override;
    // Session thread, at every keyboard restore: wakes the waiting tasks.
    void keyboardRestored() override;
    bool running() const override;
    char statusCharacter() const override;

    // Task threads (the interpreter's callbacks).
    struct Task;
    void postDebugLine(std::string line);
    void reportError(RexxError error);
    // Holds the task while paused; false when it is to end (its program is
    // then asked to halt).
    bool gate(const Task& task);
    // Carries out `work` on the session thread and waits for it; nothing
    // when the task is stopped meanwhile.
    std::optional<RexxCallResult> onSession(const Task& task, std::function<RexxCallResult()> work);
    RexxCallResult callFunction(const Task& task, std::string_view name, const RexxArguments& args);
    // A command to the CEDAR environment: its return code, and whether it
    // failed (an unknown command) rather than ended in error.
    struct CommandEnd {
        int rc = 0;
        bool failure = false;
    };
    CommandEnd command(const Task& task, std::string_view text);

  private:
    void runTask(int slot, std::string macroName, std::string source);
    void post(std::function<void(ReginaHost&)> action);
    void haltEnding();
    RexxCallResult shortWait(const Task& task, const RexxArguments& args);
    // "1" when the condition was met, "0" when the time ran out (1008 is
    // written and the program goes on).
    RexxCallResult wait(const Task& task, const RexxArguments& args);
    // "0" when the keyboard is (or becomes) unlocked; fails with 1008.
    RexxCallResult waitUnlocked(const Task& task, const RexxArguments& args);
    int execio(const Task& task, const ExecioCommand& command);
    // EXECUTE name: 0 when the macro played (or was handed to a task of its
    // own), 1 when it could not be played.
    int execute(const Task& task, const std::string& name);
    // Asks `going` on the session thread every 20 ms until it says no
    // (true) or the task is stopped (false; its program is asked to halt).
    bool waitWhile(const Task& task, std::function<bool()> going);
    std::string pathOf(const std::string& file) const;

    Scheduler& scheduler_;
    RexxErrorTexts errors_;
    RexxFunctionLibrary& functions_;
    Callbacks callbacks_;
    std::string documentsFolder_;
    std::shared_ptr<ReginaHost*> self_;  // posted work checks it: the host may be gone
    mutable std::mutex mutex_;
    std::condition_variable changed_;  // pause, stop, wake-ups, a thread finished
    RexxTaskTable table_;
    std::array<std::thread, RexxTaskTable::kSlots> threads_;
    // The task's thread has its interpreter set up: a halt signal may go to it.
    std::array<std::atomic<bool>, RexxTaskTable::kSlots> haltReady_{};
    std::optional<Scheduler::TimerId> haltTimer_;
    // Session thread: tasks started whose last posted lines are not yet in.
    int liveTasks_ = 0;
};

}  // namespace cedar
