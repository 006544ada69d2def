// The running REXX macros as the session sees them: start, stop, pause, the
// keyboard restores their waits hear, the status character. The interpreter
// binding in platform/ implements it; every call is on the session thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/scheduler.h"
#include "rexx/rexx_functions.h"

namespace cedar {

// What the tasks reach on the session thread besides the functions.
struct RexxTaskCallbacks {
    std::function<void(const std::string&)> debugLine;  // a line for the debug window
    std::function<void()> statusChanged;  // a task started or ended: the status character
    std::function<bool()> keyboardUnlocked;
    std::function<std::optional<std::string>()> clipboardText;
    std::function<void(const std::string&)> setClipboard;
    // The command "EXECUTE name" (a recorded macro key): plays the macro as
    // RUN does; true when a native macro was started, which the task then
    // waits for. A REXX macro starts in a task of its own and ends this one.
    std::function<bool(const std::string&)> runMacro;
    // A native macro is loaded or waiting to start.
    std::function<bool()> macroPlaying;
    // The transfer sendfile or receivefile started has not ended yet, and
    // the task that waited for it was stopped.
    std::function<bool()> transferPending;
    std::function<void()> transferAbandoned;
};

class RexxTasks {
  public:
    virtual ~RexxTasks() = default;
    // Ends the running tasks and starts the program in a task of its own;
    // false when all ten slots are taken.
    virtual bool start(const std::string& macroName, std::string source) = 0;
    // Stop and Break: every task ends at its next clause.
    virtual void stopAll() = 0;
    virtual void setPaused(bool paused) = 0;
    virtual bool paused() const = 0;
    // At every keyboard restore: wakes the tasks waiting for the host.
    virtual void keyboardRestored() = 0;
    virtual bool running() const = 0;
    virtual char statusCharacter() const = 0;
};

// Makes the tasks of a program over its function library.
using RexxTaskFactory = std::function<std::unique_ptr<RexxTasks>(
    Scheduler& scheduler, RexxFunctionLibrary& functions, RexxTaskCallbacks callbacks)>;

}  // namespace cedar
