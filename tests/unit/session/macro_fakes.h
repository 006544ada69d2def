// Fakes for the macro functions' outside services: scripted dialogs that
// record what they were asked, sounds, program starts, sessions, the key
// functions with arguments, the debug window and the interpreter's control.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "macro/macro_control.h"
#include "session/macro_services.h"

namespace cedar::test {

class ScriptedMacroDialogs : public MacroDialogs {
  public:
    struct Shown {
        std::string text, title;
        int style;
    };
    // Answers in order; when they run out, message boxes answer OK and edit
    // boxes are cancelled.
    std::deque<int> buttons;
    std::deque<std::optional<std::string>> edits;
    std::vector<Shown> messages;
    std::vector<MacroEditBoxRequest> editRequests;

    int messageBox(const std::string& text, const std::string& title, int style) override {
        messages.push_back({text, title, style});
        if (buttons.empty()) return static_cast<int>(MacroButton::Ok);
        const int b = buttons.front();
        buttons.pop_front();
        return b;
    }
    std::optional<std::string> editBox(const MacroEditBoxRequest& request) override {
        editRequests.push_back(request);
        if (edits.empty()) return std::nullopt;
        auto e = edits.front();
        edits.pop_front();
        return e;
    }
};

class RecordingSound : public MacroSound {
  public:
    std::vector<std::pair<int, int>> beeps;
    std::vector<std::string> files;
    void beep(int hz, int ms) override { beeps.emplace_back(hz, ms); }
    void playFile(const std::string& path) override { files.push_back(path); }
};

class RecordingPrograms : public MacroPrograms {
  public:
    std::vector<std::string> started;
    std::vector<std::vector<std::string>> shell;
    int shellResult = 33;
    bool start(const std::string& commandLine) override {
        started.push_back(commandLine);
        return true;
    }
    int shellExecute(const std::string& op, const std::string& file,
                     const std::string& parameters) override {
        shell.push_back({op, file, parameters});
        return shellResult;
    }
};

class FakeSessions : public MacroSessions {
  public:
    std::string running = "A";
    std::vector<char> fronted;
    bool bringToFront(char id) override {
        if (running.find(id) == std::string::npos) return false;
        fronted.push_back(id);
        return true;
    }
};

class RecordingKeyServices : public MacroKeyServices {
  public:
    std::vector<std::string> calls;
    void find(const std::string& text, int options) override {
        calls.push_back("find " + text + " " + std::to_string(options));
    }
    void clearFindMarks() override { calls.emplace_back("clearFind"); }
    void loadHostEntry(const std::string& name) override { calls.push_back("host " + name); }
    void saveDebugScreen(const std::string& file) override { calls.push_back("debug " + file); }
    void printFile(const std::string& file) override { calls.push_back("print " + file); }
};

class RecordingDebugWindow : public MacroDebugWindow {
  public:
    std::vector<std::string> calls;
    void debugLine(std::string_view text) override { calls.push_back("line " + std::string(text)); }
    void open() override { calls.emplace_back("open"); }
    void close() override { calls.emplace_back("close"); }
    void clear() override { calls.emplace_back("clear"); }
    void hide() override { calls.emplace_back("hide"); }
};

class FakeMacroControl : public MacroControl {
  public:
    bool trust = true;
    int pendingAdvances = 0;
    int stops = 0;
    bool trusted() const override { return trust; }
    void setPendingAdvance() override { ++pendingAdvances; }
    void stopChain() override { ++stops; }
};

}  // namespace cedar::test
