// Macros in cedar_headless: macro files from the Macros folder or a path,
// the player with its answers ("ok" / "error: N TEXT"), debug-window lines,
// and the scripted answers message and edit boxes take.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "macro/macro_control.h"
#include "macro/macro_source.h"
#include "session/macro_runner.h"

namespace cedar::headless {

// Macro files by name in the macros folder (or the remote-macro folder), or
// by path when the name holds a "/".
class FolderMacroFiles : public MacroFileSource {
  public:
    FolderMacroFiles(std::string macros, std::string remote)
        : macros_(std::move(macros)), remote_(std::move(remote)) {}
    std::optional<std::string> readMacroFile(MacroFolder folder,
                                             const std::string& fileName) const override;

  private:
    std::string macros_;
    std::string remote_;
};

// The answers given with --answer, handed out in order to the boxes a macro opens.
class ScriptedAnswers {
  public:
    void add(std::string answer) { answers_.push_back(std::move(answer)); }
    // The next answer, or nothing (the box is cancelled).
    std::optional<std::string> nextAnswer() {
        if (answers_.empty()) return std::nullopt;
        std::string a = std::move(answers_.front());
        answers_.pop_front();
        return a;
    }

  private:
    std::deque<std::string> answers_;
};

class HeadlessMacros : public MacroRunnerUi, public MacroDebugWindow, private MacroHost {
  public:
    HeadlessMacros(Session& session, Scheduler& scheduler, const MacroFileSource& files);

    SessionMacroRunner& runner() { return runner_; }
    ScriptedAnswers& answers() { return answers_; }
    // The built-in functions besides the interpreter's own.
    void setFunctionHost(MacroHost& host) { runner_.setFunctionHost(host); }

    // Starts a macro; false (and `error` set) when it did not start.
    bool start(const std::string& fileOrNull, const std::string& statements, std::string& error);
    // The Break key of a terminal: SIGINT while a macro plays stops it
    // ("Macro stopped by Break key") instead of ending the program.
    void armBreak();
    void disarmBreak();
    bool breakPending() const;
    // A Break while the macro waits: the chain ends with the Break message.
    void stopByBreak();

    // No macro is loaded or waiting to start.
    bool finished() {
        return !runner_.interpreter().loaded() && runner_.interpreter().queuedStarts() == 0;
    }
    // The lines written meanwhile ("debug TEXT", messages) and the error ("" = none); cleared.
    std::vector<std::string> takeLines() { return std::exchange(lines_, {}); }
    std::string takeError() { return std::exchange(error_, {}); }

  private:
    // MacroRunnerUi.
    void macroError(const MacroErrorReport& report) override;
    void macroMessage(const std::string& title, const std::string& text) override;
    bool breakRequested() override;
    // MacroDebugWindow.
    void debugLine(std::string_view text) override;
    // MacroHost: no built-in function library here.
    MacroError callFunction(ReservedWord, std::span<const MacroValue>, MacroValue&) override {
        return MacroError::UnknownFunction;
    }
    MacroValue readSystemVariable(SystemVariable) override { return {}; }
    void moveCursor(std::optional<int>, std::optional<int>) override {}

    ScriptedAnswers answers_;
    SessionMacroRunner runner_;
    std::vector<std::string> lines_;
    std::string error_;
    std::string notFound_;  // the last message
};

}  // namespace cedar::headless
