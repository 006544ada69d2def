// What the session driver (session_driver.h) needs from the rest of the
// program, each behind a small interface: the connection, the user interface
// (message boxes, the SESSION dialog, the window), the session file, the
// program settings, the macro interpreter and the session's place among the
// other sessions. Every method that has a sensible "nothing" has a do-nothing
// default, so a program or a test implements only what it has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/certificate_trust.h"
#include "screen/message_titles.h"
#include "sessionfile/session_file.h"
#include "sessionfile/session_options.h"

namespace cedar {

// Why the current connection was requested. Only User reports a connect
// time-out to the user.
enum class ConnectMode : std::uint8_t {
    User = 1,           // the user, start-up, a Retry
    AutoReconnect = 2,  // the host ended the connection and AUTORECONNECT is on
};

// Requests that other processes post to a session (with the request text in
// the session's common-area slot for the two macro requests).
namespace request {
constexpr int kRefreshWindowList = 0x400;  // REQ_REFRESH_WINDOW_LIST
constexpr int kShutdown = 0x403;           // REQ_SHUTDOWN
constexpr int kRunMacroFile = 0x410;       // REQ_RUN_MACRO_FILE
constexpr int kRunMacroText = 0x411;       // REQ_RUN_MACRO_TEXT

// The request field of a common-area slot: 260 bytes, a NUL-terminated text
// of at most 259 characters.
constexpr std::size_t kFieldSize = 260;
// The longest macro text a REQ_RUN_MACRO_TEXT may carry.
constexpr std::size_t kMaxMacroText = 1000;
}  // namespace request

// What the connection tells the driver (SessionDriver implements it; the
// link adapter calls it on the session thread).
class LinkEvents {
  public:
    virtual ~LinkEvents() = default;
    // The first block of data of a connection arrived.
    virtual void firstRecordArrived() = 0;
    // The host ended the connection (or it broke). The session's status is
    // the one in force when it ended (REJECTED included).
    virtual void hostClosed() = 0;
    // Name resolution or the TCP connect failed: the text to show.
    virtual void connectionError(const std::string& text) = 0;
    // The connection failed in another way and is gone (TLS set-up or
    // certificate check): title and text to show, OK only.
    virtual void connectionFailed(const std::string& title, const std::string& text) = 0;
    // The host certificate failed verification ("Connection Error 6"); the
    // user may trust it for its host and port. The connection is gone.
    virtual void certificateFailed(const std::string& text, const CertificateDetails& /*details*/) {
        connectionFailed(title::kTlsError, text);
    }
    // A message about the connection that needs no decision (device type
    // rejected, a send that failed): OK only.
    virtual void linkMessage(const std::string& title, const std::string& text) = 0;
};

// The connection as the driver drives it (HostLink in the program, see
// host_link_control.h).
class LinkControl {
  public:
    virtual ~LinkControl() = default;
    // Where connection events go (nullptr: nowhere).
    virtual void setEvents(LinkEvents* events) = 0;
    // Starts a connection to what the session record names, ending any
    // previous one first. Sets the status to CONNECTING; failures come later
    // through LinkEvents.
    virtual void start(const sessionfile::SessionOptions& record) = 0;
    // Ends the connection quietly: no event follows.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The connection runs under TLS (cleared when it ends).
    virtual bool secure() const = 0;
    virtual void clearSecure() = 0;
    // Leaves line mode (the unformatted mode a Telnet connection starts in).
    virtual void leaveLineMode() = 0;
    // The once-a-second keep-alive step; `connected`: status CONNECTED or above.
    virtual void secondTick(bool connected) = 0;
};

// Message boxes the driver shows. The answer comes back through
// SessionDriver::answer(), at once or later.
enum class MessageIcon : std::uint8_t { Warning, Question, Information, Stop, None };
enum class MessageButtons : std::uint8_t { Ok, OkCancel, RetryCancel };
enum class MessageAnswer : std::uint8_t { Ok, Cancel, Retry };

struct DriverMessage {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::Warning;
    MessageButtons buttons = MessageButtons::Ok;
    bool operator==(const DriverMessage&) const = default;
};

// The user interface side: message boxes, the SESSION dialog, the window.
class DriverUi {
  public:
    virtual ~DriverUi() = default;
    // Shows one message box; the user's answer goes to SessionDriver::answer().
    // The driver shows one at a time. Without a user to ask, answer Cancel.
    virtual void showMessage(const DriverMessage& /*message*/) = 0;
    // Opens the SESSION dialog, preselecting `rememberedSessionFile` when it
    // is not empty; its end goes to SessionDriver::sessionDialogClosed().
    // Without a dialog, report it cancelled.
    virtual void openSessionDialog(const std::string& /*rememberedSessionFile*/) = 0;
    // Asks whether to trust a host certificate that failed verification for
    // its host and port from now on ("Trust this certificate" / "Cancel").
    // True when the question is (or was) put: the answer then goes to
    // SessionDriver::answerTrust(), at once or later. False when there is
    // no one to ask, which the driver takes as Cancel.
    virtual bool askTrustCertificate(const CertificateDetails& /*details*/) { return false; }

