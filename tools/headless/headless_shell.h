// The line protocol of cedar_headless: one command per line in, an answer
// ending with a line "ok" or "error: TEXT" out. The session runs on the
// thread that calls execute(); waits run the event loop meanwhile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/event_loop.h"
#include "keyboard/key_list.h"
#include "keyboard/keyboard_services.h"
#include "session/connection_plan.h"
#include "session/host_link.h"
#include "session/session.h"
#include "session/session_keyboard.h"
#include "session/settings.h"

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
    int connectTimeoutSeconds = 30;
    bool trace = false;  // --trace: trace from the start

    // What the session connects with, once resolved.
    ConnectionOptions connection;
    TelnetConfig telnet;
    int modelIndex = 0;
};

// Parses the command line; on failure `error` says why.
bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// Works out what to connect with: the session file's and the host list's
// choices (through `plan`), then the command line's overrides.
void applyOverrides(Options& options, const ConnectionPlan& plan);
extern const char* const kUsage;

class Shell : private LinkUi, private keys::DeferredKeyFunctions {
  public:
    // `keyList` names the key functions of the "key" command.
    Shell(const Options& options, Session& session, Connector& connector, EventLoop& loop,
          const keys::KeyList& keyList, const Settings& settings = {});
    ~Shell() override;

    // Runs one command; returns the answer (every line ends with '\n') and
    // sets `quit` when the program should end.
    std::string execute(const std::string& line, bool& quit);
    // The trace the "trace" command starts, stops and dumps into (nullptr: none).
    void setTrace(Trace* trace, std::string location);

  private:
    void showError(const std::string& title, const std::string& text) override;
    void connected(const ConnectionInfo& info) override;
    void hostClosed() override;
    // DeferredKeyFunctions: MoveCursor and MoveCursorEnter find the cursor
    // already where the "key" command's row and column put it; the
    // clipboard, selection, find, other operator functions and macro keys
    // have no part here and are reported as not carried out.
    void edit(keys::Edit code, bool selectionExisted) override;
    void oper(std::uint8_t code) override;
    void macroKey(std::uint8_t index, std::uint8_t selector) override;

    std::string connect();
    std::string waitUnlock(const std::vector<std::string>& words);
    std::string screen();
    std::string status();
    std::string traceCommand(const std::vector<std::string>& words);
    std::string cursor(const std::vector<std::string>& words);
    std::string key(const std::vector<std::string>& words);
    std::string type(const std::string& line);
    std::optional<int> screenPosition(const std::string& row, const std::string& column,
                                      std::string& error);

    Options options_;
    Session& session_;
    EventLoop& loop_;
    const keys::KeyList& keyList_;
    HostLink link_;
    SessionKeyboard keyboard_;
    Scheduler::TimerId tick_ = 0;
    Trace* trace_ = nullptr;
    std::string traceLocation_;
    bool up_ = false;
    bool notCarriedOut_ = false;  // the last key function has no part here
    std::vector<std::string> errors_;
};

}  // namespace cedar::headless
