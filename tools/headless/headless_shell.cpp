#include "headless_shell.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "headless_input.h"
#include "keyboard/text_input.h"
#include "screen/screen_text.h"
#include "session/common_area.h"
#include "session/session_transfer.h"

namespace cedar::headless {

const char* const kUsage =
    "usage: cedar_headless [options] HOST[:PORT] | --session FILE [HOST]\n"
    "  HOST may name an entry of the host list (cedar.ini), whose choices apply\n"
    "  --session FILE      a session file (a path, or a name in the AppData folder)\n"
    "  --settings FILE     cedar.ini to read settings and the host list from\n"
    "                      (default: the one in the AppData folder)\n"
    "  --port N            port (default 23, or the one in HOST:PORT)\n"
    "  --tn3270e / --no-tn3270e   allow TN3270E (default: allowed)\n"
    "  --lu NAME           LU (device) name to ask for\n"
    "  --model N           model 2, 3, 4 or 5 (default 2)\n"
    "  --tls N             0 none, 1 highest, 2 TLS 1.0, 3 TLS 1.1, 4 TLS 1.2\n"
    "  --ca-file FILE      trusted CA certificates (PEM)\n"
    "  --client-cert FILE  client certificate (PEM); --client-key FILE its key\n"
    "  --no-validate       accept a host certificate that does not verify\n"
    "  --no-name-check     do not require the certificate to name the host\n"
    "  --country NAME      screen country of the country file\n"
    "  --country-file FILE the country file (default: the program's country.lst)\n"
    "  --connect-timeout SECONDS  over the session's connection time-out (standard 30)\n"
    "  --reconnect / --no-reconnect  reconnect when the host closes the connection, or\n"
    "                      not, over the session's choice (standard: reconnect)\n"
    "  --trace             trace from the start (sessionA.trc in the AppData folder)\n"
    "  --trust-certificates  trust a host certificate that fails verification for its\n"
    "                      host and port from now on (certs/trusted-hosts.txt in the\n"
    "                      AppData folder), and connect again\n"
    "Commands on standard input, one per line; each answer ends with \"ok\" or\n"
    "\"error: TEXT\":\n"
    "  connect | disconnect | wait unlock SECONDS | screen | status |\n"
    "  trace start|stop|dump | quit\n"
    "  A message of the session (a connection error, a time-out, ...) ends the answer\n"
    "  of the command during which it came, or of the next, as \"error: TITLE: TEXT\".\n"
    "  key NAME            carries out a key function of the key list (Enter, PF1, Tab,\n"
    "                      EraseEOF, Reset, ...) as if its key were pressed\n"
    "  key NAME ROW COL    MoveCursor, MoveCursorEnter and the selection functions act\n"
    "                      at ROW and COL (counted from 1)\n"
    "  type TEXT           types TEXT (UTF-8, everything after the one blank that\n"
    "                      follows \"type\") at the cursor, one character key at a time\n"
    "  cursor ROW COL      moves the cursor (counted from 1) while the keyboard is unlocked\n"
    "  macro FILE          plays a macro file (a name in the Macros folder, or a path);\n"
    "                      \"ok\" when it ends, \"error: N TEXT\" for a macro error\n"
    "  run STATEMENTS      plays macro statements given on the line (\";\" separates them)\n"
    "  transfer send|receive PCFILE HOSTFILE [OPTION ...]  an IND$FILE transfer; answers\n"
    "                      \"ok BYTES\" when it ends. OPTION: TEXT|BINARY REPLACE|APPEND\n"
    "                      TSO|CMS|CICS NOASCII NOCRLF LRECL=N RECFM=F|V BLKSIZE=N\n"
    "                      SPACE=P[,S] TRACKS|CYLINDERS PARMS=TEXT TIMEOUT=SECONDS\n"
    "  hostlist tso [LEVEL] | hostlist cms [PATTERN] | hostlist members NAME [LEVEL]\n"
    "                      plays the listing macro of the transfer dialogs' List or\n"
    "                      Members button (at the TSO READY or CMS Ready prompt):\n"
    "                      \"entry NAME\" for each data set, member or file it finds\n"
    "  record start FILE [rexx]  records keys, typed text and host waits as a macro\n"
    "                      (native, or REXX with \"rexx\") into FILE (\".mac\" added;\n"
    "                      a name in the Macros folder, or a path)\n"
    "  record pause        pauses a recording, or resumes a paused one\n"
    "  record stop         saves the recording: \"message Macro Recorded: ...\"\n"
    "  --answer TEXT       (option) an answer for a macro's message or edit box, in order\n"
    "  answer TEXT         queues one more answer for a macro's message or edit box\n"
    "While the keyboard is locked, keys are queued (answer \"queued\") when the session\n"
    "types ahead, else refused; an input error answers \"error: input error ...\".\n";

namespace {

bool number(const std::string& text, long low, long high, long& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

// What follows the first `count` words of `line` and the one blank after them.
std::string restAfterWords(const std::string& line, int count) {
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string::npos) return "";
        at = line.find_first_of(" \t", at);
        if (at == std::string::npos) return "";
    }
    return line.substr(at + 1);
}

bool isInputError(SessionStatus status) {
    return status == SessionStatus::Protected || status == SessionStatus::InsertOverflow;
}

// Whether the key function just carried out ended in an input error of its
// own. A key that finds an input error in force gets past the lock check
// only when AUTOKEYBOARDUNLOCK cleared it (or when it is immediate or an
// operator function, which leave it alone).
bool endedInInputError(keys::KeyWord word, SessionStatus before, SessionStatus after) {
    if (!isInputError(after)) return false;
    if (!isInputError(before)) return true;
    const keys::Kind kind = keys::kindOf(word);
    return (kind == keys::Kind::Action || kind == keys::Kind::Edit || kind == keys::Kind::Char) &&
           !keys::isImmediate(word);
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto textOption = [&](std::optional<std::string>& out) {
            std::string v;
            if (!value(v)) return false;
            out = v;
            return true;
        };
        std::string v;
        long n = 0;
        if (a == "--port") {
            if (!value(v) || !number(v, 1, 65535, n)) {
                if (error.empty()) error = "--port takes a number from 1 to 65535";
                return false;
            }
            o.port = static_cast<std::uint16_t>(n);
        } else if (a == "--tn3270e") {
            o.tn3270e = true;
        } else if (a == "--no-tn3270e") {
            o.tn3270e = false;
        } else if (a == "--lu") {
            if (!textOption(o.luName)) return false;
            if (o.luName->size() > 17) {
                error = "--lu takes a name of at most 17 characters";
                return false;
            }
        } else if (a == "--model") {
            if (!value(v) || !number(v, 2, 5, n)) {
                if (error.empty()) error = "--model takes 2, 3, 4 or 5";
                return false;
            }
            o.model = static_cast<int>(n);
        } else if (a == "--tls") {
            if (!value(v) || !number(v, 0, 4, n)) {
                if (error.empty()) error = "--tls takes 0, 1, 2, 3 or 4";
                return false;
            }
            o.tls = static_cast<Encryption>(n);
        } else if (a == "--ca-file") {
            if (!textOption(o.caFile)) return false;
        } else if (a == "--client-cert") {
            if (!textOption(o.clientCertFile)) return false;
        } else if (a == "--client-key") {
            if (!textOption(o.clientKeyFile)) return false;
        } else if (a == "--no-validate") {
            o.validate = false;
        } else if (a == "--no-name-check") {
            o.nameCheck = false;
        } else if (a == "--trust-certificates") {
            o.trustCertificates = true;
        } else if (a == "--answer") {
            if (!value(v)) return false;
            o.answers.push_back(v);
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--session") {
            if (!value(o.sessionFile)) return false;
        } else if (a == "--settings") {
            if (!value(o.settingsFile)) return false;
        } else if (a == "--country") {
            if (!value(o.country)) return false;
        } else if (a == "--country-file") {
            if (!value(o.countryFile)) return false;
        } else if (a == "--connect-timeout") {
            if (!value(v) || !number(v, 1, 3600, n)) {
                if (error.empty()) error = "--connect-timeout takes seconds from 1 to 3600";
                return false;
            }
            o.connectTimeoutSeconds = static_cast<int>(n);
        } else if (a == "--reconnect") {
            o.reconnect = true;
        } else if (a == "--no-reconnect") {
            o.reconnect = false;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (o.host.empty()) {
            o.host = a;
        } else {
            error = "one host at a time";
            return false;
        }
    }
    if (o.host.empty() && o.sessionFile.empty()) {
        error = "no host or session file given";
        return false;
    }
    if (!o.host.empty()) {
        HostPort hp;
        if (!parseHostPort(o.host, hp, error)) return false;
        if (hp.port != 0 && !o.port) o.port = hp.port;
        o.host = hp.host;
    }
    return true;
}

ConnectionPlan applyOverrides(const Options& o, ConnectionPlan plan) {
    if (!o.host.empty() && !o.sessionFile.empty() && plan.hostName != o.host)
        plan.connection.host = o.host;  // a host on the command line wins over the file's
    if (o.port) plan.connection.port = *o.port;
    if (o.tn3270e) plan.telnet.tn3270eAllowed = *o.tn3270e;
    if (o.luName) plan.telnet.luName = *o.luName;
    if (o.model) plan.modelIndex = *o.model - 2;
    if (o.tls) plan.connection.encryption = *o.tls;
    if (o.caFile) plan.connection.caFile = *o.caFile;
    if (o.clientCertFile) plan.connection.clientCertFile = *o.clientCertFile;
    if (o.clientKeyFile) plan.connection.clientKeyFile = *o.clientKeyFile;
    if (o.validate) plan.connection.validateHostCertificate = *o.validate;
    if (o.nameCheck) plan.connection.hostNameMustMatch = *o.nameCheck;
    return plan;
}

Shell::Shell(const Options& options, const Parts& parts, const SessionDriver::Start& start)
    : session_(parts.session),
      loop_(parts.loop),
      keyList_(parts.keyList),
      hostFromCommandLine_(start.sessionFile.empty()),
      macros_(parts.session, parts.loop, parts.macroFiles ? *parts.macroFiles : noMacroFiles_),
      control_(parts.session, parts.connector, parts.loop,
               [planner = parts.planner,
                &session = parts.session](const sessionfile::SessionOptions& record) {
                   const ConnectionPlan plan = planner(record);
                   settleModel(session, plan);
                   return plan;
               }),
      recorder_(*this, parts.keyList),
      saveMacro_(parts.saveMacro),
      timestamp_(parts.timestamp),
      recordWait_(parts.settings.recordWait),
      keyboard_(parts.session, control_.link(),
                {.ui = this, .recorder = &recorder_, .deferred = this}),
      facts_(control_.link()),
      variables_(parts.session, parts.file.options, identity_, facts_),
      options_({.session = parts.session,
                .record = parts.file.options,
                .settings = parts.settings,
                .reconnect = [this] { loop_.post([this] { driver_.reconnectInForce(); }); },
                .note = [this](std::string line) { macros_.note(std::move(line)); }}),
      driver_({parts.session, parts.file, parts.settings, parts.loop, control_, *this, parts.store,
               parts.settingsStore, macros_.runner(), identity_},
              start) {
    SenderSettings s;
    s.keepAliveTime = parts.settings.keepAliveTime;
    s.keepAliveTimeDisable = parts.settings.keepAliveTimeDisable;
    s.keepAliveCommand = parts.settings.keepAlive;
    control_.link().sender().setSettings(s);
    // The session's transfer options ("DFT Mode", the block size) and the
    // transfer settings, as a windowed session takes them.
    control_.link().transfer().configure(transferConfiguration(parts.file.options, parts.settings,
                                                               display::NumberSeparators::cLocale(),
                                                               area::idOfIndex(identity_.index())));
    driver_.setOverrides({options.connectTimeoutSeconds, options.reconnect});
    driver_.setCertificateTrust(parts.trustStore);
    trustCertificates_ = options.trustCertificates;
    transferFiles_ = parts.transferFiles;
    uploadLfToCrLf_ = parts.settings.uploadConvertLFtoCRLF != 0;
    macros_.runner().setDriver(&driver_);
    recorder_.setTypingFlush([this] { keyboard_.controller().flushRecordedTyping(); });
    recorder_.setRestoreCountReset([this] { keyboard_.controller().clearRecordedRestores(); });
    macros_.runner().setRecorder(&recorder_);
    macros_.runner().setStartupMacro(
        [&file = parts.file] { return file.options.text(sessionfile::Field::StartupMacro); });
    for (const std::string& a : options.answers)
        macros_.answers().add(a);
    MacroFunctionServices macroServices = parts.macroServices;
    macroServices.sessionOptions = &parts.file.options;
    macroServices.optionEffects = &options_;
    macroTransfers_ = std::make_unique<HeadlessMacroTransfers>(HeadlessMacroTransfers::Parts{
        .session = parts.session,
        .options = parts.file.options,
        .keyboard = keyboard_.controller(),
        .settings = parts.settings,
        .files = parts.transferFiles,
        .note = [this](std::string line) { macros_.note(std::move(line)); },
        .connected = [this] { return connectionGoingOn(); }});
    macroServices.transfers = macroTransfers_.get();
    // A transfer's end (or its connection's) wakes the macro that waits for it.
    control_.link().transfer().setCompletionSink(
        [this](bool) { macros_.runner().interpreter().transferEnded(); });
    macros_.attachFunctions(
        {.settings = parts.settings,
         .keyList = parts.keyList,
         .performKey =
             [this](keys::KeyWord word) { keyboard_.performKey(word, keys::KeySource::Macro); },
         .variables = &variables_,
         .fileSystem = parts.macroFileSystem,
         .services = std::move(macroServices)});
    macros_.attachRexx(parts.rexxTasks);
}

Shell::~Shell() = default;

void Shell::showMessage(const DriverMessage& message) {
    std::string flat = message.text;
    for (char& c : flat)
        if (c == '\n') c = ' ';
    messages_.push_back(message.title + ": " + flat);
    // Nobody to ask: Cancel (OK for a message that only informs).
    driver_.answer(message.buttons == MessageButtons::Ok ? MessageAnswer::Ok
                                                         : MessageAnswer::Cancel);
}

bool Shell::askTrustCertificate(const CertificateDetails& details) {
    std::istringstream lines(certificateDetailsText(details));
    for (std::string line; std::getline(lines, line);)
        notes_.push_back("certificate " + line);
    if (!trustCertificates_) return false;
    // The driver keeps the trust and connects again, or shows why it could not.
    const std::size_t shown = messages_.size();
    driver_.answerTrust(true);
    if (messages_.size() == shown)
        notes_.push_back("trusted " + trustKey(details.host, details.port) + " " +
                         details.fingerprint);
    return true;
}

void Shell::openSessionDialog(const std::string&) {
    // Without a session file the host on the command line is what the
    // dialog would have chosen; with one, nothing is chosen.
    driver_.sessionDialogClosed(hostFromCommandLine_);
}

void Shell::requestClose() {
    // As a posted close message: the driver decides once this event is over.
    loop_.post([this] { driver_.close(); });
}

void Shell::quit(int code) {
    finished_ = true;
    exitCode_ = code;
}

void Shell::edit(keys::Edit, bool) {
    notCarriedOut_ = true;
}

void Shell::oper(std::uint8_t code) {
    const auto oper = static_cast<keys::Oper>(code);
    if (oper == keys::Oper::MoveCursor || oper == keys::Oper::MoveCursorEnter) return;
    // The macro keys act on a recording under way; starting one needs the
    // file name "record start" gives.
    if (recorder_.active()) {
        if (oper == keys::Oper::MacroStop) return void(recorder_.stop());
        if (oper == keys::Oper::MacroPause) return recorder_.togglePause();
        if (oper == keys::Oper::MacroRecord && recorder_.state() == MacroRecorder::State::Paused)
            return recorder_.togglePause();
    }
    notCarriedOut_ = true;
}

int Shell::saveMacroFile(const std::string& fileName, std::string_view text) {
    return saveMacro_ ? saveMacro_(fileName, text) : ENOSYS;
}

void Shell::recorderMessage(const std::string& title, const std::string& text, bool warning) {
    if (warning)
        messages_.push_back(title + ": " + text);
    else
        notes_.push_back("message " + title + ": " + text);
}

std::string Shell::record(const std::vector<std::string>& w) {
    const std::string what = w.size() > 1 ? w[1] : "";
    if (what == "start" && (w.size() == 3 || (w.size() == 4 && w[3] == "rexx"))) {
        if (!macros_.finished()) return answer("", "a macro is playing");
        MacroRecorder::Start start;
        start.name = w[2];
        start.rexx = w.size() == 4;
        start.recordWait = recordWait_;
        start.timestamp = timestamp_ ? timestamp_() : std::string();
        recorder_.start(start);
        return answer("recording " + recorder_.fileName() + "\n");
    }
    if (what == "pause" && w.size() == 2) {
        if (!recorder_.active()) return answer("", "not recording");
        recorder_.togglePause();
        return answer(recorder_.recording() ? "recording\n" : "paused\n");
    }
    if (what == "stop" && w.size() == 2) {
        if (!recorder_.active()) return answer("", "not recording");
        loop_.runOnce(0);  // take in what has arrived
        recorder_.stop();
        return answer("");
    }
    return answer("", "usage: record start FILE [rexx] | record pause | record stop");
}

void Shell::macroKey(std::uint8_t, std::uint8_t) {
    notCarriedOut_ = true;
}

std::string Shell::answer(std::string out, const std::string& error) {
    for (const auto& note : notes_)
        out += note + "\n";
    notes_.clear();
    if (!messages_.empty()) {
        for (std::size_t i = 1; i < messages_.size(); ++i)
            out += "message " + messages_[i] + "\n";
        const std::string first = messages_.front();
        messages_.clear();
        return out + "error: " + first + "\n";
    }
    return out + (error.empty() ? "ok\n" : "error: " + error + "\n");
}

bool Shell::connectionGoingOn() const {
    return control_.isOpen() || driver_.hostClosePending();
}

std::string Shell::execute(const std::string& line, bool& quit) {
    const auto w = words(line);
    if (w.empty()) return "";
    const std::string& cmd = w[0];
    if (cmd == "quit") {
        quit = true;
        return quitCommand();
    }
    if (finished_) {
        quit = true;
        return answer("", "the session has ended");
    }
    if (cmd == "connect") return connect();
    if (cmd == "disconnect") return disconnect();
    if (cmd == "wait") return waitUnlock(w);
    if (cmd == "screen") return screen();
    if (cmd == "status") return status();
    if (cmd == "trace") return traceCommand(w);
    if (cmd == "cursor") return cursor(w);
    if (cmd == "key") return key(w);
    if (cmd == "type") return type(line);
    if (cmd == "transfer") return transfer(w);
    if (cmd == "hostlist") return hostList(w);
    if (cmd == "record") return record(w);
    if (cmd == "macro") {
        if (w.size() != 2) return answer("", "usage: macro FILE");
        return macro(w[1], {});
    }
    if (cmd == "answer") {
        const auto at = line.find("answer");
        if (at + 6 >= line.size()) return answer("", "usage: answer TEXT");
        macros_.answers().add(line.substr(at + 7));
        return answer("");
    }
    if (cmd == "run") {
        const auto at = line.find("run");
        const std::string statements = at + 3 < line.size() ? line.substr(at + 4) : "";
        if (statements.empty()) return answer("", "usage: run STATEMENTS");
        return macro({}, statements);
    }
    return answer("", "unknown command \"" + cmd + "\"");
}

bool Shell::runExitMacro(std::string_view fileName) {
    if (fileName != "protect.ext") return false;
    return macros_.runner().runExitMacro(SessionMacroRunner::ExitMacro::Protect);
}

std::string Shell::connect() {
    if (driver_.connect(ConnectMode::User) == 0)
        return answer("", "the session file could not be loaded");
    // The driver gives up after the connect countdown and says so; the
    // bound here only guards against a wait without end.
    const auto bound = std::chrono::seconds(std::max(driver_.connectCountdown(), 0) + 5);
    loop_.runUntil(
        [&] {
            return static_cast<int>(session_.status) >=
                       static_cast<int>(SessionStatus::Connected) ||
                   !messages_.empty() || finished_ || !connectionGoingOn();
        },
        bound);
    if (!messages_.empty()) return answer("");
    if (finished_) return answer("", "the session has ended");
    if (static_cast<int>(session_.status) >= static_cast<int>(SessionStatus::Connected))
        return answer("");
    if (!connectionGoingOn()) return answer("", "the host closed the connection");
    return answer("", "the connection did not come up");
}

std::string Shell::disconnect() {
    driver_.disconnect();
    return answer("");
}

std::string Shell::waitUnlock(const std::vector<std::string>& w) {
    long seconds = 0;
    if (w.size() != 3 || w[1] != "unlock" || !number(w[2], 0, 3600, seconds))
        return answer("", "usage: wait unlock SECONDS");
    // A host close with AUTORECONNECT is waited through: the reconnect runs
    // inside the wait.
    loop_.runUntil(
        [&] {
            return session_.status == SessionStatus::Unlocked || !messages_.empty() || finished_ ||
                   !connectionGoingOn();
        },
        std::chrono::seconds(seconds));
    if (!messages_.empty()) return answer("");
    if (session_.status == SessionStatus::Unlocked) return answer("");
    if (finished_) return answer("", "the session has ended");
    if (!connectionGoingOn()) return answer("", "not connected");
    return answer("", "timed out waiting for the keyboard to unlock");
}

std::string Shell::macro(const std::string& file, const std::string& statements) {
    std::string error;
    if (!macros_.finished()) return answer("", "a macro is already playing");
    // A macro started by name or as text ends a recording unsaved.
    if (recorder_.active()) {
        recorder_.discard();
        notes_.push_back("recording discarded");
    }
    macros_.armBreak();
    if (!macros_.start(file, statements, error)) {
        macros_.disarmBreak();
        return answer("", error);
    }
    // The macro's own waits end it or let it go on; SIGINT (checked every
    // 100 ms while it waits, and before every statement) stops it.
    while (!macros_.finished() && !finished_) {
        loop_.runUntil([&] { return macros_.finished() || finished_ || macros_.breakPending(); },
                       std::chrono::milliseconds(100));
        if (macros_.breakPending() && !macros_.finished()) macros_.stopByBreak();
    }
    macros_.disarmBreak();
    std::string out;
    for (const std::string& l : macros_.takeLines())
        out += l + "\n";
    error = macros_.takeError();
    if (!error.empty()) return answer(out, error);
    if (!macros_.finished()) return answer(out, "the macro is still playing");
    return answer(out);
}

std::string Shell::quitCommand() {
    if (!finished_) {
        driver_.endSession();
        // The end waits its staggered delay, then saves the session file.
        loop_.runUntil([&] { return finished_; }, std::chrono::seconds(10));
    }
    return answer("");
}

void Shell::setTrace(Trace* trace, std::string location) {
    trace_ = trace;
    traceLocation_ = std::move(location);
    control_.link().setTrace(trace);
}

std::string Shell::traceCommand(const std::vector<std::string>& w) {
    if (w.size() != 2 || (w[1] != "start" && w[1] != "stop" && w[1] != "dump"))
        return answer("", "usage: trace start|stop|dump");
    if (trace_ == nullptr) return answer("", "no trace folder");
    if (w[1] == "start") {
        trace_->start();
    } else if (w[1] == "stop") {
        trace_->stop();
    } else {
        trace_->dumpScreen(session_.screen);
        trace_->flush();
    }
    return answer("trace " + traceLocation_ + "\n");
}

// Rows and columns from 1.
std::optional<int> Shell::screenPosition(const std::string& row, const std::string& column,
                                         std::string& error) {
    long r = 0, c = 0;
    if (!number(row, 1, 9999, r) || !number(column, 1, 9999, c)) {
        error = "ROW and COL are numbers from 1";
        return std::nullopt;
    }
    const auto position = positionOf(session_.screen, r, c);
    if (!position)
        error = "row " + row + " column " + column + " is off the " +
                std::to_string(session_.screen.rows()) + "x" +
                std::to_string(session_.screen.columns()) + " screen";
    return position;
}

std::string Shell::cursor(const std::vector<std::string>& w) {
    if (w.size() != 3) return answer("", "usage: cursor ROW COL");
    loop_.runOnce(0);  // take in what has arrived
    std::string error;
    const auto position = screenPosition(w[1], w[2], error);
    if (!position) return answer("", error);
    if (!control_.isOpen()) return answer("", "not connected");
    if (session_.status != SessionStatus::Unlocked) return answer("", "the keyboard is locked");
    session_.screen.setCursor(*position);
    return answer("");
}

std::string Shell::key(const std::vector<std::string>& w) {
    if (w.size() < 2 || w.size() > 4) return answer("", "usage: key NAME [ROW COL]");
    const auto word = keyWordByName(keyList_, w[1]);
    if (!word) return answer("", "Invalid Key Function");
    loop_.runOnce(0);  // take in what has arrived
    if (w.size() > 2) {
        // As a macro's Key statement: the cursor goes to ROW and COL before
        // the function runs.
        if (!takesPosition(*word)) return answer("", w[1] + " takes no row and column");
        if (w.size() == 3) return answer("", "Cursor move key functions need row,col parms");
        std::string error;
        const auto position = screenPosition(w[2], w[3], error);
        if (!position) return answer("", error);
        if (!control_.link().protocol().lineMode) {
            session_.screen.setCursor(*position);
        }
    }
    // Nothing could carry an attention key to a host.
    if (keys::kindOf(*word) == keys::Kind::Action && !control_.isOpen())
        return answer("", "not connected");
    const SessionStatus before = session_.status;
    notCarriedOut_ = false;
    switch (keyboard_.performKey(*word, keys::KeySource::Keyboard)) {
        case keys::KeyOutcome::Queued:
            return answer("queued\n");
        case keys::KeyOutcome::Refused:
            return answer("", "the keyboard is locked");
        case keys::KeyOutcome::Performed:
            break;
    }
    if (notCarriedOut_) return answer("", w[1] + " is not available in cedar_headless");
    if (endedInInputError(*word, before, session_.status))
        return answer("", "input error, status " + std::string(statusName(session_.status)));
    return answer("");
}

std::string Shell::type(const std::string& line) {
    const std::string text = keys::utf8ToDisplay(restAfterWords(line, 1));
    if (text.empty()) return answer("", "usage: type TEXT");
    loop_.runOnce(0);  // take in what has arrived
    std::size_t queued = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const keys::KeyWord word = keys::charKey(static_cast<std::uint8_t>(text[i]));
        const SessionStatus before = session_.status;
        const auto outcome = keyboard_.performKey(word, keys::KeySource::Keyboard);
        if (outcome == keys::KeyOutcome::Refused)
            return answer("", "the keyboard is locked: " + std::to_string(i) + " of " +
                                  std::to_string(text.size()) + " characters taken");
        if (outcome == keys::KeyOutcome::Queued) {
            ++queued;
            continue;
        }
        // The rest is not typed: it would only land where the error was.
        if (endedInInputError(word, before, session_.status))
            return answer("", "input error at character " + std::to_string(i + 1) + " of " +
                                  std::to_string(text.size()) + ", status " +
                                  std::string(statusName(session_.status)));
    }
    if (queued != 0) return answer("queued " + std::to_string(queued) + "\n");
    return answer("");
}

