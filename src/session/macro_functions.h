// The built-in functions of the macro language over the session: the text
// functions, the file handles, the screen readers, KEY and TYPE through the
// key dispatcher, the user's dialogs, sounds, program starts, other
// sessions and the [UserVariables] of cedar.ini. The interpreter calls it
// for every function word it does not carry out itself.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "keyboard/key_list.h"
#include "keyboard/keyboard_services.h"
#include "macro/macro_control.h"
#include "macro/macro_files.h"
#include "macro/macro_host.h"
#include "macro/text_functions.h"
#include "session/macro_services.h"
#include "session/session.h"
#include "session/system_variables.h"
#include "sessionfile/macro_options.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar {

struct MacroFunctionServices {
    MacroDialogs* dialogs = nullptr;
    MacroSound* sound = nullptr;
    MacroPrograms* programs = nullptr;
    MacroSessions* sessions = nullptr;
    MacroKeyServices* keyServices = nullptr;
    MacroDebugWindow* debugWindow = nullptr;
    MacroTransfers* transfers = nullptr;
    // RND's source, 0 ... 32767, and TIMEDATE's local time.
    std::function<int()> random15;
    std::function<std::tm()> localTime;
    // cedar.ini: its text now, and an edit of it under the shared lock.
    std::function<std::optional<std::string>()> readSettings;
    std::function<bool(const std::function<std::string(const std::string&)>&)> editSettings;
    // The AppData folder: the working folder of started programs, and
    // where wave files are found.
    std::string appDataFolder;
    // The session options record in force, which GETOPTION and SETOPTION
    // read and change (nullptr: there is none, and both answer error 6),
    // and what the window does after a change (nullptr: nothing).
    sessionfile::SessionOptions* sessionOptions = nullptr;
    sessionfile::OptionEffects* optionEffects = nullptr;
};

// The macro error of an option table error.
MacroError macroErrorOf(sessionfile::OptionError error);

class SessionMacroHost : public MacroHost {
  public:
    // Carries out a key word through the key dispatcher.
    using KeyPerformer = std::function<void(keys::KeyWord)>;

    // `variables` may be null (system variables then read as nothing,
    // apart from ONSCREENROW and ONSCREENCOL, which this host keeps).
    SessionMacroHost(Session& session, SystemVariables* variables, const Settings& settings,
                     const keys::KeyList& keyList, KeyPerformer performKey, MacroFiles& files,
                     MacroControl& control, MacroFunctionServices services = {});

    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override;
    MacroValue readSystemVariable(SystemVariable id) override;
    void moveCursor(std::optional<int> row, std::optional<int> column) override;
    bool transferPending() override { return services_.transfers->transferPending(); }
    void transferAbandoned() override { services_.transfers->abandonTransfer(); }

    // Where the last ONSCREEN that succeeded found its text (from 1; 0 before any).
    SessionFacts::ScreenMatch lastOnScreenMatch() const { return lastMatch_; }

    static constexpr std::string_view kMessageBoxTitle = "Cedar TN3270 MessageBox";
    static constexpr std::string_view kEditBoxCancelled = "Macro stopped by cancelling an EditBox";
    static constexpr std::string_view kEditBoxCancelledTitle = "Macro Stopped";

  private:
    // Screen readers (macro_screen_functions.cpp).
    MacroError screenFunction(ReservedWord word, std::span<const MacroValue> args,
                              MacroValue& result);
    std::string screenText(int row, int column, std::optional<int> length) const;
    bool onScreen(std::string_view text, std::optional<int> row, std::optional<int> column);
    // KEY and TYPE (macro_key_functions.cpp).
    MacroError key(std::span<const MacroValue> args);
    void type(std::string_view text);
    void moveCursorTo(const MacroValue& row, const MacroValue& column);
    // Dialogs, debug window, sounds, programs, sessions, settings
    // (macro_user_functions.cpp).
    MacroError userFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result);
    MacroError messageBox(std::span<const MacroValue> args, MacroValue& result);
    MacroError editBox(std::span<const MacroValue> args, MacroValue& result);
    MacroError debugWindow(std::string_view command);
    // SENDFILE, RECEIVEFILE and XFERADDSTG.
    MacroError transferFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result);
    void playSound(std::string_view name);
    std::string getIni(std::string_view key) const;
    // GETOPTION and SETOPTION over the option table.
    MacroError option(ReservedWord word, std::span<const MacroValue> args, MacroValue& result);
    bool putIni(std::string_view key, std::string_view value);

    Session& session_;
    SystemVariables* variables_;
    const Settings& settings_;
    const keys::KeyList& keyList_;
    KeyPerformer performKey_;
    MacroFiles& files_;
    MacroControl& control_;
    MacroFunctionServices services_;
    TextFunctionContext textContext_;
    SessionFacts::ScreenMatch lastMatch_;

    MacroDialogs defaultDialogs_;
    MacroSound defaultSound_;
    MacroPrograms defaultPrograms_;
    MacroSessions defaultSessions_;
    MacroKeyServices defaultKeyServices_;
    MacroDebugWindow defaultDebugWindow_;
    MacroTransfers defaultTransfers_;
    sessionfile::OptionEffects defaultOptionEffects_;
};

// A number argument, or a text argument read as VAL reads it; 0 when absent.
std::int32_t macroNumberOf(std::span<const MacroValue> args, std::size_t i);
// A text argument ("" when absent or a number).
std::string_view macroTextOf(std::span<const MacroValue> args, std::size_t i);

}  // namespace cedar
