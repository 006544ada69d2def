// The host connection as the session sees it: started and closed from the
// session thread; bytes, the end of the connection and failures reported back
// on the session thread. The socket and TLS work is the platform's
// (platform/tcp_connection.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "host/certificate_trust.h"
#include "host/scheduler.h"

namespace cedar {

// TLS choices of a host entry.
enum class Encryption : std::uint8_t {
    None = 0,
    Highest = 1,
    Tls10 = 2,
    Tls11 = 3,
    Tls12 = 4,
};

struct ConnectionOptions {
    std::string host;  // a name, an IPv4 literal, or "[IPv6 literal]"
    std::uint16_t port = 23;
    Encryption encryption = Encryption::None;
    std::string caFile;          // PEM, full path ("" = none)
    std::string clientCertFile;  // PEM, full path
    std::string clientKeyFile;   // PEM, full path
    bool validateHostCertificate = true;
    bool hostNameMustMatch = true;
    int setSockOpt = 3;        // bit 0 SO_KEEPALIVE, bit 1 SO_OOBINLINE
    std::string cipherList;    // TLS 1.2 and below
    std::string cipherSuites;  // TLS 1.3
    // The trusted fingerprints (certificate_trust.h; "" = none): a host and
    // port listed there must present exactly that certificate, and then
    // needs no other verification.
    std::string trustFile;
};

// What a connection found out once it was up.
struct ConnectionInfo {
    std::string peerAddress;  // numeric
    int ipVersion = 4;        // 4 or 6
    bool tls = false;
    std::string tlsProtocol;  // "TLSv1.3", ...
    std::string tlsCipher;
    int tlsCipherBits = 0;
    std::string tlsNote;  // e.g. the security level lowered for TLS 1.0/1.1
    std::string peerSubject;
    std::string peerIssuer;
};

// Reported on the session thread, never from the connection's own thread.
class ConnectionEvents {
  public:
    virtual ~ConnectionEvents() = default;
    virtual void connectionUp(const ConnectionInfo& info) = 0;
    // One received block, in the order the host sent them.
    virtual void dataReceived(std::span<const std::uint8_t> block) = 0;
    // The host closed the connection or a read failed. The connection is over.
    virtual void hostClosed() = 0;
    // Queued bytes could not be sent: the connection broke (`error` a
    // socket_error number) or the host took none of them for the send
    // time-out (kTimedOut). The connection is over; no hostClosed follows.
    virtual void sendFailed(int error) = 0;
    // Name resolution or TCP connect failed ("Connection Error 2").
    virtual void connectFailed(const std::string& message) = 0;
    // TLS set-up, handshake or certificate check failed ("Connection Error 6").
    virtual void tlsFailed(const std::string& message) = 0;
    // The host certificate failed verification and may be trusted by the
    // user for this host and port from now on (a new connection then).
    virtual void certificateFailed(const std::string& message,
                                   const CertificateDetails& /*details*/) {
        tlsFailed(message);
    }
};

// Windows Sockets error numbers, which users and documentation know; the
// platform maps its own errors onto them.
namespace socket_error {
constexpr int kNotSocket = 10038;        // WSAENOTSOCK: no connection
constexpr int kNetUnreachable = 10051;   // WSAENETUNREACH
constexpr int kConnReset = 10054;        // WSAECONNRESET
constexpr int kTimedOut = 10060;         // WSAETIMEDOUT
constexpr int kConnRefused = 10061;      // WSAECONNREFUSED
constexpr int kHostUnreachable = 10065;  // WSAEHOSTUNREACH
constexpr int kHostNotFound = 11001;     // WSAHOST_NOT_FOUND
constexpr int kTryAgain = 11002;         // WSATRY_AGAIN
constexpr int kNoRecovery = 11003;       // WSANO_RECOVERY
constexpr int kNoData = 11004;           // WSANO_DATA
}  // namespace socket_error

struct SendResult {
    bool ok = true;
    int error = 0;  // a socket_error number when !ok
};

// One connection attempt. Destroying it cancels and joins its thread.
class Connection {
  public:
    virtual ~Connection() = default;
    // Session thread. Queues `data` to be written (through TLS when active)
    // after everything sent before, and returns at once. Fails here only when
    // there is no connection to send on (kNotSocket, or the error it broke
    // with); a failure while writing is reported by events.sendFailed.
    virtual SendResult send(std::span<const std::uint8_t> data) = 0;
    // Session thread. Ends the connection quietly: no event follows.
    virtual void close() = 0;
};

class Connector {
  public:
    virtual ~Connector() = default;
    // Starts connecting on a thread of its own; events go through `scheduler`
    // to `events` until the connection is closed or destroyed.
    virtual std::unique_ptr<Connection> connect(const ConnectionOptions& options,
                                                ConnectionEvents& events, Scheduler& scheduler) = 0;
};

// Splits "host:port", "[v6]:port", "host" and "[v6]". The port must be 1..65535.
struct HostPort {
    std::string host;
    std::uint16_t port = 0;  // 0 when the text named none
};
bool parseHostPort(const std::string& text, HostPort& out, std::string& error);

}  // namespace cedar
