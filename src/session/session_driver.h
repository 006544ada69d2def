// The session driver: one session's life from the connection request to the
// end of the session, on the session thread. It starts connections (and
// reconnects), runs the 166 ms tick with the once-a-second work (connect
// time-out, keep-alive, status line, title), the first-record timer and the
// macro wait timer, reacts to the end of a connection and to its failures,
// carries out the requests of other processes, and closes and ends the
// session in order. Every timer and delay goes through the Scheduler.
//
// Message boxes and the SESSION dialog are asynchronous: the driver shows
// one message at a time and goes on when answer() (or
// sessionDialogClosed()) arrives. While a message or the dialog is open,
// the requests of other processes that would run a macro or end the session
// and close requests wait in arrival order (their texts copied at arrival)
// and run once the last answer is in; window-list refreshes run at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "host/scheduler.h"
#include "session/driver_interfaces.h"
#include "session/session.h"
#include "sessionfile/session_file.h"
#include "sessionfile/settings.h"

namespace cedar {

// The request text of a slot's request field: the bytes before the first NUL,
// which must lie inside the field's first request::kFieldSize bytes; nothing
// when there is none.
std::optional<std::string> requestText(std::span<const std::uint8_t> field);

// The delay after a host close and before the end of the session's save:
// 370 ms for session A down to 20 ms for session 9; 370 ms without an id.
std::int64_t staggeredDelayMs(int sessionIndex);

class SessionDriver : public LinkEvents {
  public:
    static constexpr std::chrono::milliseconds kTickInterval{166};
    static constexpr std::chrono::milliseconds kFirstRecordDelay{1000};
    static constexpr std::size_t kMaxDeferred = 64;

    struct Parts {
        Session& session;
        sessionfile::SessionFile& file;  // the record in force
        const Settings& settings;        // cedar.ini as read at start
        Scheduler& scheduler;
        LinkControl& link;
        DriverUi& ui;
        SessionFileStore& store;
        SettingsStore& settingsStore;
        MacroRunner& macros;
        SessionIdentity& identity;
    };
    // What start-up settled.
    struct Start {
        std::string sessionFile;     // the session file name ("" = none)
        bool sessionLoaded = false;  // it was loaded: the end of the session may save it
        std::string startupMacro;    // /M: run once after the first connection's first record
    };

    // Choices of the command line over the session record's: in force for
    // the whole process, through every reload of the session file, and never
    // written to it.
    struct Overrides {
        std::optional<int> connectionTimeout;  // CONNECTIONTIMEOUT, seconds
        std::optional<bool> autoReconnect;     // AUTORECONNECT
    };

    SessionDriver(const Parts& parts, const Start& start);
    ~SessionDriver() override;
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    void setOverrides(const Overrides& overrides) { overrides_ = overrides; }
    // Where a host certificate the user trusts is kept (nullptr: nowhere;
    // then the user is not asked).
    void setCertificateTrust(CertificateTrustStore* store) { trustStore_ = store; }

    // The connection request. 0 when the session file could not be
    // reloaded (no connection started), else 1.
    int connect(ConnectMode mode);
    // Connects again with the record in force, which a macro has changed
    // (an option that only a new connection puts into effect): unlike
    // connect() the session file is not read again, so the change holds.
    // Without a session file the SESSION dialog decides, as in connect().
    int reconnectInForce();
    // The user ends the connection (the Disconnect key function): the link
    // closes, the status is NOTCONNECTED, line mode is left and the screen
    // erased. A host close still waiting for its save is saved now, and
    // nothing follows it (no reconnect, no close).
    void disconnect();

    // The user's answer to the message shown last (DriverUi::showMessage).
    void answer(MessageAnswer answer);
    // The user's answer to DriverUi::askTrustCertificate: trust keeps the
    // certificate's fingerprint for its host and port and connects again;
    // no shows the connection's failure as usual.
    void answerTrust(bool trust);
    // The SESSION dialog ended: `connect` when the user chose to connect,
    // with the session file it loaded and saved.
    void sessionDialogClosed(bool connect, const std::string& sessionFile = {});

    // Shows a message in turn with the driver's own (the session file
    // store's failures); it needs no decision.
    void notify(const DriverMessage& message) { show(message); }

    // LinkEvents
    void firstRecordArrived() override;
    void hostClosed() override;
    void connectionError(const std::string& text) override;
    void connectionFailed(const std::string& title, const std::string& text) override;
    void certificateFailed(const std::string& text, const CertificateDetails& details) override;
    void linkMessage(const std::string& title, const std::string& text) override;

