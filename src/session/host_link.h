// The session's link to its host: one connection at a time, the Telnet layer
// on its received bytes and the send path on its socket. Runs on the session
// thread; the connection's own thread never touches the session.
#pragma once

#include <memory>
#include <string>

#include "host/connection.h"
#include "host/host_sender.h"
#include "host/protocol_state.h"
#include "host/telnet_layer.h"
#include "host/trace.h"
#include "screen/host_screen.h"
#include "screen/inbound.h"
#include "screen/message_titles.h"
#include "screen/structured_fields.h"
#include "session/session.h"
#include "session/session_transfer.h"

namespace cedar {

// What the link tells the user interface (message boxes, status line) and
// the session driver. Each failure has a callback of its own; by default
// each shows its message through showError with its title.
class LinkUi {
  public:
    virtual ~LinkUi() = default;
    // A message that needs no decision (the device type was rejected).
    virtual void showError(const std::string& /*title*/, const std::string& /*text*/) {}
    // Name resolution or the TCP connect failed; the connection is gone.
    virtual void connectFailed(const std::string& text) { showError(title::kConnectError, text); }
    // TLS set-up, the handshake or the certificate check failed; the
    // connection is gone.
    virtual void tlsFailed(const std::string& text) { showError(title::kTlsError, text); }
    // The host certificate failed verification; the user may trust it for
    // its host and port (see certificate_trust.h). The connection is gone.
    virtual void certificateFailed(const std::string& text, const CertificateDetails& /*details*/) {
        tlsFailed(text);
    }
    // A send failed (`error` a socket_error number; `text` empty for a
    // keep-alive). hostClosed() follows: no send can succeed again.
    virtual void sendFailed(int /*error*/, const std::string& text) {
        if (!text.empty()) showError(title::kSendError, text);
    }
    // The first data of the connection's first record arrived (Telnet
    // negotiation alone does not count); once per connection.
    virtual void firstRecord() {}
    virtual void statusChanged() {}
    virtual void screenChanged() {}
    // The host ended the connection (or it broke); the driver decides what
    // follows. The status is NOTCONNECTED, or REJECTED when the host had
    // refused the device type.
    virtual void hostClosed() {}
    virtual void connected(const ConnectionInfo& /*info*/) {}
};

class HostLink : private ConnectionEvents,
                 private TelnetEvents,
                 private SendEvents,
                 private InboundSender {
  public:
    HostLink(Session& session, Connector& connector, Scheduler& scheduler, LinkUi& ui);
    ~HostLink() override;

    // Starts a connection (ending any previous one first).
    void connect(const ConnectionOptions& options, const TelnetConfig& telnet);
    // Ends the connection quietly.
    void disconnect();
    bool connected() const { return connection_ != nullptr; }
    // Leaves line mode (the unformatted mode every connection starts in,
    // RFC 854 NVT) once the connection is over: keys act on the 3270 screen
    // again. The next connection starts in line mode anew.
    void leaveLineMode() { protocol_.lineMode = false; }

    HostSender& sender() { return sender_; }
    // Builds what the terminal sends: attention keys' replies, read replies.
    InboundBuilder& inbound() { return inbound_; }
    StructuredFields& structuredFields() { return structuredFields_; }
    // The IND$FILE transfer's answers to the host go through this link.
    SessionTransfer& transfer() { return transfer_; }
    // Every block received, record applied and frame sent goes to `trace`
    // (replies with non-display fields masked); nullptr: none.
    void setTrace(Trace* trace) { trace_ = trace; }
    const ProtocolState& protocol() const { return protocol_; }
    const ConnectionInfo& info() const { return info_; }

    // Bytes that went straight onto the connection (an attention key's
    // Telnet command, a line-mode character): into the trace as sent data.
    void traceRawSent(std::span<const std::uint8_t> bytes);
    // What the operator typed in line mode, shown on the line-mode screen
    // while the host does not echo (RFC 857).
    void echoLineMode(std::span<const std::uint8_t> bytes);

  private:
    // ConnectionEvents
    void connectionUp(const ConnectionInfo& info) override;
    void dataReceived(std::span<const std::uint8_t> block) override;
    void hostClosed() override;
    void connectFailed(const std::string& message) override;
    void tlsFailed(const std::string& message) override;
    void certificateFailed(const std::string& message, const CertificateDetails& details) override;
    void sendFailed(int error) override;
    // TelnetEvents
    void sendRaw(std::span<const std::uint8_t> bytes) override;
    void firstRecord() override;
    void deviceRejected(std::uint8_t reason, const std::string& message) override;
    void recordApplied(std::span<const std::uint8_t> record, const RecordOrigin& origin) override;
    void commandReceived(std::span<const std::uint8_t> command) override;
    void recordDropped(std::size_t length) override;
    void refreshDisplay() override;
    // SendEvents
    void sendFailed(int error, const std::string& message) override;
    void traceSent(std::span<const std::uint8_t> frame) override;
    // InboundSender
    void sendAid(Bytes record, Bytes traceCopy) override;
    void sendRecord(Bytes record, Bytes traceCopy) override;
    bool sscpLuMode() const override { return protocol_.sscpLuMode; }

    void ended();

    Session& session_;
    Connector& connector_;
    Scheduler& scheduler_;
    LinkUi& ui_;
    ProtocolState protocol_;
    HostScreen hostScreen_;
    TelnetLayer telnet_;
    HostSender sender_;
    InboundBuilder inbound_;
    InboundReadReplies readReplies_;
    StructuredFields structuredFields_;
    SessionTransfer transfer_;
    std::unique_ptr<Connection> connection_;
    Trace* trace_ = nullptr;
    ConnectionInfo info_;
};

}  // namespace cedar
