#include "headless_macros.h"

#include <algorithm>
#include <cctype>
#include <csignal>

namespace cedar::headless {

namespace {

volatile std::sig_atomic_t breakSignal = 0;

extern "C" void onInterrupt(int) {
    breakSignal = 1;
}

}  // namespace

void HeadlessMacros::armBreak() {
    breakSignal = 0;
    std::signal(SIGINT, onInterrupt);
}

void HeadlessMacros::disarmBreak() {
    std::signal(SIGINT, SIG_DFL);
    breakSignal = 0;
}

bool HeadlessMacros::breakPending() const {
    return breakSignal != 0;
}

void HeadlessMacros::stopByBreak() {
    breakSignal = 0;
    runner_.interpreter().stop();
    if (rexx_) rexx_->stopAll();
    macroMessage("Macro Stopped", "Macro stopped by Break key");
}

bool HeadlessMacros::breakRequested() {
    if (breakSignal == 0) return false;
    breakSignal = 0;
    return true;
}

HeadlessMacros::HeadlessMacros(Session& session, Scheduler& scheduler, const MacroFileSource& files)
    : session_(session),
      scheduler_(scheduler),
      macroSource_(files),
      runner_(session, scheduler, files, noFunctions_, *this) {
    runner_.interpreter().setDebugWindow(this);
}

void HeadlessMacros::attachFunctions(HeadlessFunctionParts parts) {
    files_ =
        std::make_unique<MacroFiles>(parts.fileSystem ? *parts.fileSystem : noFiles_, clipboard_);
    MacroFunctionServices services = std::move(parts.services);
    services.dialogs = &dialogs_;
    services.debugWindow = this;
    functions_ = std::make_unique<SessionMacroHost>(
        session_, parts.variables, parts.settings, parts.keyList, std::move(parts.performKey),
        *files_, runner_.interpreter(), std::move(services));
    runner_.setMacroFiles(files_.get());
    runner_.setFunctionHost(*functions_);
}

namespace {

// The buttons of a message box's set, the first being the one taken without an answer.
std::vector<MacroButton> buttonsOf(MacroButtons set) {
    using B = MacroButton;
    switch (set) {
        case MacroButtons::Ok:
            return {B::Ok};
        case MacroButtons::OkCancel:
            return {B::Ok, B::Cancel};
        case MacroButtons::AbortRetryIgnore:
            return {B::Abort, B::Retry, B::Ignore};
        case MacroButtons::YesNoCancel:
            return {B::Yes, B::No, B::Cancel};
        case MacroButtons::YesNo:
            return {B::Yes, B::No};
        case MacroButtons::RetryCancel:
            return {B::Retry, B::Cancel};
    }
    return {B::Ok};
}

std::optional<MacroButton> buttonNamed(std::string answer) {
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::pair<const char*, MacroButton> kNames[] = {
        {"ok", MacroButton::Ok},         {"cancel", MacroButton::Cancel},
        {"abort", MacroButton::Abort},   {"retry", MacroButton::Retry},
        {"ignore", MacroButton::Ignore}, {"yes", MacroButton::Yes},
        {"no", MacroButton::No}};
    for (const auto& [name, button] : kNames)
        if (answer == name) return button;
    if (answer.size() == 1 && answer[0] >= '1' && answer[0] <= '7')
        return static_cast<MacroButton>(answer[0] - '0');
    return std::nullopt;
}

}  // namespace

int HeadlessDialogs::messageBox(const std::string& text, const std::string& title, int style) {
    lines_.push_back("message box " + title + ": " + text);
    const std::vector<MacroButton> buttons = buttonsOf(macroButtonsOf(style));
    MacroButton pressed = buttons.front();
    if (auto answer = answers_.nextAnswer()) {
        const auto named = buttonNamed(*answer);
        // An answer naming a button the box does not have takes the first one.
        if (named && std::find(buttons.begin(), buttons.end(), *named) != buttons.end())
            pressed = *named;
    }
    return static_cast<int>(pressed);
}

std::optional<std::string> HeadlessDialogs::editBox(const MacroEditBoxRequest& request) {
    lines_.push_back("edit box " + request.title + ": " + request.prompt);
    auto answer = answers_.nextAnswer();
    if (answer && answer->size() > static_cast<std::size_t>(request.maxLength))
        answer->resize(static_cast<std::size_t>(request.maxLength));
    return answer;
}

bool HeadlessMacros::startRexx(const std::string& fileName) {
    rexxStarted_ = false;
    if (!rexxFactory_ || !functions_) return false;
    auto source = macroSource_.readMacroFile(macroFolderFor(fileName, 'A'), fileName);
    if (!source) return false;
    if (!rexx_) {
        rexxFunctions_ = std::make_unique<RexxFunctionLibrary>(*functions_);
        RexxTaskCallbacks callbacks;
        callbacks.debugLine = [this](const std::string& line) { debugLine(line); };
        // Posted after a task's last lines: the macro has ended once it runs.
        callbacks.statusChanged = [this] { rexxRunning_ = rexx_ && rexx_->running(); };
        callbacks.keyboardUnlocked = [this] { return session_.status == SessionStatus::Unlocked; };
        callbacks.clipboardText = [this] { return clipboard_.text(); };
        callbacks.setClipboard = [this](const std::string& text) { clipboard_.setText(text); };
        callbacks.runMacro = [this](const std::string& name) {
            return playsNatively(runner_.interpreter().runMacro(name));
        };
        callbacks.macroPlaying = [this] {
            return runner_.interpreter().loaded() || runner_.interpreter().queuedStarts() > 0;
        };
        callbacks.transferPending = [this] { return functions_ && functions_->transferPending(); };
        callbacks.transferAbandoned = [this] {
            if (functions_) functions_->transferAbandoned();
        };
        rexx_ = rexxFactory_(scheduler_, *rexxFunctions_, std::move(callbacks));
    }
    rexxStarted_ = rexx_->start(fileName, std::move(*source));
    rexxRunning_ = rexx_->running();
    return rexxStarted_;
}

void HeadlessMacros::keyboardRestored() {
    ++restores_;
    if (rexx_) rexx_->keyboardRestored();
}

bool HeadlessMacros::start(const std::string& file, const std::string& statements,
                           std::string& error) {
    using R = MacroInterpreter::StartResult;
    MacroInterpreter& interpreter = runner_.interpreter();
    rexxStarted_ = false;
    const R result =
        file.empty() ? interpreter.runMacroText(statements) : interpreter.runMacro(file);
    switch (result) {
        case R::Started:
        case R::Queued:
            return true;
        case R::Rexx:
            if (rexxStarted_) return true;
            error = "REXX macros cannot be played here";
            return false;
        case R::NotFound:
            error = notFound_.empty() ? "macro file not found" : notFound_;
            lines_.clear();
            return false;
        case R::Refused:
            error = "a macro is already playing";
            return false;
    }
    return false;
}

void HeadlessMacros::macroError(const MacroErrorReport& report) {
    error_ = std::to_string(report.number) + " " + report.text;
    if (!report.fileName.empty()) {
        lines_.push_back("macro error in " + report.fileName + " at line " +
                         std::to_string(report.line) + ", column " + std::to_string(report.column));
    }
    if (report.error == MacroError::FileOpenError)
        lines_.push_back(macroOpenErrorLine(report.systemError));
}

void HeadlessMacros::macroMessage(const std::string& title, const std::string& text) {
    if (title == "Macro Stopped") {
        error_ = text;
        return;
    }
    notFound_ = text;
    lines_.push_back("message " + title + ": " + text);
}

void HeadlessMacros::debugLine(std::string_view text) {
    lines_.push_back("debug " + std::string(text));
}

}  // namespace cedar::headless
