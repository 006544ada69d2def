// The macro interpreter: runs the loaded chain of macros in bursts on the
// session thread. A burst executes statements until the macro ends, waits,
// pauses or fails; between bursts the state lives in the chain and here.
//
// The interpreter carries out the functions that act on its own state
// (WAIT, SHORTWAIT, WAITUNLOCKED, RUN, CONTROL, DEFINED, DROP) and passes
// every other function to the outside function host. SENDFILE and
// RECEIVEFILE go there too, and the macro then waits, as for a condition,
// until the host says the transfer has ended.
//
// Re-entrancy: a function such as MESSAGEBOX may run the session's event
// loop while the burst that called it is still on the stack. A start or
// stop request arriving then never touches the chain: a start is queued and
// carried out after the burst has returned (through the environment's
// postBurst), a stop is carried out when the statement returns.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "macro/evaluator.h"
#include "macro/macro_control.h"
#include "macro/macro_host.h"
#include "macro/macro_source.h"
#include "macro/variables.h"

namespace cedar {

enum class MacroState : std::uint8_t {
    Idle = 0,
    Recording = 1,
    Running = 2,
    Paused = 3,
    WaitingForCondition = 4,
    TimedWait = 5,
};

// The status line's character for a state: blank, "R", "P" or "X".
char macroStatusChar(MacroState state);

// What a failed macro reports to the user.
struct MacroErrorReport {
    MacroError error = MacroError::None;
    int number = 0;
    std::string text;      // the table text
    std::string fileName;  // of the macro that failed
    int line = 1;
    int column = 1;
    std::string message;  // the whole message, location and statement included
    std::string title;    // "Macro Error in NAME"
    // Error 21: the system's error number of the failed open (errno), else 0.
    int systemError = 0;
};

// The session as the interpreter reaches it.
class MacroEnvironment {
  public:
    virtual ~MacroEnvironment() = default;
    virtual const MacroFileSource& macroFiles() = 0;
    // The macro wait timer (one at a time; starting it again restarts it).
    virtual void startWaitTimer(std::chrono::milliseconds interval) = 0;
    virtual void stopWaitTimer() = 0;
    // The keyboard is unlocked (WAITUNLOCKED's condition).
    virtual bool keyboardUnlocked() = 0;
    // Asks for MacroInterpreter::runPosted() to be called later, from the
    // session's event loop, never from inside this call.
    virtual void postBurst() = 0;
    // Called once per statement: true when the user asked to break the macro.
    virtual bool breakRequested() { return false; }
    // Called once per statement with the number of statements this burst
    // has executed: true lets the session's event loop run (the window
    // repaints, Break can be pressed); the burst goes on from a posted call.
    virtual bool yieldRequested(std::uint64_t /*statements*/) { return false; }
    // The macro was stopped by the Break check.
    virtual void reportBreak() {}
    virtual void reportError(const MacroErrorReport& /*report*/) {}
    // A macro file named by RUN or a start request cannot be read.
    virtual void reportFileNotFound(const std::string& /*fileName*/) {}
    // Starts a REXX macro; false when no REXX host is available (the
    // environment tells the user).
    virtual bool startRexx(const std::string& /*fileName*/) { return false; }
    // RUN(name, id): asks session `id` (A-Z, 0-9) to play `name`. Returns
    // None, or RunSessionNotOpen when no window holds that session.
    virtual MacroError runInSession(char /*id*/, const std::string& /*name*/) {
        return MacroError::RunSessionNotOpen;
    }
    // A macro is about to be started by name or as text (the macro files are closed).
    virtual void macroStarting() {}
    // The root macro ended normally with this exit code.
    virtual void macroEnded(int /*exitCode*/) {}
    // The state changed (status line).
    virtual void stateChanged(MacroState /*state*/) {}
};

class MacroInterpreter : public MacroControl, private MacroHost {
  public:
    enum class StartResult : std::uint8_t {
        Started,   // played (it may have ended, be waiting or have failed and been reported)
        Queued,    // a burst is running: it starts when that burst returns
        Rexx,      // handed to the REXX host
        NotFound,  // the file cannot be read (reported)
        Refused,   // an event macro while a macro is loaded, or the queue is full
    };
    // Start requests that wait for a running burst; more are refused.
    static constexpr std::size_t kMaxQueued = 8;
    // The longest macro name RUN accepts.
    static constexpr std::size_t kMaxRunName = 260;

