// The host's side of a TN3270 or TN3270E connection, without sockets: what
// to send first, the answers to the client's negotiation, the client's 3270
// records cut from its bytes, and host records framed for the wire.
//
// TN3270E (RFC 2355): DO TN3270E, SEND DEVICE-TYPE, DEVICE-TYPE IS with
// CONNECT, then the FUNCTIONS exchange (we keep RESPONSES at most, so no
// BIND image or SYSREQ follow). A client that says WONT TN3270E, or a host
// that does not offer it, gets TN3270 (RFC 1576): TERMINAL-TYPE (RFC 1091),
// END-OF-RECORD (RFC 885) and BINARY (RFC 856) both ways.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cedar::hostside {

using Bytes = std::vector<std::uint8_t>;

struct Terminal {
    std::string type;    // "IBM-3278-2-E", ...
    std::string luName;  // TN3270E: the device name the session is connected to
    bool tn3270e = false;
    int model = 2;  // 2 to 5 from the type; 2 when it names none
    // The alternate screen size of the model (the default size is 24 x 80).
    int alternateRows() const;
    int alternateColumns() const;
};

class Tn3270Server {
  public:
    struct Options {
        bool offerTn3270e = true;
        std::string luName = "CEDARLU1";  // given when the client asks for none
    };
    explicit Tn3270Server(Options options);

    Bytes greeting() const;
    // The client's bytes; returns what to send back. Complete 3270 records
    // collect in takeRecords().
    Bytes receive(std::span<const std::uint8_t> bytes);
    std::vector<Bytes> takeRecords();
    // Negotiation is complete: 3270 records may flow.
    bool ready() const { return ready_; }
    // The client refused what a 3270 session needs; `error` says what.
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    const Terminal& terminal() const { return terminal_; }
    // A host record as it goes on the wire: the TN3270E header when in
    // TN3270E mode, every 0xFF doubled, IAC EOR after it.
    Bytes frame(std::span<const std::uint8_t> record);

  private:
    enum class State : std::uint8_t { Data, Iac, Command, Sub, SubIac };
    void command(std::uint8_t verb, std::uint8_t option, Bytes& out);
    void subnegotiation(Bytes& out);
    void tn3270eSub(Bytes& out);
    void startTn3270(Bytes& out);
    void checkTn3270Ready();
    void endRecord();

    Options options_;
    Terminal terminal_;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Bytes sub_;
    Bytes record_;
    std::vector<Bytes> records_;
    bool ready_ = false;
    bool tn3270Started_ = false;
    // TN3270: what the client agreed to (WILL EOR, DO EOR, WILL BINARY, DO BINARY).
    bool willEor_ = false, doEor_ = false, willBinary_ = false, doBinary_ = false;
    std::uint16_t sequence_ = 0;
    std::string error_;
};

}  // namespace cedar::hostside
