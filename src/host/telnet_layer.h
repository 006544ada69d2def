// Cuts the host's byte stream into Telnet commands and 3270 records: answers
// option negotiation (RFC 854/855: BINARY, TERMINAL-TYPE per RFC 1091,
// END-OF-RECORD per RFC 885, TN3270E per RFC 2355 with DEVICE-TYPE and
// FUNCTIONS), undoubles 0xFF, strips and applies the TN3270E header and hands
// each record, and the session events the headers and options report, to a
// HostDataSink (the screen's side).
//
// Bytes may arrive in blocks of any size: a command or record cut between
// blocks is completed by the next one, so feeding a stream one byte at a time
// gives the same records and replies as feeding it whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/protocol_state.h"
#include "screen/code_pages.h"
#include "screen/host_screen.h"
#include "screen/session_status.h"

namespace cedar {

// What the Telnet layer needs from the rest of the session.
class TelnetEvents {
  public:
    virtual ~TelnetEvents() = default;
    // Replies and responses, sent unframed.
    virtual void sendRaw(std::span<const std::uint8_t> bytes) = 0;
    // The first record of the connection began (starts the session's start-up timer).
    virtual void firstRecord() {}
    // The server refused the device type (RFC 2355 DEVICE-TYPE REJECT).
    virtual void deviceRejected(std::uint8_t /*reason*/, const std::string& /*message*/) {}
    // A record or line of line-mode data was applied; repaint.
    virtual void refreshDisplay() {}
    // A Telnet command as it was consumed (IAC and what follows), for the trace.
    virtual void commandReceived(std::span<const std::uint8_t> /*command*/) {}
    // A record was dropped (too large); for the trace.
    virtual void recordDropped(std::size_t /*length*/) {}
    // A whole record as it is handed on (after header stripping), for the trace.
    virtual void recordApplied(std::span<const std::uint8_t> /*record*/,
                               const RecordOrigin& /*origin*/) {}
};

struct TelnetConfig {
    bool tn3270eAllowed = true;
    std::string luName;  // at most 17 bytes
};

class TelnetLayer {
  public:
    // A record may grow to this size; a longer one is dropped.
    static constexpr std::size_t kMaxRecord = 1 << 20;
    static constexpr std::size_t kMaxSubnegotiation = 4096;

    // `codePages` only translates the LU names of a BIND image.
    TelnetLayer(ProtocolState& state, const CodePages& codePages, SessionStatus& status,
                HostDataSink& screen, TelnetEvents& events);

    void setConfig(const TelnetConfig& config) { config_ = config; }
    // The terminal type to announce (from the selected model).
    void setTerminalType(const std::string& type);

    // A new connection starts: every protocol state back to its start.
    void connectionStarted();
    // One received block.
    void dataReceived(std::span<const std::uint8_t> block);

    // The message for a DEVICE-TYPE REJECT reason code.
    static std::string rejectMessage(std::uint8_t reason);

  private:
    enum class State { Data, Iac, Option, Sub, SubIac };

    void command(std::uint8_t cmd);
    void option(std::uint8_t verb, std::uint8_t opt);
    void subnegotiation();
    void terminalTypeSubnegotiation();
    void tn3270eSubnegotiation();
    void leaveTn3270e();
    void endOfRecord();
    void applyHeader(std::vector<std::uint8_t>& record);
    void agree(std::uint8_t verb, std::uint8_t opt);
    void reply(std::initializer_list<std::uint8_t> bytes);
    void reply(const std::vector<std::uint8_t>& bytes);
    void flushReplies();
    void dataBytes(const std::uint8_t* bytes, std::size_t n);

    ProtocolState& state_;
    const CodePages& codePages_;
    SessionStatus& status_;
    HostDataSink& screen_;
    TelnetEvents& events_;
    TelnetConfig config_;

    State scan_ = State::Data;
    std::uint8_t verb_ = 0;
    bool recordOpen_ = false;
    bool recordTooLarge_ = false;
    std::size_t droppedLength_ = 0;
    std::vector<std::uint8_t> record_;
    std::vector<std::uint8_t> sub_;
    bool subTooLarge_ = false;
    std::vector<std::uint8_t> replies_;
};

}  // namespace cedar