std::string Shell::screen() {
    loop_.runOnce(0);  // take in what has arrived
    std::string out;
    for (const auto& row : screenRowsUtf8(session_.screen))
        out += row + "\n";
    return answer(out);
}

std::string Shell::status() {
    loop_.runOnce(0);
    const auto& ps = session_.screen;
    const auto rc = ps.rowColumnOf(ps.cursor());
    std::string name(statusName(session_.status));
    if (session_.status == SessionStatus::Rejected) name = "REJECTED";
    if (session_.status == SessionStatus::History) name = "HISTORY";
    std::ostringstream out;
    out << "status " << name << "\n"
        << "connected " << (control_.isOpen() ? "yes" : "no") << "\n"
        << "tn3270e " << (control_.link().protocol().tn3270eMode ? "yes" : "no") << "\n"
        << "size " << ps.rows() << "x" << ps.columns() << "\n"
        << "cursor " << rc.row + 1 << "," << rc.column + 1 << "\n"
        << "closing " << (driver_.hostClosePending() ? "yes" : "no") << "\n";
    if (control_.link().info().tls)
        out << "tls " << control_.link().info().tlsProtocol << " "
            << control_.link().info().tlsCipher << "\n";
    if (!control_.link().protocol().assignedLuName.empty())
        out << "lu " << control_.link().protocol().assignedLuName << "\n";
    return answer(out.str());
}

}  // namespace cedar::headless
