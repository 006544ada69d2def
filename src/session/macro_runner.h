// The session's macro player: the interpreter wired to the session driver's
// macro wait timer, to the keyboard restores of the record processor and to
// the scheduler for the bursts it posts. The built-in functions other than
// the interpreter's own come from the function host given to it.
//
// It installs itself as the record processor's session events (passing
// every event on to the events installed before it). The session, the
// scheduler, the files, the function host and the user interface must
// outlive it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "host/scheduler.h"
#include "macro/interpreter.h"
#include "macro/macro_files.h"
#include "screen/record_hooks.h"
#include "session/driver_interfaces.h"
#include "session/macro_recorder.h"
#include "session/session.h"

namespace cedar {

class SessionDriver;

// The line error 21 adds to its report: "Windows errno (from fopen) = %d"
// with the system's error number (errno here).
std::string macroOpenErrorLine(int systemError);
// The help topic of a macro error's Help button: "%s::/messages_macro_errors.htm#%d".
std::string macroErrorHelpTopic(const std::string& helpFile, int number);

// How the player tells the user about macros.
class MacroRunnerUi {
  public:
    virtual ~MacroRunnerUi() = default;
    virtual void macroError(const MacroErrorReport& /*report*/) {}
    // An information message ("Macro Stopped" / "Macro stopped by Break key", a file not found).
    virtual void macroMessage(const std::string& /*title*/, const std::string& /*text*/) {}
    // The macro ended normally.
    virtual void macroEnded(int /*exitCode*/) {}
    // True when the user pressed Break (checked once per statement).
    virtual bool breakRequested() { return false; }
    // A REXX macro: false when it cannot be started here.
    virtual bool startRexx(const std::string& /*fileName*/) { return false; }
    // Every keyboard restore, after the built-in macro's own wake-up: REXX
    // tasks waiting for the host.
    virtual void keyboardRestored() {}
    // RUN(name, id) to another session.
    virtual MacroError runInSession(char /*id*/, const std::string& /*name*/) {
        return MacroError::RunSessionNotOpen;
    }
    // A macro is started by name or as text: the macro files are closed.
    virtual void macroStarting() {}
};

class SessionMacroRunner : public MacroRunner, private MacroEnvironment, private SessionEvents {
  public:
    SessionMacroRunner(Session& session, Scheduler& scheduler, const MacroFileSource& files,
                       MacroHost& functions, MacroRunnerUi& ui, char sessionId = 'A');
    ~SessionMacroRunner() override;
    SessionMacroRunner(const SessionMacroRunner&) = delete;
    SessionMacroRunner& operator=(const SessionMacroRunner&) = delete;

    // How long a burst runs before it lets the session's event loop run.
    static constexpr std::int64_t kBurstSliceMs = 50;

    // The driver whose macro wait timer the waits use (nullptr: none yet).
    void setDriver(SessionDriver* driver) { driver_ = driver; }
    void setFunctionHost(MacroHost& functions) { interpreter_.setFunctionHost(functions); }
    // The macro file handles: all are closed when a macro is started by name
    // or as text and when a macro error is reported (nullptr: none).
    void setMacroFiles(MacroFiles* files) { macroFiles_ = files; }
    // Where runStartupMacro() finds the session's STARTUPMACRO ("" or "(none)": none).
    void setStartupMacro(std::function<std::string()> name) { startupMacro_ = std::move(name); }

    MacroInterpreter& interpreter() { return interpreter_; }

    // The exit macros the session plays on its own events. Only those found
    // in the macros folder when the runner was made are played, and only
    // while no macro is loaded.
    enum class ExitMacro : std::uint8_t { Protect, Locked, Unlocked, SessionManager };
    bool exitMacroPresent(ExitMacro which) const {
        return exitPresent_[static_cast<std::size_t>(which)];
    }
    // Plays "protect.ext" or "locked.ext" at once (the key waits for it).
    // True when it ran and ended within its first burst with a non-zero
    // exit code, or (protect.ext) when it ran at all: the caller then
    // checks the field again.
    bool runExitMacro(ExitMacro which);
    VariableTable& variables() { return variables_; }

    // MacroRunner.
    // A recording under way shows as state 1 (3 while paused) when no macro plays.
    std::uint8_t state() const override;
    // The recorder whose state the status line shows (nullptr: none).
    void setRecorder(const MacroRecorder* recorder) { recorder_ = recorder; }
    std::string currentName() const override { return interpreter_.currentName(); }
    bool runFile(const std::string& name) override;
    void runText(const std::string& text) override;
    void runStartupMacro() override;
    void clearWaitMark() override {}
    void reportWaitTimeout() override { interpreter_.waitTimerExpired(); }
    void resume() override { interpreter_.waitTimerExpired(); }

  private:
    // MacroEnvironment.
    const MacroFileSource& macroFiles() override { return files_; }
    void startWaitTimer(std::chrono::milliseconds interval) override;
    void stopWaitTimer() override;
    bool keyboardUnlocked() override { return session_.status == SessionStatus::Unlocked; }
    void postBurst() override;
    bool breakRequested() override { return ui_.breakRequested(); }
    // A burst that has run for a slice lets the event loop run.
    bool yieldRequested(std::uint64_t statements) override;
    void reportBreak() override { ui_.macroMessage("Macro Stopped", "Macro stopped by Break key"); }
    // Error 21 gains the line with the failed open's errno; the files close.
    void reportError(const MacroErrorReport& report) override;
    void reportFileNotFound(const std::string& fileName) override;
    bool startRexx(const std::string& fileName) override { return ui_.startRexx(fileName); }
    MacroError runInSession(char id, const std::string& name) override {
        return ui_.runInSession(id, name);
    }
    void macroStarting() override {
        if (macroFiles_ != nullptr) macroFiles_->closeAll();
        ui_.macroStarting();
    }
    void macroEnded(int exitCode) override { ui_.macroEnded(exitCode); }

    // SessionEvents: the earlier events first, then the waiting macro's wake-up.
    void soundAlarm() override { previous_->soundAlarm(); }
    void keyboardRestored() override;
    void replayTypeAhead() override { previous_->replayTypeAhead(); }
    void refreshDisplay() override { previous_->refreshDisplay(); }
    void sessionManagerDetected(const std::string& name) override;
    void postExitMacro(ExitMacro which);
    void returnToLiveScreen() override { previous_->returnToLiveScreen(); }
    void showWindowOnUpdate() override { previous_->showWindowOnUpdate(); }
    void measureResponseTime(bool aidOutstanding) override {
        previous_->measureResponseTime(aidOutstanding);
    }

    Session& session_;
    Scheduler& scheduler_;
    const MacroFileSource& files_;
    MacroRunnerUi& ui_;
    SessionDriver* driver_ = nullptr;
    std::array<bool, 4> exitPresent_{};
    std::int64_t burstStartMs_ = 0;
    MacroFiles* macroFiles_ = nullptr;
    const MacroRecorder* recorder_ = nullptr;
    std::function<std::string()> startupMacro_;
    VariableTable variables_;
    MacroInterpreter interpreter_;
    SessionEvents noEvents_;
    SessionEvents* previous_ = &noEvents_;
    // Posted bursts check it: none runs after the runner is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace cedar
