#include "session/host_link.h"

#include <algorithm>

namespace cedar {

HostLink::HostLink(Session& session, Connector& connector, Scheduler& scheduler, LinkUi& ui)
    : session_(session),
      connector_(connector),
      scheduler_(scheduler),
      ui_(ui),
      hostScreen_(session.screen, session.records, session.codePages, session.status),
      telnet_(protocol_, session.codePages, session.status, hostScreen_, *this),
      sender_(protocol_, scheduler, *this),
      inbound_(session.screen, session.codePages, *this),
      readReplies_(inbound_, session.records),
      structuredFields_(session.screen, session.records, session.codePages, session.status, *this),
      transfer_(session, sender_, structuredFields_) {
    // The host's read commands and structured fields are answered through
    // this link.
    RecordHooks hooks = session.records.hooks();
    hooks.reads = &readReplies_;
    hooks.structuredFields = &structuredFields_;
    session.records.setHooks(hooks);
    transfer_.setStatusChanged([this] { ui_.statusChanged(); });
}

HostLink::~HostLink() {
    disconnect();
}

void HostLink::connect(const ConnectionOptions& options, const TelnetConfig& telnet) {
    disconnect();
    session_.screen.eraseScreen(SizeMode::Default);
    const auto index = static_cast<std::size_t>(std::clamp(session_.options.modelIndex, 0, 4));
    telnet_.setConfig(telnet);
    telnet_.setTerminalType(session_.models[index].terminalType);
    telnet_.connectionStarted();
    session_.codePages.translationMode = TranslationMode::Tables;
    session_.aid.outstanding = false;
    sender_.connectionStarted();
    session_.status = SessionStatus::Connecting;
    ui_.statusChanged();
    info_ = {};
    connection_ = connector_.connect(options, *this, scheduler_);
    sender_.setConnection(connection_.get());
}

void HostLink::disconnect() {
    sender_.connectionEnded();
    sender_.setConnection(nullptr);
    if (connection_) {
        connection_->close();
        connection_.reset();
    }
}

void HostLink::ended() {
    sender_.connectionEnded();
    sender_.setConnection(nullptr);
    if (!connection_) return;
    // This may run inside one of the connection's own events: close it now,
    // destroy it once that event has returned.
    connection_->close();
    std::shared_ptr<Connection> retired(std::move(connection_));
    scheduler_.post([retired] {});
}

void HostLink::connectionUp(const ConnectionInfo& info) {
    info_ = info;
    ui_.connected(info);
}

void HostLink::dataReceived(std::span<const std::uint8_t> block) {
    if (trace_ != nullptr) trace_->trace(TraceType::RawBlock, block);
    telnet_.dataReceived(block);
    ui_.statusChanged();
}

void HostLink::hostClosed() {
    ended();
    // A host that refused the device type closes next: REJECTED stays on.
    if (session_.status != SessionStatus::Rejected) session_.status = SessionStatus::NotConnected;
    ui_.statusChanged();
    ui_.hostClosed();
}

void HostLink::connectFailed(const std::string& message) {
    ended();
    session_.status = SessionStatus::NotConnected;
    ui_.statusChanged();
    ui_.connectFailed(message);
}

void HostLink::tlsFailed(const std::string& message) {
    ended();
    session_.status = SessionStatus::NotConnected;
    ui_.statusChanged();
    ui_.tlsFailed(message);
}

void HostLink::certificateFailed(const std::string& message, const CertificateDetails& details) {
    ended();
    session_.status = SessionStatus::NotConnected;
    ui_.statusChanged();
    ui_.certificateFailed(message, details);
}

void HostLink::sendFailed(int error) {
    // Reported like a send that failed at once: the message, then the
    // host-closed path (through sendFailed(int, message) below).
    sender_.queuedSendFailed(error);
    if (connection_) hostClosed();
}

void HostLink::sendRaw(std::span<const std::uint8_t> bytes) {
    sender_.sendRaw(bytes);
    traceRawSent(bytes);
}

void HostLink::firstRecord() {
    ui_.firstRecord();
}

void HostLink::traceRawSent(std::span<const std::uint8_t> bytes) {
    if (trace_ != nullptr) trace_->trace(TraceType::DataSent, bytes);
}

void HostLink::echoLineMode(std::span<const std::uint8_t> bytes) {
    hostScreen_.applyLineModeData(bytes);
    refreshDisplay();
}

void HostLink::deviceRejected(std::uint8_t, const std::string& message) {
    ui_.statusChanged();
    ui_.showError(title::kDeviceRejected, message);
}

void HostLink::recordApplied(std::span<const std::uint8_t> record, const RecordOrigin&) {
    if (trace_ != nullptr) trace_->trace(TraceType::RecordReceived, record);
}

void HostLink::commandReceived(std::span<const std::uint8_t> command) {
    if (trace_ != nullptr) trace_->trace(TraceType::TelnetCommand, command);
}

void HostLink::recordDropped(std::size_t length) {
    if (trace_ != nullptr) trace_->note(recordDroppedText(length, TelnetLayer::kMaxRecord));
}

void HostLink::traceSent(std::span<const std::uint8_t> frame) {
    if (trace_ != nullptr) trace_->trace(TraceType::DataSent, frame);
}

void HostLink::refreshDisplay() {
    ui_.screenChanged();
}

void HostLink::sendFailed(int error, const std::string& message) {
    ui_.sendFailed(error, message);
    // No send can succeed on this connection again: take the host-closed path.
    if (connection_) hostClosed();
}

void HostLink::sendAid(Bytes record, Bytes traceCopy) {
    sender_.sendAid(record, HostSender::kReallySend | HostSender::kTrace, traceCopy);
}

void HostLink::sendRecord(Bytes record, Bytes traceCopy) {
    sender_.sendRecord(record, HostSender::kReallySend | HostSender::kTrace, traceCopy);
}

}  // namespace cedar
