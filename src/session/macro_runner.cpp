#include "session/macro_runner.h"

#include "session/session_driver.h"

namespace cedar {

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

void SessionMacroRunner::reportFileNotFound(const std::string& fileName) {
    ui_.macroMessage("Cedar TN3270 - file not found", "File \"" + fileName + "\" was not found.");
}

void SessionMacroRunner::keyboardRestored() {
    previous_->keyboardRestored();
    interpreter_.keyboardRestored();
}

}  // namespace cedar
