// Host connections over POSIX TCP sockets, encrypted through OpenSSL 3 when the
// host entry asks for TLS.
//
//   cedar::TcpConnector connector;
//   auto connection = connector.connect(options, events, scheduler);
//   ...                      // events arrive on the scheduler's thread
//   connection->send(bytes);  // from that thread; returns at once
//   connection->close();      // or destroy it: no event follows
//
// Each connect() starts one thread that resolves the name (getaddrinfo), tries
// the addresses in the resolver's order, runs the TLS handshake and then does
// all of the connection's I/O on a non-blocking socket: it writes what send()
// queued and reads blocks of up to kBlockSize bytes, which it queues for the
// scheduler's thread without waiting for them to be processed (up to
// Limits::maxQueuedBytes; then it stops reading until the session catches
// up). The SSL object is used by that thread alone. close() and the
// destructor wake the thread out of poll() and join it; only while
// getaddrinfo() runs can that take as long as the resolver does.
#pragma once

#include <cstddef>
#include <memory>

#include "host/connection.h"

namespace cedar {

class TcpConnector : public Connector {
  public:
    static constexpr std::size_t kBlockSize = 8000;
    // The name of each connection's thread (as ps and debuggers show it).
    static constexpr const char* kThreadName = "cedar-connect";

    struct Limits {
        // Queued bytes that the host takes none of for this long end the
        // connection with events.sendFailed(kTimedOut).
        int sendTimeoutMs = 60'000;
        // Received bytes waiting for the session thread, at most.
        std::size_t maxQueuedBytes = std::size_t{1} << 20;
    };

    TcpConnector() = default;
    explicit TcpConnector(const Limits& limits) : limits_(limits) {}

    std::unique_ptr<Connection> connect(const ConnectionOptions& options, ConnectionEvents& events,
                                        Scheduler& scheduler) override;

  private:
    Limits limits_;
};

}  // namespace cedar
