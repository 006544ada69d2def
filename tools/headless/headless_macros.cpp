#include "headless_macros.h"

#include <csignal>
#include <fstream>
#include <sstream>

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
    macroMessage("Macro Stopped", "Macro stopped by Break key");
}

bool HeadlessMacros::breakRequested() {
    if (breakSignal == 0) return false;
    breakSignal = 0;
    return true;
}

std::optional<std::string> FolderMacroFiles::readMacroFile(MacroFolder folder,
                                                           const std::string& fileName) const {
    const std::string path =
        fileName.find('/') != std::string::npos
            ? fileName
            : (folder == MacroFolder::RemoteMacros ? remote_ : macros_) + "/" + fileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

HeadlessMacros::HeadlessMacros(Session& session, Scheduler& scheduler, const MacroFileSource& files)
    : runner_(session, scheduler, files, *this, *this) {
    runner_.interpreter().setDebugWindow(this);
}

bool HeadlessMacros::start(const std::string& file, const std::string& statements,
                           std::string& error) {
    using R = MacroInterpreter::StartResult;
    MacroInterpreter& interpreter = runner_.interpreter();
    const R result =
        file.empty() ? interpreter.runMacroText(statements) : interpreter.runMacro(file);
    switch (result) {
        case R::Started:
        case R::Queued:
            return true;
        case R::Rexx:
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
