// The functions the interpreter carries out itself: the waits, RUN,
// CONTROL, DEFINED and DROP, and the wait for the end of a transfer that
// SENDFILE or RECEIVEFILE started. Every other word goes to the function
// host.
#include <algorithm>
#include <cctype>

#include "macro/interpreter.h"

namespace cedar {

namespace {

// RUN nesting deeper than this is refused (a macro that runs itself would
// otherwise load copies of itself until memory runs out).
constexpr std::size_t kMaxNesting = 64;

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return out;
}

std::int64_t nonNegative(std::int32_t n) {
    return n < 0 ? 0 : n;
}

}  // namespace

MacroError MacroInterpreter::callFunction(ReservedWord word, std::span<const MacroValue> args,
                                          MacroValue& result) {
    switch (word) {
        case ReservedWord::Wait:
            return wait(nonNegative(args[0].number) * 1000, args.size() > 1,
                        args.size() > 1 && args[1].isTrue());
        case ReservedWord::ShortWait:
            return wait(nonNegative(args[0].number) * 10, false, false);
        case ReservedWord::WaitUnlocked:
            return wait(nonNegative(args[0].number) * 1000, true, env_.keyboardUnlocked());
        case ReservedWord::Run:
        case ReservedWord::Execute:
            return run(args);
        case ReservedWord::Control:
            traceFlags_ = args[0].number;
            result = MacroValue::ofNumber(0);
            return MacroError::None;
        case ReservedWord::Defined:
            result = MacroValue::ofNumber(variables_.find(upper(args[0].text.view())) ? 1 : 0);
            return MacroError::None;
        case ReservedWord::Drop:
            variables_.reset();
            return MacroError::None;
        case ReservedWord::SendFile:
        case ReservedWord::ReceiveFile:
            return transfer(word, args, result);
        default:
            return functions_->callFunction(word, args, result);
    }
}

MacroValue MacroInterpreter::readSystemVariable(SystemVariable id) {
    if (id == SystemVariable::MacroName) return MacroValue::ofText(currentName_);
    return functions_->readSystemVariable(id);
}

void MacroInterpreter::moveCursor(std::optional<int> row, std::optional<int> column) {
    functions_->moveCursor(row, column);
}

MacroError MacroInterpreter::wait(std::int64_t milliseconds, bool hasCondition, bool condition) {
    if (hasCondition && condition) {
        stopTimer();  // the macro goes on
        return MacroError::None;
    }
    const bool restart = !hasCondition || !waitTimerRunning_;
    setState(hasCondition ? MacroState::WaitingForCondition : MacroState::TimedWait);
    if (restart) {
        waitTimerRunning_ = true;
        env_.startWaitTimer(std::chrono::milliseconds(milliseconds));
    }
    return MacroError::None;
}

MacroError MacroInterpreter::transfer(ReservedWord word, std::span<const MacroValue> args,
                                      MacroValue& result) {
    // The statement is executed again at each wake while the transfer runs,
    // as a conditional WAIT is; it starts the transfer only the first time.
    if (!transferStarted_) {
        const MacroError error = functions_->callFunction(word, args, result);
        if (error != MacroError::None) return error;
        transferStarted_ = true;
    }
    if (functions_->transferPending()) {
        stopTimer();
        setState(MacroState::WaitingForCondition);
        return MacroError::None;
    }
    transferStarted_ = false;
    return MacroError::None;
}

MacroError MacroInterpreter::run(std::span<const MacroValue> args) {
    const std::string name = macroNameWithoutExtension(args[0].text.view());
    if (name.size() > kMaxRunName) return MacroError::NameTooLong;
    if (args.size() > 1) {
        const std::string_view id = args[1].text.view();
        const char c =
            id.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(id[0])));
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return MacroError::InvalidSessionId;
        return env_.runInSession(c, name);
    }
    MacroContext* caller = chain_.current();
    if (!caller) return MacroError::None;
    const std::string fileName = macroFileName(name);
    const auto content =
        env_.macroFiles().readMacroFile(macroFolderFor(fileName, options_.sessionId), fileName);
    if (!content) {
        env_.reportFileNotFound(fileName);
        return MacroError::None;  // the caller goes on
    }
    if (isRexxMacro(std::string_view(*content).substr(0, 200))) {
        env_.startRexx(fileName);
        return MacroError::None;
    }
    if (chain_.size() >= kMaxNesting) return MacroError::ScanAreaOverflow;
    const MacroLoadResult loaded = loadMacro(chain_, env_.macroFiles(), name, options_);
    if (loaded.status == MacroLoadStatus::NotFound) {
        env_.reportFileNotFound(loaded.fileName);
        return MacroError::None;
    }
    // The caller goes on after its RUN when the nested macro ends.
    advanceStatement(*caller);
    currentName_ = name;
    if (loaded.status == MacroLoadStatus::Failed) return loaded.error;
    return MacroError::NestedMacroLoaded;
}

}  // namespace cedar
