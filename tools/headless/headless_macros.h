// Macros in cedar_headless: the player with the function library and
// its answers ("ok" / "error: N TEXT"), debug-window lines,
// and the scripted answers message and edit boxes take.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "macro/macro_control.h"
#include "macro/macro_files.h"
#include "macro/macro_source.h"
#include "rexx/rexx_tasks.h"
#include "session/macro_functions.h"
#include "session/macro_runner.h"
#include "session/macro_services.h"

namespace cedar::headless {

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

// The clipboard of cedar_headless: a text held by the process, so that macros
// that copy through the CLIPBOARD file work here too.
class HeadlessClipboard : public MacroClipboard {
  public:
    std::optional<std::string> text() override { return text_; }
    void setText(std::string_view text) override { text_ = std::string(text); }

  private:
    std::optional<std::string> text_;
};

// Message and edit boxes answered from the scripted answers. Each box is
// reported as a line ("message box TITLE: TEXT", "edit box TITLE: PROMPT").
// A message box takes an answer that names a button (OK, Cancel, Abort,
// Retry, Ignore, Yes, No, any case) or its number 1 to 7; without one it
// takes the first button of its set. An edit box takes the answer's text;
// without one it is cancelled.
class HeadlessDialogs : public MacroDialogs {
  public:
    HeadlessDialogs(ScriptedAnswers& answers, std::vector<std::string>& lines)
        : answers_(answers), lines_(lines) {}
    int messageBox(const std::string& text, const std::string& title, int style) override;
    std::optional<std::string> editBox(const MacroEditBoxRequest& request) override;

  private:
    ScriptedAnswers& answers_;
    std::vector<std::string>& lines_;
};

// What the built-in functions need from cedar_headless.
struct HeadlessFunctionParts {
    const Settings& settings;
    const keys::KeyList& keyList;
    SessionMacroHost::KeyPerformer performKey;
    SystemVariables* variables = nullptr;
    MacroFileSystem* fileSystem = nullptr;  // nullptr: no file can be opened
    MacroFunctionServices services;         // programs, cedar.ini access, the AppData folder
};

class HeadlessMacros : public MacroRunnerUi, public MacroDebugWindow {
  public:
    HeadlessMacros(Session& session, Scheduler& scheduler, const MacroFileSource& files);

    SessionMacroRunner& runner() { return runner_; }
    ScriptedAnswers& answers() { return answers_; }
    // The built-in functions besides the interpreter's own.
    void setFunctionHost(MacroHost& host) { runner_.setFunctionHost(host); }
    // Builds the session's function library (files, screen, keys, boxes,
    // programs, [UserVariables]) and plays macros with it.
    void attachFunctions(HeadlessFunctionParts parts);

    // REXX macros run as tasks made by this factory (none: they cannot be
    // played). Call after attachFunctions().
    void attachRexx(RexxTaskFactory factory) { rexxFactory_ = std::move(factory); }

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
    // No macro is loaded or waiting to start, and no REXX task runs (its
    // last lines are in).
    bool finished() {
        return !runner_.interpreter().loaded() && runner_.interpreter().queuedStarts() == 0 &&
               !rexxRunning_;
    }
    // The lines written meanwhile ("debug TEXT", messages) and the error ("" = none); cleared.
    std::vector<std::string> takeLines() { return std::exchange(lines_, {}); }
    std::string takeError() { return std::exchange(error_, {}); }
    // How many times the host has restored the keyboard so far.
    std::uint64_t restores() const { return restores_; }
    // A line of the answer from elsewhere (what an option change reports).
    void note(std::string line) { lines_.push_back(std::move(line)); }

  private:
    // MacroRunnerUi.
    void macroError(const MacroErrorReport& report) override;
    void macroMessage(const std::string& title, const std::string& text) override;
    bool breakRequested() override;
    bool startRexx(const std::string& fileName) override;
    void keyboardRestored() override;
    // MacroDebugWindow.
    void debugLine(std::string_view text) override;

    // Opens no file: every OPEN of a disk file fails.
    class NoFiles : public MacroFileSystem {
      public:
        std::unique_ptr<MacroFileStream> open(std::string_view, MacroFileMode) override {
            return nullptr;
        }
    };

    Session& session_;
    Scheduler& scheduler_;
    const MacroFileSource& macroSource_;
    // The runner's function host until attachFunctions() builds the library.
    NullMacroHost noFunctions_;
    ScriptedAnswers answers_;
    SessionMacroRunner runner_;
    std::vector<std::string> lines_;
    HeadlessDialogs dialogs_{answers_, lines_};
    HeadlessClipboard clipboard_;
    NoFiles noFiles_;
    std::unique_ptr<MacroFiles> files_;
    std::unique_ptr<SessionMacroHost> functions_;
    std::string error_;
    std::string notFound_;  // the last message
    RexxTaskFactory rexxFactory_;
    std::unique_ptr<RexxFunctionLibrary> rexxFunctions_;
    std::unique_ptr<RexxTasks> rexx_;
    bool rexxStarted_ = false;  // the last start was a REXX macro that started
    std::uint64_t restores_ = 0;
    bool rexxRunning_ = false;  // a task runs: set at its start, cleared once its lines are in
};

}  // namespace cedar::headless