    // A request of another process (`code` one of request::k...); `window`:
    // for kRefreshWindowList, the window of a session that is ending, or 0.
    void sessionRequest(int code, std::uintptr_t window = 0);
    // The window is asked to close (by the user, CloseOnDisconnect, ...).
    void close();
    // The window is destroyed or the system session ends: end the session
    // (once), after the staggered delay; DriverUi::quit(0) at the end.
    void endSession();

    // The macro interpreter's wait timer.
    void startMacroWait(std::chrono::milliseconds interval);
    void stopMacroWait();
    bool macroWaitRunning() const { return macroWaitTimer_ != 0; }

    // State, for the status line and tests.
    ConnectMode mode() const { return mode_; }
    int connectCountdown() const { return countdown_; }
    // The connect time-out in force (seconds): the command line's, else the
    // session record's CONNECTIONTIMEOUT.
    int connectionTimeout() const;
    int tickNumber() const { return tickNumber_; }
    std::uint64_t tickCount() const { return tickCount_; }
    char macroStatusChar() const { return macroChar_; }
    const std::string& sessionFileName() const { return sessionFile_; }
    bool sessionLoaded() const { return sessionLoaded_; }
    bool connectionStarted() const { return connectionStarted_; }
    // The host closed the connection and the staggered delay runs: the save,
    // then the reconnect (AUTORECONNECT) or the close (CloseOnDisconnect).
    bool hostClosePending() const { return closedTimer_ != 0; }
    bool messagePending() const { return !messages_.empty(); }
    bool trustQuestionPending() const {
        return !messages_.empty() && messages_.front().certificate.has_value();
    }
    bool dialogOpen() const { return dialogOpen_; }
    std::size_t deferredCount() const { return deferred_.size(); }
    bool ending() const { return ending_; }
    bool ended() const { return shutdownDone_; }

  private:
    using Handler = std::function<void(bool positive)>;
    struct PendingMessage {
        DriverMessage message;
        Handler handler;
        bool shown = false;
        // Set: the trust question about this certificate instead of a message.
        std::optional<CertificateDetails> certificate;
        std::uint64_t serial = 0;
    };
    void startConnection();
    void afterConnectionRequest();
    void onTick();
    void everySecond();
    void connectTimedOut();
    void onFirstRecordTimer();
    void onMacroWaitTimer();
    void afterHostClosedDelay();
    void finishPendingClose();
    void finishClose();
    void finishEnd();
    void runRequest(int code, const std::string& text);
    bool runShutDownMacro();
    // Drops what ended with the connection: the first-record timer.
    void connectionGone();
    void toNotConnected();
    bool autoReconnect() const;

    bool modalOpen() const { return !messages_.empty() || dialogOpen_; }
    void show(DriverMessage message, Handler handler = {});
    void showNext();
    void trustAnswered(const CertificateDetails& details, const std::string& text, bool trust);
    void defer(std::function<void()> action);
    void runDeferred();
    void stopTimer(Scheduler::TimerId& id);
    char idChar() const;

    Session& session_;
    sessionfile::SessionFile& file_;
    const Settings& settings_;
    Scheduler& scheduler_;
    LinkControl& link_;
    DriverUi& ui_;
    SessionFileStore& store_;
    SettingsStore& settingsStore_;
    MacroRunner& macros_;
    SessionIdentity& identity_;

    Overrides overrides_;
    std::string sessionFile_;
    std::string rememberedFile_;  // for the SESSION dialog after a time-out
    std::string startupMacro_;
    bool sessionLoaded_ = false;
    bool connectionStarted_ = false;  // a connection was started in this process
    bool firstRecord_ = false;        // the first record of this connection arrived
    ConnectMode mode_ = ConnectMode::User;
    int countdown_ = 0;
    int tickNumber_ = 0;
    std::uint64_t tickCount_ = 0;
    char macroChar_ = ' ';

    Scheduler::TimerId tickTimer_ = 0;
    Scheduler::TimerId firstRecordTimer_ = 0;
    Scheduler::TimerId macroWaitTimer_ = 0;
    Scheduler::TimerId closedTimer_ = 0;  // the staggered delay after a host close
    Scheduler::TimerId endTimer_ = 0;     // the staggered delay at the end

    CertificateTrustStore* trustStore_ = nullptr;
    std::deque<PendingMessage> messages_;
    std::uint64_t messageSerial_ = 0;
    bool dialogOpen_ = false;
    std::deque<std::function<void()>> deferred_;
    bool runningDeferred_ = false;
    bool askingToClose_ = false;
    bool ending_ = false;
    bool shutdownDone_ = false;
};

}  // namespace cedar
