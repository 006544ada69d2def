// The session's macro player in the program: the interpreter's runner, the
// macro file handles over the AppData folder and the clipboard, and the
// function library with its dialogs, program starts and other sessions.
// Macro errors and messages are shown as message boxes; DEBUG lines, the
// statement trace and REXX output go to the session's debug window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/debug_window.h"
#include "keyboard/key_input.h"
#include "keyboard/key_list.h"
#include "macro/macro_control.h"
#include "macro/macro_files.h"
#include "platform/common_area_posix.h"
#include "platform/macro_file_access.h"
#include "platform/program_start.h"
#include "platform/regina_host.h"
#include "session/folders.h"
#include "session/help_viewer.h"
#include "session/macro_functions.h"
#include "session/macro_runner.h"
#include "session/macro_services.h"
#include "session/session.h"
#include "session/session_keyboard.h"
#include "session/system_variables.h"
#include "sessionfile/settings.h"

class QWidget;

namespace cedar::app {

// The clipboard of the desktop, as CLIPBOARD files read and write it.
class QtMacroClipboard : public MacroClipboard {
  public:
    std::optional<std::string> text() override;
    void setText(std::string_view text) override;
};

// The help viewer until there is one: it opens nothing and tells the user so.
class UnavailableHelpViewer : public HelpViewer {
  public:
    explicit UnavailableHelpViewer(QWidget* window) : window_(window) {}
    bool openTopic(const std::string& topic) override;

  private:
    QWidget* window_;
};

class AppMacros : public MacroRunnerUi,
                  public MacroDialogs,
                  public MacroSessions,
                  public MacroDebugWindow,
                  public keys::KeyInputMacros {
  public:
    struct Parts {
        Session& session;
        Scheduler& scheduler;
        const Folders& folders;
        const Settings& settings;
        const keys::KeyList& keyList;
        SessionKeyboard& keyboard;
        SystemVariables* variables;
        platform::SharedSessionIdentity* identity;  // nullptr: no other sessions
        QWidget* window;                            // the parent of the boxes
        char sessionId;
        // Where the debug window's position and size are kept.
        sessionfile::SessionOptions* options = nullptr;
        // cedar.ini now, and an edit of it under the shared lock.
        std::function<std::optional<std::string>()> readSettings;
        std::function<bool(const std::function<std::string(const std::string&)>&)> editSettings;
        // The record GETOPTION and SETOPTION work on, and what follows a change.
        sessionfile::SessionOptions* sessionOptions = nullptr;
        sessionfile::OptionEffects* optionEffects = nullptr;
        // SENDFILE and RECEIVEFILE (nullptr: they fail with error 55).
        MacroTransfers* transfers = nullptr;
    };

    explicit AppMacros(const Parts& parts);
    AppMacros(const AppMacros&) = delete;
    AppMacros& operator=(const AppMacros&) = delete;

    SessionMacroRunner& runner() { return *runner_; }

    // MacroRunnerUi.
    void macroError(const MacroErrorReport& report) override;
    void macroMessage(const std::string& title, const std::string& text) override;
    MacroError runInSession(char id, const std::string& name) override;
    void macroStarting() override {
        if (onMacroStarting_) onMacroStarting_();
    }
    bool startRexx(const std::string& fileName) override;
    void keyboardRestored() override;
    // MacroDialogs.
    int messageBox(const std::string& text, const std::string& title, int style) override;
    std::optional<std::string> editBox(const MacroEditBoxRequest& request) override;
    // MacroSessions.
    bool bringToFront(char id) override;
    // MacroDebugWindow.
    void debugLine(std::string_view text) override { debug_.debugLine(text); }
    void open() override { debug_.open(); }
    void close() override { debug_.close(); }
    void clear() override { debug_.clear(); }
    void hide() override { debug_.hide(); }
    SessionDebugWindow& debugWindow() { return debug_; }
    // KeyInputMacros: Break stops the macro, the wheel's macros play. Their
    // Key statements go to the dispatcher as trusted as every macro's do.
    bool available() const override { return true; }
    // The player's own state (a recording is no macro playing here); a
    // running REXX task counts as a playing macro (Break stops it).
    std::uint8_t state() const override {
        if (rexx_->running()) return rexx_->paused() ? std::uint8_t{3} : std::uint8_t{2};
        return static_cast<std::uint8_t>(runner_->interpreter().state());
    }
    // The pause key: pauses or resumes the playing macro and the REXX tasks.
    void togglePause() {
        if (rexx_->running()) rexx_->setPaused(!rexx_->paused());
        runner_->interpreter().togglePause();
    }
    std::string currentName() const override { return runner_->currentName(); }
    void stop() override {
        runner_->interpreter().stop();
        rexx_->stopAll();
    }
    // Where the Help button of a macro error opens its topic.
    void setHelpViewer(HelpViewer& help) { help_ = &help; }
    int lastErrorNumber() const { return lastErrorNumber_; }
    // Called when a macro is started by name or as text (a recording under
    // way is discarded then).
    void setMacroStarting(std::function<void()> hook) { onMacroStarting_ = std::move(hook); }
    bool runText(const std::string& statements, bool /*trustedKeys*/) override {
        runner_->runText(statements);
        return true;
    }

    // "locked.ext": present at start; played for a key pressed while the
    // keyboard is locked, which it handles by ending with a non-zero code.
    bool lockedExitPresent() const override {
        return runner_->exitMacroPresent(SessionMacroRunner::ExitMacro::Locked);
    }
    bool runLockedExit() override {
        return runner_->runExitMacro(SessionMacroRunner::ExitMacro::Locked);
    }

  private:
    // The runner's function host until the library (which needs the
    // interpreter) exists.
    NullMacroHost noFunctions_;

    QWidget* window_;
    char sessionId_;
    platform::SharedSessionIdentity* identity_;
    platform::MacroFolderSource source_;
    platform::MacroFolderFiles fileSystem_;
    QtMacroClipboard clipboard_;
    MacroFiles files_;
    platform::SpawnedPrograms programs_;
    std::unique_ptr<SessionMacroRunner> runner_;
    std::unique_ptr<SessionMacroHost> host_;
    std::function<void()> onMacroStarting_;
    std::string helpFile_;
    UnavailableHelpViewer unavailableHelp_{window_};
    HelpViewer* help_ = &unavailableHelp_;
    int lastErrorNumber_ = 0;  // for the Help button
    SessionDebugWindow debug_;
    std::unique_ptr<RexxFunctionLibrary> rexxFunctions_;
    std::unique_ptr<ReginaHost> rexx_;  // REXX macros: last, so its tasks end first
};

}  // namespace cedar::app
