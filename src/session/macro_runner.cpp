#include "session/macro_runner.h"

#include "session/session_driver.h"

namespace cedar {

std::string macroOpenErrorLine(int systemError) {
    return "Windows errno (from fopen) = " + std::to_string(systemError);
}

std::string macroErrorHelpTopic(const std::string& helpFile, int number) {
    return helpFile + "::/messages_macro_errors.htm#" + std::to_string(number);
}

std::uint8_t SessionMacroRunner::state() const {
    const MacroState state = interpreter_.state();
    if (state == MacroState::Idle && recorder_ != nullptr && recorder_->active())
        return static_cast<std::uint8_t>(recorder_->recording() ? MacroState::Recording
                                                                : MacroState::Paused);
    return static_cast<std::uint8_t>(state);
}

void SessionMacroRunner::reportError(const MacroErrorReport& report) {
    MacroErrorReport full = report;
    if (report.error == MacroError::FileOpenError) {
        full.systemError = macroFiles_ != nullptr ? macroFiles_->lastOpenError() : 0;
        full.message += "\r\n" + macroOpenErrorLine(full.systemError);
    }
    if (macroFiles_ != nullptr) macroFiles_->closeAll();
    ui_.macroError(full);
}

namespace {

constexpr std::array<const char*, 4> kExitMacroNames = {"protect.ext", "locked.ext", "unlocked.ext",
                                                        "tpxswap.ext"};

}  // namespace

SessionMacroRunner::SessionMacroRunner(Session& session, Scheduler& scheduler,
                                       const MacroFileSource& files, MacroHost& functions,
                                       MacroRunnerUi& ui, char sessionId)
    : session_(session),
      scheduler_(scheduler),
      files_(files),
      ui_(ui),
      interpreter_(*this, functions, variables_, MacroLoadOptions{sessionId, {}}) {
    RecordHooks hooks = session.records.hooks();
    if (hooks.events) previous_ = hooks.events;
    hooks.events = this;
    session.records.setHooks(hooks);
    for (std::size_t i = 0; i < kExitMacroNames.size(); ++i)
        exitPresent_[i] = files.readMacroFile(MacroFolder::Macros, kExitMacroNames[i]).has_value();
}

SessionMacroRunner::~SessionMacroRunner() {
    *alive_ = false;
    RecordHooks hooks = session_.records.hooks();
    if (hooks.events != this) return;
    hooks.events = previous_ == &noEvents_ ? nullptr : previous_;
    session_.records.setHooks(hooks);
}

bool SessionMacroRunner::runFile(const std::string& name) {
    using R = MacroInterpreter::StartResult;
    const R result = interpreter_.runMacro(name);
    return result == R::Started || result == R::Queued || result == R::Rexx;
}

void SessionMacroRunner::runText(const std::string& text) {
    interpreter_.runMacroText(text);
}

void SessionMacroRunner::runStartupMacro() {
    if (!startupMacro_) return;
    const std::string name = startupMacro_();
    if (name.empty() || name == "(none)") return;
    runFile(name);
}

void SessionMacroRunner::startWaitTimer(std::chrono::milliseconds interval) {
    if (driver_) driver_->startMacroWait(interval);
}

void SessionMacroRunner::stopWaitTimer() {
    if (driver_) driver_->stopMacroWait();
}

void SessionMacroRunner::postBurst() {
    std::weak_ptr<bool> alive = alive_;
    scheduler_.post([this, alive] {
        const auto token = alive.lock();
        if (token && *token) interpreter_.runPosted();
    });
}

bool SessionMacroRunner::yieldRequested(std::uint64_t statements) {
    if (statements == 1) {
        burstStartMs_ = scheduler_.nowMs();
        return false;
    }
    // The clock is read every 256 statements: a tight loop stays fast.
    if (statements % 256 != 0) return false;
    return scheduler_.nowMs() - burstStartMs_ >= kBurstSliceMs;
}

void SessionMacroRunner::reportFileNotFound(const std::string& fileName) {
    ui_.macroMessage("Cedar TN3270 - file not found", "File \"" + fileName + "\" was not found.");
}

void SessionMacroRunner::keyboardRestored() {
    previous_->keyboardRestored();
    interpreter_.keyboardRestored();
    ui_.keyboardRestored();
    if (exitMacroPresent(ExitMacro::Unlocked) && !interpreter_.loaded())
        postExitMacro(ExitMacro::Unlocked);
}

bool SessionMacroRunner::runExitMacro(ExitMacro which) {
    if (!exitMacroPresent(which)) return false;
    using R = MacroInterpreter::StartResult;
    const R result = interpreter_.runEventMacro(kExitMacroNames[static_cast<std::size_t>(which)]);
    if (result != R::Started) return false;
    if (which == ExitMacro::Protect) return true;
    // A macro still playing (it waits) has not decided about the key.
    return !interpreter_.loaded() && interpreter_.exitCode() != 0;
}

void SessionMacroRunner::sessionManagerDetected(const std::string& name) {
    previous_->sessionManagerDetected(name);
    if (!exitMacroPresent(ExitMacro::SessionManager)) return;
    postExitMacro(ExitMacro::SessionManager);
}

void SessionMacroRunner::postExitMacro(ExitMacro which) {
    // Started after the record that caused it has been handled, never from
    // inside the record processor.
    std::weak_ptr<bool> alive = alive_;
    scheduler_.post([this, alive, which] {
        const auto token = alive.lock();
        if (token && *token)
            interpreter_.runEventMacro(kExitMacroNames[static_cast<std::size_t>(which)]);
    });
}

}  // namespace cedar
