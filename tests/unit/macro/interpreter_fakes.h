// A session for the interpreter tests: macro files in memory, a manual wait
// timer, posted bursts run on request, and every report kept.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "macro/interpreter.h"

namespace cedar::test {

class FakeMacroEnvironment : public MacroEnvironment {
  public:
    MemoryMacroFiles files;
    std::optional<std::chrono::milliseconds> timer;  // running
    int timerStarts = 0;
    bool unlocked = false;
    int posts = 0;
    bool breakNow = false;
    int breaks = 0;
    std::vector<MacroErrorReport> errors;
    std::vector<std::string> notFound;
    std::vector<std::string> rexx;
    std::vector<std::string> remoteRuns;  // "ID:NAME"
    std::string openSessions;             // ids RUN(name, id) may reach
    std::vector<int> ended;               // exit codes
    int starting = 0;

    const MacroFileSource& macroFiles() override { return files; }
    void startWaitTimer(std::chrono::milliseconds interval) override {
        timer = interval;
        ++timerStarts;
    }
    void stopWaitTimer() override { timer.reset(); }
    bool keyboardUnlocked() override { return unlocked; }
    void postBurst() override { ++posts; }
    bool breakRequested() override { return breakNow; }
    void reportBreak() override { ++breaks; }
    void reportError(const MacroErrorReport& report) override { errors.push_back(report); }
    void reportFileNotFound(const std::string& name) override { notFound.push_back(name); }
    bool startRexx(const std::string& name) override {
        rexx.push_back(name);
        return true;
    }
    MacroError runInSession(char id, const std::string& name) override {
        if (openSessions.find(id) == std::string::npos) return MacroError::RunSessionNotOpen;
        remoteRuns.push_back(std::string(1, id) + ":" + name);
        return MacroError::None;
    }
    void macroStarting() override { ++starting; }
    void macroEnded(int code) override { ended.push_back(code); }

    int lastError() const { return errors.empty() ? -1 : errors.back().number; }

    // Runs posted bursts until none is outstanding (bounded).
    void drain(MacroInterpreter& interpreter) {
        for (int i = 0; i < 100 && posts > 0; ++i) {
            posts = 0;
            interpreter.runPosted();
        }
    }
    // The wait timer runs out.
    void expire(MacroInterpreter& interpreter) {
        timer.reset();
        interpreter.waitTimerExpired();
    }
};

}  // namespace cedar::test