    // `functions` carries out every function the interpreter does not.
    MacroInterpreter(MacroEnvironment& environment, MacroHost& functions, VariableTable& variables,
                     MacroLoadOptions options = {});
    ~MacroInterpreter() override;
    MacroInterpreter(const MacroInterpreter&) = delete;
    MacroInterpreter& operator=(const MacroInterpreter&) = delete;

    void setFunctionHost(MacroHost& functions) { functions_ = &functions; }
    void setDebugWindow(MacroDebugWindow* window) { debugWindow_ = window; }

    MacroState state() const { return state_; }
    const std::string& currentName() const { return currentName_; }
    int exitCode() const { return exitCode_; }
    int traceFlags() const { return traceFlags_; }
    bool loaded() const { return !chain_.empty(); }
    // A burst is on the stack (a function of the macro is running).
    bool busy() const { return depth_ > 0; }
    std::size_t queuedStarts() const { return queue_.size(); }
    // The context now playing (tests).
    const MacroContext* currentContext() { return chain_.current(); }

    // runMacro: plays a macro file by name (a REXX macro goes to the REXX host).
    StartResult runMacro(const std::string& name);
    // runMacroText: plays statements given as text.
    StartResult runMacroText(const std::string& statements);
    // Event and exit macros: started only when no macro is loaded or queued
    // and the file exists.
    StartResult runEventMacro(const std::string& name);

    // Ends the whole chain (at the end of the running statement when a burst is on the stack).
    void stop();
    // The pause key: pauses a playing macro, resumes a paused one.
    void togglePause();
    // The host restored the keyboard: a condition wait is evaluated again.
    void keyboardRestored();
    // The wait timer ran out.
    void waitTimerExpired();
    // The transfer a SENDFILE or RECEIVEFILE started has ended: the macro
    // goes on.
    void transferEnded() { keyboardRestored(); }
    // The environment's posted call: starts queued requests and wanted bursts.
    void runPosted();

    // MacroControl.
    bool trusted() const override { return true; }
    void setPendingAdvance() override { pendingAdvance_ = true; }
    void stopChain() override { stop(); }

  private:
    struct Request {
        bool text = false;
        std::string value;
    };
    // Runs statements while the state is Running and a context exists.
    void burst();
    void wantBurst();
    MacroError executeStatement(MacroContext& context);
    MacroError executeKeyword(MacroContext& context, ReservedWord word, Scanner& scanner);
    MacroError executeFor(MacroContext& context, Scanner& scanner, int entry);
    MacroError executeNext(MacroContext& context, Scanner& scanner, int entry);
    MacroError executeSelect(MacroContext& context, Scanner& scanner, int entry);
    void endCurrentMacro(MacroContext& context);
    void traceStatement(const MacroContext& context);
    void reportAndStop(MacroError error);
    void clearChain();
    void setState(MacroState state);
    void stopTimer();
    StartResult start(const Request& request);
    StartResult enqueue(Request request);

    // MacroHost: the interpreter's own functions, the rest forwarded.
    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override;
    MacroValue readSystemVariable(SystemVariable id) override;
    void moveCursor(std::optional<int> row, std::optional<int> column) override;
    MacroError wait(std::int64_t milliseconds, bool hasCondition, bool condition);
    MacroError run(std::span<const MacroValue> args);
    MacroError transfer(ReservedWord word, std::span<const MacroValue> args, MacroValue& result);

    MacroEnvironment& env_;
    MacroHost* functions_;
    VariableTable& variables_;
    MacroLoadOptions options_;
    ExpressionEvaluator evaluator_;
    MacroChain chain_;
    std::deque<Request> queue_;
    MacroDebugWindow* debugWindow_ = nullptr;

    MacroState state_ = MacroState::Idle;
    MacroState pausedState_ = MacroState::Idle;
    std::string currentName_;
    int exitCode_ = 0;
    int traceFlags_ = 0;
    int depth_ = 0;                  // bursts on the stack
    bool waitTimerRunning_ = false;  // the wait-timer mark
    bool transferStarted_ = false;   // the statement's transfer has started
    bool pendingAdvance_ = false;
    bool burstWanted_ = false;  // a wake-up waits for runPosted()
    bool posted_ = false;       // a postBurst() is outstanding
    bool stopRequested_ = false;
    bool lastWasCall_ = false;
};

// A start that the native interpreter plays (now or after the running burst).
inline bool playsNatively(MacroInterpreter::StartResult result) {
    return result == MacroInterpreter::StartResult::Started ||
           result == MacroInterpreter::StartResult::Queued;
}

}  // namespace cedar
