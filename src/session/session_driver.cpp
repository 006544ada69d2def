#include "session/session_driver.h"

#include <algorithm>
#include <utility>

#include "screen/message_titles.h"

namespace cedar {

namespace {

using sessionfile::Field;

constexpr std::string_view kIdChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr const char* kCloseTitle = "Cedar TN3270";

// The host values that NoSessionSave keeps in force over a reload.
constexpr Field kHostFields[] = {Field::HostName,      Field::IpName, Field::Tn3270e,
                                 Field::SecurityLevel, Field::Port,   Field::LuName};

bool atLeastConnected(SessionStatus status) {
    return static_cast<int>(status) >= static_cast<int>(SessionStatus::Connected);
}

}  // namespace

std::optional<std::string> requestText(std::span<const std::uint8_t> field) {
    const std::size_t n = std::min(field.size(), request::kFieldSize);
    const auto end = field.begin() + static_cast<std::ptrdiff_t>(n);
    const auto nul = std::find(field.begin(), end, std::uint8_t{0});
    if (nul == end) return std::nullopt;
    return std::string(field.begin(), nul);
}

std::int64_t staggeredDelayMs(int sessionIndex) {
    if (sessionIndex < 0 || sessionIndex >= static_cast<int>(kIdChars.size())) return 370;
    return 370 - 10 * static_cast<std::int64_t>(sessionIndex);
}

SessionDriver::SessionDriver(const Parts& parts, const Start& start)
    : session_(parts.session),
      file_(parts.file),
      settings_(parts.settings),
      scheduler_(parts.scheduler),
      link_(parts.link),
      ui_(parts.ui),
      store_(parts.store),
      settingsStore_(parts.settingsStore),
      macros_(parts.macros),
      identity_(parts.identity),
      sessionFile_(start.sessionFile),
      startupMacro_(start.startupMacro),
      sessionLoaded_(start.sessionLoaded) {
    link_.setEvents(this);
    tickTimer_ = scheduler_.startTimer(
        kTickInterval, [this] { onTick(); }, true);
}

SessionDriver::~SessionDriver() {
    for (Scheduler::TimerId* id :
         {&tickTimer_, &firstRecordTimer_, &macroWaitTimer_, &closedTimer_, &endTimer_})
        stopTimer(*id);
    link_.setEvents(nullptr);
}

// ---------------------------------------------------------------------------
// Connection requests.

int SessionDriver::connect(ConnectMode mode) {
    if (ending_) return 0;
    if (dialogOpen_) return 1;  // the SESSION dialog is already asking
    // A host close still waiting for its save: save now; the request made
    // here replaces whatever would have followed.
    finishPendingClose();
    connectionGone();
    mode_ = mode;
    const sessionfile::SessionOptions kept = file_.options;
    if (sessionFile_.empty()) {
        if (session_.status == SessionStatus::NotConnected) {
            session_.status = SessionStatus::Start;
            ui_.statusChanged();
        }
        dialogOpen_ = true;
        ui_.openSessionDialog(rememberedFile_);
        return 1;
    }
    if (!store_.load(sessionFile_, file_)) return 0;
    sessionLoaded_ = true;
    firstRecord_ = false;
    if (settings_.noSessionSave != 0) {
        for (Field f : kHostFields) {
            const auto from = kept.raw(f);
            std::copy(from.begin(), from.end(), file_.options.raw(f).begin());
        }
    }
    startConnection();
    afterConnectionRequest();
    return 1;
}

int SessionDriver::reconnectInForce() {
    if (ending_) return 0;
    if (sessionFile_.empty()) return connect(ConnectMode::User);
    if (dialogOpen_) return 1;
    finishPendingClose();
    connectionGone();
    mode_ = ConnectMode::User;
    firstRecord_ = false;
    startConnection();
    afterConnectionRequest();
    return 1;
}

void SessionDriver::sessionDialogClosed(bool connectNow, const std::string& sessionFile) {
    if (!dialogOpen_) return;
    dialogOpen_ = false;
    if (connectNow && !ending_) {
        if (!sessionFile.empty()) {
            // The dialog loaded the file and saved it: it is the user's.
            sessionFile_ = sessionFile;
            sessionLoaded_ = true;
        }
        firstRecord_ = false;
        startConnection();
        afterConnectionRequest();
    }
    runDeferred();
}

int SessionDriver::connectionTimeout() const {
    return overrides_.connectionTimeout.value_or(
        static_cast<int>(file_.options.number(Field::ConnectionTimeout)));
}

void SessionDriver::startConnection() {
    connectionStarted_ = true;
    countdown_ = connectionTimeout();
    session_.status = SessionStatus::Connecting;
    link_.start(file_.options);
    ui_.statusChanged();
}

void SessionDriver::afterConnectionRequest() {
    ui_.connectionRequested();
    // An empty name would make the next start open an empty session.
    if (!sessionFile_.empty()) settingsStore_.writeLastSession(sessionFile_);
}

// ---------------------------------------------------------------------------
// Connection events.

void SessionDriver::firstRecordArrived() {
    if (firstRecord_ || ending_) return;
    firstRecord_ = true;
    stopTimer(firstRecordTimer_);
    firstRecordTimer_ = scheduler_.startTimer(
        kFirstRecordDelay,
        [this] {
            firstRecordTimer_ = 0;
            onFirstRecordTimer();
        },
        false);
}

void SessionDriver::onFirstRecordTimer() {
    store_.refreshStandardBackup();
    if (!startupMacro_.empty()) {
        const std::string name = std::exchange(startupMacro_, {});
        macros_.runFile(name);
    }
    if (settings_.noMacroOnReconnect != 0 && mode_ == ConnectMode::AutoReconnect) return;
    macros_.runStartupMacro();
}

void SessionDriver::connectionGone() {
    // The start-of-connection work belongs to the connection that ended.
    stopTimer(firstRecordTimer_);
}

void SessionDriver::toNotConnected() {
    session_.status = SessionStatus::NotConnected;
    link_.leaveLineMode();
    link_.clearSecure();
    ui_.statusChanged();
}

void SessionDriver::hostClosed() {
    if (ending_) return;
    connectionGone();
    if (link_.isOpen()) link_.close();
    session_.screen.eraseScreen(SizeMode::Default);
    ui_.screenChanged();
    if (session_.status == SessionStatus::Rejected) {
        ui_.statusChanged();
        return;
    }
    toNotConnected();
    stopTimer(closedTimer_);
    closedTimer_ = scheduler_.startTimer(
        std::chrono::milliseconds(staggeredDelayMs(identity_.index())),
        [this] {
            closedTimer_ = 0;
            afterHostClosedDelay();
        },
        false);
}

void SessionDriver::afterHostClosedDelay() {
    if (sessionLoaded_) store_.save(file_, sessionfile::SaveMode::Save, false);
    if (autoReconnect()) {
        connect(ConnectMode::AutoReconnect);
    } else if (settings_.closeOnDisconnect != 0) {
        ui_.requestClose();
    }
}

bool SessionDriver::autoReconnect() const {
    return overrides_.autoReconnect.value_or(file_.options.number(Field::AutoReconnect) != 0);
}

void SessionDriver::disconnect() {
    if (ending_) return;
    finishPendingClose();
    connectionGone();
    if (link_.isOpen()) link_.close();
    session_.screen.eraseScreen(SizeMode::Default);
    ui_.screenChanged();
    toNotConnected();
}

void SessionDriver::finishPendingClose() {
    if (closedTimer_ == 0) return;
    stopTimer(closedTimer_);
    if (sessionLoaded_) store_.save(file_, sessionfile::SaveMode::Save, false);
}

void SessionDriver::connectionError(const std::string& text) {
    if (ending_) return;
    connectionGone();
    toNotConnected();
    show({title::kConnectError, text, MessageIcon::Warning, MessageButtons::RetryCancel},
         [this](bool retry) {
             if (!retry) return;
             // Retry goes through the SESSION dialog.
             sessionFile_.clear();
             connect(ConnectMode::User);
         });
}

void SessionDriver::connectionFailed(const std::string& title, const std::string& text) {
    if (ending_) return;
    connectionGone();
    toNotConnected();
    show({title, text, MessageIcon::Warning, MessageButtons::Ok});
}

void SessionDriver::certificateFailed(const std::string& text, const CertificateDetails& details) {
    if (ending_) return;
    if (trustStore_ == nullptr) {
        connectionFailed(title::kTlsError, text);
        return;
    }
    connectionGone();
    toNotConnected();
    PendingMessage question;
    question.message = {title::kTlsError, text, MessageIcon::Warning, MessageButtons::Ok};
    question.handler = [this, details, text](bool trust) { trustAnswered(details, text, trust); };
    question.certificate = details;
    question.serial = ++messageSerial_;
    messages_.push_back(std::move(question));
    showNext();
}

void SessionDriver::trustAnswered(const CertificateDetails& details, const std::string& text,
                                  bool trust) {
    if (!trust) {
        show({title::kTlsError, text, MessageIcon::Warning, MessageButtons::Ok});
        return;
    }
    const std::string error = trustStore_->trust(details);
    if (!error.empty()) {
        show({title::kTlsError, error, MessageIcon::Warning, MessageButtons::Ok});
        return;
    }
    // The trust counts from the next connection, which starts now unless
    // another one was started while the question was open.
    if (link_.isOpen() || session_.status != SessionStatus::NotConnected) return;
    mode_ = ConnectMode::User;
    firstRecord_ = false;
    startConnection();
    afterConnectionRequest();
}

void SessionDriver::linkMessage(const std::string& title, const std::string& text) {
    if (ending_) return;
    show({title, text, MessageIcon::Warning, MessageButtons::Ok});
}

// ---------------------------------------------------------------------------
// Timers.

void SessionDriver::onTick() {
    tickNumber_ = (tickNumber_ + 1) % 6;
    ++tickCount_;
    const std::uint8_t state = macros_.state();
    if (state >= 1 && state <= 5) {
        // Blank for half a second, then the letter: a blinking mark.
        macroChar_ = tickNumber_ < 3 ? ' ' : state == 1 ? 'R' : state == 3 ? 'X' : 'P';
        ui_.statusChanged();
    } else if (macroChar_ != ' ') {
        macroChar_ = ' ';
        ui_.statusChanged();
    }
    ui_.tick(tickNumber_);
    if (tickNumber_ == 0) everySecond();
}

void SessionDriver::everySecond() {
    if (session_.status == SessionStatus::Connecting && !ending_) {
        --countdown_;
        ui_.statusChanged();
        if (countdown_ <= 0) connectTimedOut();
    }
    link_.secondTick(atLeastConnected(session_.status));
    ui_.everySecond();
    ui_.statusChanged();
    ui_.refreshTitle();
}

void SessionDriver::connectTimedOut() {
    connectionGone();
    if (link_.isOpen()) link_.close();
    session_.status = SessionStatus::NotConnected;
    link_.leaveLineMode();
    link_.clearSecure();
    session_.screen.eraseScreen(SizeMode::Default);
    ui_.screenChanged();
    ui_.statusChanged();
    // An automatic reconnect that times out is not reported.
    if (mode_ != ConnectMode::User) return;
    show({title::kConnectTimeout,
          "Timeout while connecting to " + file_.options.text(Field::HostName),
          MessageIcon::Warning, MessageButtons::RetryCancel},
         [this](bool retry) {
             if (!retry) {
                 ui_.showWindow();
                 return;
             }
             if (settings_.timeoutDialog == 0) {
                 connect(ConnectMode::User);  // the same session file, no dialog
                 return;
             }
             // The SESSION dialog opens with the session file chosen before.
             rememberedFile_ = std::exchange(sessionFile_, {});
             connect(ConnectMode::User);
             rememberedFile_.clear();
         });
}

void SessionDriver::startMacroWait(std::chrono::milliseconds interval) {
    stopTimer(macroWaitTimer_);
    macroWaitTimer_ = scheduler_.startTimer(
        interval,
        [this] {
            macroWaitTimer_ = 0;
            onMacroWaitTimer();
        },
        false);
}

void SessionDriver::stopMacroWait() {
    stopTimer(macroWaitTimer_);
}

void SessionDriver::onMacroWaitTimer() {
    const std::uint8_t state = macros_.state();
    if (state < 2) return;  // no macro plays
    macros_.clearWaitMark();
    if (state == 4)
        macros_.reportWaitTimeout();
    else
        macros_.resume();
}

// ---------------------------------------------------------------------------
// Requests, closing and the end of the session.

void SessionDriver::sessionRequest(int code, std::uintptr_t window) {
    if (code == request::kRefreshWindowList) {
        identity_.refreshWindowList(window);
        return;
    }
    if (ending_) return;
    std::string text;
    if (code == request::kRunMacroFile || code == request::kRunMacroText) {
        // Copied now: a later request may overwrite the slot.
        const auto field = identity_.requestField();
        if (!field) return;
        const auto t = requestText(*field);
        if (!t || t->empty()) return;
        if (code == request::kRunMacroText && t->size() > request::kMaxMacroText) return;
        text = *t;
    } else if (code != request::kShutdown) {
        return;  // not a request of ours
    }
    if (modalOpen()) {
        defer([this, code, text] { runRequest(code, text); });
        return;
    }
    runRequest(code, text);
}

void SessionDriver::runRequest(int code, const std::string& text) {
    if (ending_) return;
    switch (code) {
        case request::kShutdown:
            if (!runShutDownMacro()) endSession();
            break;
        case request::kRunMacroFile:
            macros_.runFile(text);
            break;
        case request::kRunMacroText:
            macros_.runText(text);
            break;
        default:
            break;
    }
}

bool SessionDriver::runShutDownMacro() {
    const std::string name = settingsStore_.shutDownMacro();
    if (name.empty() || name == macros_.currentName()) return false;
    // Closing waits for the macro only when one was started: a session that
    // cannot play macros closes at once instead of never.
    return macros_.runFile(name);
}

void SessionDriver::close() {
    if (ending_) return;
    if (modalOpen()) {
        // Asked again while the close question is open: that question decides.
        if (!askingToClose_) defer([this] { close(); });
        return;
    }
    if (settings_.wang != 0 && atLeastConnected(session_.status)) return;
    if (runShutDownMacro()) return;
    const bool ask = file_.options.number(Field::AskBeforeClosing) != 0 &&
                     (session_.status != SessionStatus::NotConnected || !connectionStarted_);
    if (!ask) {
        finishClose();
        return;
    }
    askingToClose_ = true;
    show({kCloseTitle, std::string("Ok to close session ") + idChar() + " ?", MessageIcon::Question,
          MessageButtons::OkCancel},
         [this](bool ok) {
             askingToClose_ = false;
             if (ok) finishClose();
         });
}

void SessionDriver::finishClose() {
    session_.screen.eraseScreen(SizeMode::Default);
    ui_.screenChanged();
    ui_.destroyWindow();
    endSession();
}

void SessionDriver::endSession() {
    if (ending_) return;
    ending_ = true;
    // Nothing that was waiting may start again: no reconnect, no macro.
    stopTimer(closedTimer_);
    stopTimer(firstRecordTimer_);
    stopTimer(macroWaitTimer_);
    deferred_.clear();
    link_.close();
    endTimer_ = scheduler_.startTimer(
        std::chrono::milliseconds(staggeredDelayMs(identity_.index())),
        [this] {
            endTimer_ = 0;
            finishEnd();
        },
        false);
}

void SessionDriver::finishEnd() {
    // Only a record that came from the user's file goes back into it: a
    // start-up that failed early must not overwrite the file.
    if (sessionLoaded_) store_.save(file_, sessionfile::SaveMode::Save, true);
    ui_.releaseResources();
    if (!shutdownDone_) {
        if (identity_.index() != SessionIdentity::kNoIndex) identity_.release();
        shutdownDone_ = true;
    }
    stopTimer(tickTimer_);
    ui_.quit(0);
}

// ---------------------------------------------------------------------------
// Message boxes and deferred work.

void SessionDriver::show(DriverMessage message, Handler handler) {
    messages_.push_back({std::move(message), std::move(handler), false, {}, ++messageSerial_});
    showNext();
}

void SessionDriver::showNext() {
    if (messages_.empty() || messages_.front().shown) return;
    messages_.front().shown = true;
    if (messages_.front().certificate) {
        // The UI may answer at once (re-entering answerTrust()).
        const std::uint64_t serial = messages_.front().serial;
        const CertificateDetails details = *messages_.front().certificate;
        if (!ui_.askTrustCertificate(details) && !messages_.empty() &&
            messages_.front().serial == serial)
            answerTrust(false);
        return;
    }
    // The UI may answer at once (re-entering answer()): nothing follows here.
    ui_.showMessage(messages_.front().message);
}

void SessionDriver::answer(MessageAnswer answer) {
    if (messages_.empty() || !messages_.front().shown || messages_.front().certificate) return;
    PendingMessage m = std::move(messages_.front());
    messages_.pop_front();
    bool positive = true;
    if (m.message.buttons == MessageButtons::OkCancel) positive = answer == MessageAnswer::Ok;
    if (m.message.buttons == MessageButtons::RetryCancel) positive = answer == MessageAnswer::Retry;
    if (m.handler && !ending_) m.handler(positive);
    showNext();
    runDeferred();
}

void SessionDriver::answerTrust(bool trust) {
    if (messages_.empty() || !messages_.front().shown || !messages_.front().certificate) return;
    PendingMessage m = std::move(messages_.front());
    messages_.pop_front();
    if (m.handler && !ending_) m.handler(trust);
    showNext();
    runDeferred();
}

void SessionDriver::defer(std::function<void()> action) {
    // A flood of requests while a message is open is cut, not stored.
    if (deferred_.size() >= kMaxDeferred) return;
    deferred_.push_back(std::move(action));
}

void SessionDriver::runDeferred() {
    if (runningDeferred_) return;
    runningDeferred_ = true;
    while (!deferred_.empty() && !modalOpen() && !ending_) {
        auto action = std::move(deferred_.front());
        deferred_.pop_front();
        action();
    }
    runningDeferred_ = false;
}

void SessionDriver::stopTimer(Scheduler::TimerId& id) {
    if (id == 0) return;
    scheduler_.stopTimer(id);
    id = 0;
}

char SessionDriver::idChar() const {
    const int i = identity_.index();
    if (i < 0 || i >= static_cast<int>(kIdChars.size())) return '?';
    return kIdChars[static_cast<std::size_t>(i)];
}

}  // namespace cedar
