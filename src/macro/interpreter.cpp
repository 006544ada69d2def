// The interpreter's life cycle: starting and queueing macros, bursts,
// waits, pause, stop and error reports.
#include "macro/interpreter.h"

#include <utility>

namespace cedar {

namespace {

constexpr std::size_t kRexxCheckBytes = 200;
constexpr std::size_t kTraceBytes = 100;

}  // namespace

char macroStatusChar(MacroState state) {
    switch (state) {
        case MacroState::Idle:
            return ' ';
        case MacroState::Recording:
            return 'R';
        case MacroState::Paused:
            return 'X';
        case MacroState::Running:
        case MacroState::WaitingForCondition:
        case MacroState::TimedWait:
            return 'P';
    }
    return ' ';
}

MacroInterpreter::MacroInterpreter(MacroEnvironment& environment, MacroHost& functions,
                                   VariableTable& variables, MacroLoadOptions options)
    : env_(environment),
      functions_(&functions),
      variables_(variables),
      options_(options),
      evaluator_(variables, *this) {}

MacroInterpreter::~MacroInterpreter() = default;

MacroInterpreter::StartResult MacroInterpreter::runMacro(const std::string& name) {
    return start({false, name});
}

MacroInterpreter::StartResult MacroInterpreter::runMacroText(const std::string& statements) {
    return start({true, statements});
}

MacroInterpreter::StartResult MacroInterpreter::runEventMacro(const std::string& name) {
    if (busy() || loaded() || !queue_.empty()) return StartResult::Refused;
    const std::string fileName = macroFileName(name);
    if (!env_.macroFiles().readMacroFile(macroFolderFor(fileName, options_.sessionId), fileName))
        return StartResult::NotFound;
    return start({false, name});
}

MacroInterpreter::StartResult MacroInterpreter::enqueue(Request request) {
    if (queue_.size() >= kMaxQueued) return StartResult::Refused;
    queue_.push_back(std::move(request));
    return StartResult::Queued;
}

MacroInterpreter::StartResult MacroInterpreter::start(const Request& request) {
    // A burst on the stack still uses the chain: the request waits for it.
    if (busy()) return enqueue(request);
    MacroLoadResult loaded;
    if (request.text) {
        clearChain();
        traceFlags_ = 0;
        env_.macroStarting();
        loaded = loadMacroText(chain_, request.value, options_);
    } else {
        currentName_ = request.value;
        const std::string fileName = macroFileName(request.value);
        const auto content =
            env_.macroFiles().readMacroFile(macroFolderFor(fileName, options_.sessionId), fileName);
        if (!content) {
            env_.reportFileNotFound(fileName);
            return StartResult::NotFound;
        }
        if (isRexxMacro(std::string_view(*content).substr(0, kRexxCheckBytes))) {
            env_.startRexx(fileName);
            return StartResult::Rexx;
        }
        clearChain();
        traceFlags_ = 0;
        env_.macroStarting();
        loaded = loadMacro(chain_, env_.macroFiles(), request.value, options_);
    }
    if (loaded.status == MacroLoadStatus::NotFound) {
        env_.reportFileNotFound(loaded.fileName);
        return StartResult::NotFound;
    }
    if (loaded.status == MacroLoadStatus::Failed) {
        reportAndStop(loaded.error);
        return StartResult::Started;
    }
    burst();
    return StartResult::Started;
}

void MacroInterpreter::burst() {
    if (chain_.empty()) return;
    ++depth_;
    exitCode_ = 0;
    setState(MacroState::Running);
    MacroContext* context = chain_.current();
    bool yielded = false;
    std::uint64_t statements = 0;
    while (context) {
        while (!context->atEnd() && state_ == MacroState::Running) {
            if (depth_ == 1 && env_.yieldRequested(++statements)) {
                yielded = true;
                break;
            }
            if (env_.breakRequested()) {
                clearChain();
                env_.reportBreak();
                context = nullptr;
                break;
            }
            if ((traceFlags_ & 1) != 0) traceStatement(*context);
            const MacroError error = executeStatement(*context);
            if (stopRequested_) {
                clearChain();
                context = nullptr;
                break;
            }
            if (error == MacroError::NestedMacroLoaded) {
                context = chain_.current();
                continue;
            }
            if (error != MacroError::None) {
                reportAndStop(error);
                context = nullptr;
                break;
            }
        }
        if (!context || yielded || state_ != MacroState::Running) break;
        // The macro ran to its end: its caller goes on after the RUN.
        chain_.popCurrent();
        context = chain_.current();
        if (context) {
            currentName_ = context->macroName;
        } else {
            stopTimer();
            setState(MacroState::Idle);
            env_.macroEnded(exitCode_);
        }
    }
    if (yielded) burstWanted_ = true;
    --depth_;
    if (depth_ == 0 && (!queue_.empty() || burstWanted_)) wantBurst();
}

void MacroInterpreter::wantBurst() {
    burstWanted_ = true;
    if (posted_) return;
    posted_ = true;
    env_.postBurst();
}

void MacroInterpreter::runPosted() {
    posted_ = false;
    if (busy()) return;  // the burst on the stack posts again when it returns
    if (!queue_.empty()) {
        const Request request = std::move(queue_.front());
        queue_.pop_front();
        burstWanted_ = false;
        start(request);
        if (!queue_.empty()) wantBurst();
        return;
    }
    if (!std::exchange(burstWanted_, false)) return;
    if (state_ == MacroState::Running || state_ == MacroState::WaitingForCondition ||
        state_ == MacroState::TimedWait)
        burst();
}

void MacroInterpreter::stop() {
    if (busy()) {
        stopRequested_ = true;
        return;
    }
    clearChain();
}

void MacroInterpreter::togglePause() {
    switch (state_) {
        case MacroState::Recording:
        case MacroState::Running:
        case MacroState::WaitingForCondition:
        case MacroState::TimedWait:
            pausedState_ = state_;
            stopTimer();
            setState(MacroState::Paused);
            return;
        case MacroState::Paused: {
            const MacroState back = pausedState_;
            setState(back);
            if (back == MacroState::Recording || back == MacroState::Idle) return;
            if (std::exchange(pendingAdvance_, false)) {
                if (MacroContext* context = chain_.current(); context && !busy())
                    advanceStatement(*context);
            }
            // An interrupted wait is executed again, with its full time.
            if (!busy()) wantBurst();
            return;
        }
        case MacroState::Idle:
            return;
    }
}

void MacroInterpreter::keyboardRestored() {
    if (state_ == MacroState::WaitingForCondition && !busy()) wantBurst();
}

void MacroInterpreter::waitTimerExpired() {
    waitTimerRunning_ = false;
    // A burst on the stack is running: no wait is pending.
    if (busy()) return;
    if (state_ == MacroState::WaitingForCondition) {
        if (MacroContext* context = chain_.current()) context->errorPosition = 0;
        reportAndStop(MacroError::WaitTimeout);
        return;
    }
    if (state_ != MacroState::TimedWait) return;
    if (MacroContext* context = chain_.current()) advanceStatement(*context);
    setState(MacroState::Running);
    wantBurst();
}

void MacroInterpreter::traceStatement(const MacroContext& context) {
    if (!debugWindow_) return;
    const std::string_view text = context.text;
    const std::size_t start = std::min(context.statementStart, text.size());
    const std::size_t end = std::min(statementEnd(text, start), start + kTraceBytes);
    const std::string_view statement = text.substr(start, end - start);
    // An empty statement (a blank line) has nothing to show.
    if (statement.find_first_not_of(" \t") == std::string_view::npos) return;
    debugWindow_->debugLine(statement);
}

void MacroInterpreter::reportAndStop(MacroError error) {
    MacroErrorReport report;
    report.error = error;
    report.number = macroErrorNumber(error);
    report.text = std::string(macroErrorText(error));
    if (const MacroContext* context = chain_.current()) {
        const MacroErrorLocation where = locateMacroError(*context);
        report.fileName = context->fileName;
        report.line = where.line;
        report.column = where.column;
        report.message = macroErrorMessage(*context, error);
        report.title = macroErrorTitle(*context);
    }
    clearChain();
    env_.reportError(report);
}

void MacroInterpreter::clearChain() {
    chain_.clear();
    stopTimer();
    stopRequested_ = false;
    pendingAdvance_ = false;
    if (std::exchange(transferStarted_, false)) functions_->transferAbandoned();
    lastWasCall_ = false;
    setState(MacroState::Idle);
}

void MacroInterpreter::setState(MacroState state) {
    if (state == state_) return;
    state_ = state;
    env_.stateChanged(state);
}

void MacroInterpreter::stopTimer() {
    if (!waitTimerRunning_) return;
    waitTimerRunning_ = false;
    env_.stopWaitTimer();
}

}  // namespace cedar
