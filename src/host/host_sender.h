// Everything that goes to the host leaves here: framed 3270 records (the
// TN3270E header of RFC 2355, 0xFF doubled, IAC EOR per RFC 885), raw Telnet
// commands and byte strings given in hexadecimal (the keyboard's Attn and
// SysReq), and the periodic keep-alive command.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/connection.h"
#include "host/protocol_state.h"
#include "host/scheduler.h"

namespace cedar {

struct SenderSettings {
    int keepAliveTime = 240;       // "KeepAliveTime", seconds; 0 = none
    int keepAliveTimeDisable = 0;  // "KeepAliveTimeDisable", seconds idle; 0 = no limit
    std::uint8_t keepAliveCommand = telnet::kNop;  // "KeepAlive"
};

class SendEvents {
  public:
    virtual ~SendEvents() = default;
    // Bytes really sent or only traced, as they went (framed).
    virtual void traceSent(std::span<const std::uint8_t> /*frame*/) {}
    // A send failed while a connection was wanted: the message to show (empty
    // for a failed keep-alive), then the host-closed handling (reconnect or
    // close, as configured).
    virtual void sendFailed(int /*error*/, const std::string& /*message*/) {}
};

class HostSender {
  public:
    static constexpr int kReallySend = 0x01;
    static constexpr int kTrace = 0x02;

    HostSender(const ProtocolState& state, Scheduler& scheduler, SendEvents& events);

    void setSettings(const SenderSettings& settings) { settings_ = settings; }
    // The connection to send on, or none.
    void setConnection(Connection* connection) { connection_ = connection; }
    // A connection is started: sequence numbers and keep-alive start over.
    void connectionStarted();
    // No connection is wanted any more: failures are no longer reported.
    void connectionEnded() { connectionWanted_ = false; }
    // The connection could not send what was queued on it (`error` a
    // socket_error number): reported like a send that failed at once, without
    // a message when the last thing sent was a keep-alive.
    void queuedSendFailed(int error) { report(error, lastWasKeepAlive_); }

    // `traceCopy`, when given, is what the trace shows instead of `data` (the
    // same record with the characters of non-display fields masked).
    bool sendRecord(std::span<const std::uint8_t> data, int flags = kReallySend | kTrace,
                    std::span<const std::uint8_t> traceCopy = {});
    // sendRecord, then starts the transaction timer.
    bool sendAid(std::span<const std::uint8_t> data, int flags = kReallySend | kTrace,
                 std::span<const std::uint8_t> traceCopy = {});
    bool sendRaw(std::span<const std::uint8_t> data);
    // Pairs of hexadecimal digits, up to 255 bytes; an empty text sends nothing.
    bool sendHexString(const std::string& hex);

    // Once a second (every sixth 166 ms tick). `connected`: status above CONNECTING.
    void secondTick(bool connected);
    // An operator key function restarts keep-alives.
    void operatorActed();

    std::uint16_t sendSequence() const { return sendSequence_; }
    const std::vector<std::uint8_t>& lastSent() const { return lastSent_; }
    std::int64_t transactionStart() const { return transactionStart_; }
    void startTransactionTimer();

  private:
    std::vector<std::uint8_t> frame(std::span<const std::uint8_t> data,
                                    std::uint16_t sequence) const;
    // Sends; a failure ends the connection (once). `quiet`: without a message.
    bool transmit(std::span<const std::uint8_t> frame, bool quiet = false);
    void report(int error, bool quiet);

    const ProtocolState& state_;
    Scheduler& scheduler_;
    SendEvents& events_;
    SenderSettings settings_;
    Connection* connection_ = nullptr;
    bool connectionWanted_ = false;
    bool lastWasKeepAlive_ = false;
    std::uint16_t sendSequence_ = 0;
    std::vector<std::uint8_t> lastSent_;
    std::int64_t transactionStart_ = 0;
    int keepAliveInterval_ = 0;
    int secondsSinceKeepAlive_ = 0;
    int secondsIdle_ = 0;
};

}  // namespace cedar