    // Repaint the status line / the terminal area.
    virtual void statusChanged() {}
    virtual void screenChanged() {}
    // A connection was requested and started: lay out the child windows,
    // reload the keyboard map, set the title, refresh the fonts and the
    // icon, size and show the window.
    virtual void connectionRequested() {}
    // Show the main window (Cancel after a connect time-out).
    virtual void showWindow() {}
    // Every 166 ms tick, `tick` 0..5: the blink steps (text blink when the
    // screen has blinking text, cursor blink when the window has the focus).
    virtual void tick(int /*tick*/) {}
    // Once a second, after the driver's own work: the print countdown.
    virtual void everySecond() {}
    // Once a second: expand the title template and set it when it differs.
    virtual void refreshTitle() {}
    // Ask for the window to be closed (SessionDriver::close() follows).
    virtual void requestClose() {}
    // The window goes away (the close was allowed).
    virtual void destroyWindow() {}
    // End of the session: free the palette, pens and fonts.
    virtual void releaseResources() {}
    // The session is over: leave the event loop with `code`.
    virtual void quit(int /*code*/) {}
};

// The session file, loaded and saved by the session file module's rules.
class SessionFileStore {
  public:
    virtual ~SessionFileStore() = default;
    // Loads `name` into `file`; false (and `file` unchanged) when it cannot
    // be loaded, after telling the user why.
    virtual bool load(const std::string& name, sessionfile::SessionFile& file) = 0;
    virtual bool save(sessionfile::SessionFile& file, sessionfile::SaveMode mode,
                      bool explicitSave) = 0;
    // Copies standard.ses to standard.ses.backup (only a sound standard.ses).
    virtual void refreshStandardBackup() = 0;
};

// cedar.ini as the driver uses it after start-up.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // Writes LastSession.
    virtual void writeLastSession(const std::string& /*name*/) {}
    // ShutDownMacro as cedar.ini holds it now (read at every close request).
    virtual std::string shutDownMacro() { return {}; }
};

// The macro interpreter as the driver starts and wakes it.
class MacroRunner {
  public:
    virtual ~MacroRunner() = default;
    // 0 idle, 1 recording, 2 running, 3 paused, 4 waiting for a condition,
    // 5 timed wait.
    virtual std::uint8_t state() const { return 0; }
    // The name runFile() last played.
    virtual std::string currentName() const { return {}; }
    // Makes `name` the current macro name and plays that macro file; false
    // when no macro can be played (none of this kind exists here), so that
    // a caller waiting for the macro does not wait for ever.
    virtual bool runFile(const std::string& /*name*/) { return false; }
    // Plays macro statements given as text.
    virtual void runText(const std::string& /*text*/) {}
    // The StartupMacro key function: plays the session's STARTUPMACRO.
    virtual void runStartupMacro() {}
    // The macro wait timer ran out: clear the waiting mark; report macro
    // error 0x801F (state 4) or let the macro go on.
    virtual void clearWaitMark() {}
    virtual void reportWaitTimeout() {}
    virtual void resume() {}
};

// The session's place among the running sessions (the common area).
class SessionIdentity {
  public:
    static constexpr int kNoIndex = 255;
    virtual ~SessionIdentity() = default;
    // 0..35 ("A".."Z", "0".."9"), or kNoIndex when no id was claimed.
    virtual int index() const { return kNoIndex; }
    // The request field of the own slot as it is now (kFieldSize bytes), or
    // nothing when the common area cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> requestField() const { return {}; }
    // Rebuilds the window list; `endingWindow`: a session that is ending, or 0.
    virtual void refreshWindowList(std::uintptr_t /*endingWindow*/) {}
    // Frees the own slot, tells the other sessions, closes the common area.
    virtual void release() {}
};

}  // namespace cedar
