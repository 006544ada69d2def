// What the macro functions reach outside the session: the user's dialogs,
// sounds, program starts, the other sessions and the key functions of later
// parts (find, host list, debugging screen, file print). The window, the
// headless driver and tests provide them; the defaults do nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "transfer/transfer_macro.h"

namespace cedar {

// The message-box style numbers macros use: an icon (0, 16 stop,
// 32 question, 48 exclamation, 64 information) plus a button set.
enum class MacroButtons : int {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};
// The id of the button a message box returns.
enum class MacroButton : int {
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

inline constexpr int kMacroIconStop = 16;
inline constexpr int kMacroIconQuestion = 32;
inline constexpr int kMacroIconExclamation = 48;
inline constexpr int kMacroIconInformation = 64;

constexpr MacroButtons macroButtonsOf(int style) {
    const int b = style & 0x0F;
    return b <= 5 ? static_cast<MacroButtons>(b) : MacroButtons::Ok;
}
constexpr int macroIconOf(int style) {
    return style & 0xF0;
}

struct MacroEditBoxRequest {
    std::string prompt;
    std::string title = "Cedar TN3270 EditBox";
    int maxLength = 50;
    int fieldWidth = 150;   // pixels
    int dialogWidth = 0;    // 0: the dialog's own width; else widened to this
    char passwordChar = 0;  // 0: the input is shown
};

class MacroDialogs {
  public:
    virtual ~MacroDialogs() = default;
    // Shows a message box and returns the id of the button pressed (a
    // MacroButton value, 1 ... 7).
    virtual int messageBox(const std::string& /*text*/, const std::string& /*title*/,
                           int /*style*/) {
        return static_cast<int>(MacroButton::Ok);
    }
    // The text entered, or nothing when the user cancelled.
    virtual std::optional<std::string> editBox(const MacroEditBoxRequest& /*request*/) {
        return std::string();
    }
};

class MacroSound {
  public:
    virtual ~MacroSound() = default;
    virtual void beep(int /*frequencyHz*/, int /*milliseconds*/) {}
    // A wave file, played without waiting.
    virtual void playFile(const std::string& /*path*/) {}
};

class MacroPrograms {
  public:
    virtual ~MacroPrograms() = default;
    // Starts a program from a command line (never through a shell); false
    // when it could not be started.
    virtual bool start(const std::string& /*commandLine*/) { return false; }
    // Opens a document or starts a program as the desktop does; above 32 on
    // success, 32 or less on failure.
    virtual int shellExecute(const std::string& /*operation*/, const std::string& /*file*/,
                             const std::string& /*parameters*/) {
        return 2;
    }
};

class MacroSessions {
  public:
    virtual ~MacroSessions() = default;
    // Brings the session with this id letter (A ... Z) to the front; false
    // when no such session runs.
    virtual bool bringToFront(char /*id*/) { return false; }
};

// The key functions whose macro forms take an argument.
class MacroKeyServices {
  public:
    virtual ~MacroKeyServices() = default;
    // Searches the screen for the text with the find options.
    virtual void find(const std::string& /*text*/, int /*options*/) {}
    virtual void clearFindMarks() {}
    // Loads the host-list entry of that name into the session (nothing when absent).
    virtual void loadHostEntry(const std::string& /*name*/) {}
    virtual void saveDebugScreen(const std::string& /*file*/) {}
    virtual void printFile(const std::string& /*file*/) {}
};

// The transfers macros start (SENDFILE, RECEIVEFILE) and the host list the
// listing macros fill (XFERADDSTG). The window runs the transfer dialog
// unattended. Nothing here waits: the macro asks transferPending() again
// at each keyboard restore and when it is told that the transfer ended.
class MacroTransfers {
  public:
    virtual ~MacroTransfers() = default;
    // Starts the transfer (at once, or a moment later when the window shows
    // its dialog first); false when it cannot start (this program cannot
    // transfer files, or another transfer runs).
    virtual bool startTransfer(const MacroTransferRequest& /*request*/) { return false; }
    // The transfer startTransfer began has not ended yet.
    virtual bool transferPending() const { return false; }
    // The macro that waited for it was stopped.
    virtual void abandonTransfer() {}
    // Adds a line to the host list of the dialog that started the macro.
    virtual void addHostListEntry(const std::string& /*entry*/) {}
};

// Splits a command line into arguments: blanks separate them, double quotes
// group blanks into one, and a quote inside a quoted part is written "".
std::vector<std::string> splitCommandLine(const std::string& commandLine);

}  // namespace cedar
