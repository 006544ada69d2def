// Host connections over POSIX TCP sockets, encrypted through OpenSSL 3 when the
// host entry asks for TLS.
//
//   cedar::TcpConnector connector;
//   auto connection = connector.connect(options, events, scheduler);
//   ...                      // events arrive on the scheduler's thread
//   connection->send(bytes);  // from that thread
//   connection->close();      // or destroy it: no event follows
//
// Each connect() starts one thread that resolves the name (getaddrinfo), tries
// the addresses in the resolver's order, runs the TLS handshake and then reads
// blocks of up to kBlockSize bytes. Every block is handed to the scheduler's
// thread and the reader waits until events.dataReceived() has returned or the
// connection was closed. close() and the destructor wake the thread wherever
// it waits and join it; only while getaddrinfo() runs can that take as long as
// the resolver does.
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

    std::unique_ptr<Connection> connect(const ConnectionOptions& options, ConnectionEvents& events,
                                        Scheduler& scheduler) override;
};

}  // namespace cedar
