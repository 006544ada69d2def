// The line protocol of cedar_headless: one command per line in, an answer
// ending with a line "ok" or "error: TEXT" out. The session runs on the
// thread that calls execute() and on the session driver: waits run the
// event loop meanwhile, and with it the driver's timers (the connect
// time-out, keep-alives, the automatic reconnect after a host close).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headless_macros.h"
#include "headless_options.h"
#include "headless_transfer.h"
#include "keyboard/key_list.h"
#include "keyboard/keyboard_services.h"
#include "platform/event_loop.h"
#include "session/connection_plan.h"
#include "session/host_link_control.h"
#include "session/link_facts.h"
#include "session/macro_recorder.h"
#include "session/session.h"
#include "session/session_driver.h"
#include "session/session_keyboard.h"
#include "session/system_variables.h"
#include "sessionfile/settings.h"
#include "transfer/transfer_request.h"

namespace cedar::headless {

struct Options {
    // As given on the command line.
    std::string host;          // HOST[:PORT], [IPv6]:PORT, or a host list name
    std::string sessionFile;   // --session
    std::string settingsFile;  // --settings: cedar.ini to read the host list and settings from
    std::optional<std::uint16_t> port;
    std::optional<bool> tn3270e;
    std::optional<std::string> luName;
    std::optional<int> model;
    std::optional<Encryption> tls;
    std::optional<std::string> caFile, clientCertFile, clientKeyFile;
    std::optional<bool> validate, nameCheck;
    std::string country;
    std::string countryFile;
    // Over the session's CONNECTIONTIMEOUT and AUTORECONNECT; never saved.
    std::optional<int> connectTimeoutSeconds;
    std::optional<bool> reconnect;
    bool trace = false;  // --trace: trace from the start
    // --trust-certificates: a host certificate that fails verification is
    // trusted for its host and port (as the user's "Trust this certificate").
    bool trustCertificates = false;
    // --answer TEXT: the answers message and edit boxes of macros take, in order.
    std::vector<std::string> answers;
};

// Parses the command line; on failure `error` says why.
bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// The command line's choices over a plan worked out from the session record
// and the host list.
ConnectionPlan applyOverrides(const Options& options, ConnectionPlan plan);
extern const char* const kUsage;

class Shell : private DriverUi,
              private keys::DeferredKeyFunctions,
              private keys::KeyboardUi,
              private MacroRecorderUi {
  public:
    struct Parts {
        Session& session;
        sessionfile::SessionFile& file;  // the record in force
        const Settings& settings;
        EventLoop& loop;
        Connector& connector;
        SessionFileStore& store;
        SettingsStore& settingsStore;
        const keys::KeyList& keyList;  // names the key functions of the "key" command
        HostLinkControl::Planner planner;
        // Where trusted host certificates are kept (nullptr: none are).
        CertificateTrustStore* trustStore = nullptr;
        // Macro files (nullptr: none can be read).
        const MacroFileSource* macroFiles = nullptr;
        // The files macros open by name (nullptr: none can be opened).
        MacroFileSystem* macroFileSystem = nullptr;
        // Program starts, cedar.ini access and the AppData folder for macros.
        MacroFunctionServices macroServices;
        // Opens the PC files of transfers (nullptr: the "transfer" command
        // answers that transfers are not available).
        TransferFileOpener* transferFiles = nullptr;
        // Writes a recorded macro (0 or errno); unset: every save fails.
        std::function<int(const std::string& fileName, std::string_view text)> saveMacro;
        // The local time written into a recording's header.
        std::function<std::string()> timestamp;
        // REXX macros (none: they cannot be played).
        RexxTaskFactory rexxTasks;
    };
    // `start`: the session file the record came from ("" when none: then
    // "connect" connects to the host the command line named).
    Shell(const Options& options, const Parts& parts, const SessionDriver::Start& start);
    ~Shell() override;

    // Runs one command; returns the answer (every line ends with '\n') and
    // sets `quit` when the program should end.
    std::string execute(const std::string& line, bool& quit);
    // The trace the "trace" command starts, stops and dumps into (nullptr: none).
    void setTrace(Trace* trace, std::string location);
    // A message to show in turn with the driver's (the session file store's).
    void notify(const DriverMessage& message) { driver_.notify(message); }

    // The session is over (quit, end of input, or the host's close with
    // CloseOnDisconnect): the program ends with exitCode().
    bool finished() const { return finished_; }
    int exitCode() const { return exitCode_; }

  private:
    // DriverUi: every message becomes the answer's "error:" line and is
    // answered Cancel; there is no SESSION dialog to ask.
    void showMessage(const DriverMessage& message) override;
    void openSessionDialog(const std::string& rememberedSessionFile) override;
    // The certificate's details go into the answer as "certificate" lines;
    // with --trust-certificates it is trusted ("trusted" line), else not.
    bool askTrustCertificate(const CertificateDetails& details) override;
    void requestClose() override;
    void quit(int code) override;
    // DeferredKeyFunctions: MoveCursor and MoveCursorEnter find the cursor
    // already where the "key" command's row and column put it; the
    // clipboard, selection, find, other operator functions and macro keys
    // have no part here and are reported as not carried out.
    void edit(keys::Edit code, bool selectionExisted) override;
    void oper(std::uint8_t code) override;
    void macroKey(std::uint8_t index, std::uint8_t selector) override;
    // KeyboardUi: typing into a protected field plays "protect.ext" when
    // the macros folder held it at start.
    bool runExitMacro(std::string_view fileName) override;
    // MacroRecorderUi: the save through Parts::saveMacro; an information
    // becomes a "message TITLE: TEXT" line, a warning the answer's error.
    int saveMacroFile(const std::string& fileName, std::string_view text) override;
    void recorderMessage(const std::string& title, const std::string& text, bool warning) override;

    // The answer: `out`, then "ok", or "error: ..." for the first message
    // the session showed (the others listed before it as "message" lines),
    // else for `error`.
    std::string answer(std::string out, const std::string& error = {});
    // A connection is open, or a host close is waiting for its reconnect.
    bool connectionGoingOn() const;
    std::string connect();
    std::string disconnect();
    std::string waitUnlock(const std::vector<std::string>& words);
    std::string screen();
    std::string status();
    std::string traceCommand(const std::vector<std::string>& words);
    std::string cursor(const std::vector<std::string>& words);
    std::string key(const std::vector<std::string>& words);
    std::string type(const std::string& line);
    std::string quitCommand();
    // "transfer send|receive ...": answers "ok BYTES" when the transfer ends
    // (headless_transfer.cpp).
    std::string transfer(const std::vector<std::string>& words);
    // The host list's listing macros, as the dialogs' List and Members
    // buttons play them.
    std::string hostList(const std::vector<std::string>& words);
    // "macro FILE" and "run STATEMENTS": play, and answer when the macro ends.
    std::string macro(const std::string& file, const std::string& statements);
    // "record start FILE [rexx]", "record pause", "record stop".
    std::string record(const std::vector<std::string>& words);
    std::optional<int> screenPosition(const std::string& row, const std::string& column,
                                      std::string& error);

    Session& session_;
    EventLoop& loop_;
    const keys::KeyList& keyList_;
    bool hostFromCommandLine_;  // no session file: the command line's host is the choice
    MemoryMacroFiles noMacroFiles_;
    // SENDFILE and RECEIVEFILE (made with the keyboard; it outlives the macros).
    std::unique_ptr<HeadlessMacroTransfers> macroTransfers_;
    HeadlessMacros macros_;
    SessionIdentity identity_;
    HostLinkControl control_;
    MacroRecorder recorder_;
    std::function<int(const std::string&, std::string_view)> saveMacro_;
    std::function<std::string()> timestamp_;
    int recordWait_ = 20;
    SessionKeyboard keyboard_;
    LinkFacts facts_;
    SystemVariables variables_;
    TransferFileOpener* transferFiles_ = nullptr;
    // The setting "UploadConvertLFtoCRLF", for text uploads.
    bool uploadLfToCrLf_ = false;
    HeadlessOptionEffects options_;
    Trace* trace_ = nullptr;
    std::string traceLocation_;
    bool notCarriedOut_ = false;  // the last key function has no part here
    std::vector<std::string> messages_;
    std::vector<std::string> notes_;  // lines before the answer's last line
    bool trustCertificates_ = false;
    bool finished_ = false;
    int exitCode_ = 0;
    SessionDriver driver_;  // last: it goes first
};

}  // namespace cedar::headless
