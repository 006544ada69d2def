// A TCP relay for tests, between a client and a loopback test host, that
// ends connections where the test says: after a given number of the host's
// bytes has reached the client (any point of the Telnet negotiation or of a
// record, down to the byte), with an orderly close or a reset, or at once.
// It relays one connection at a time; the host behind it sees the relay's
// own connection end as the client going away.
//
// A reset is held back until the client has sent something on the
// connection or 50 ms have passed since it was accepted: TcpConnector takes
// a reset that overtakes its check of the finished connect() for a failed
// connect, which is another case than the host ending a connection.
//
// The relay runs on its own thread; stop() (also run by the destructor)
// wakes it, closes every socket and joins it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>

namespace cedar::test {

class CuttingProxy {
  public:
    explicit CuttingProxy(int upstreamPort) : upstreamPort_(upstreamPort) {}
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    // Binds 127.0.0.1 port 0 and starts the thread.
    bool start();
    void stop();
    int port() const { return port_; }

    // The next connection ends once `hostBytes` bytes of the host have been
    // passed to the client (0: before the first byte).
    void cutNext(std::size_t hostBytes, bool reset);
    // Ends the current connection now (orderly).
    void cutCurrent();

    // Connections accepted so far; host bytes passed on the current one.
    int connections() const;
    std::size_t hostBytes() const;

  private:
    struct Cut {
        std::size_t after = 0;
        bool reset = false;
    };
    void run();
    void wake();
    void closePair(bool reset);
    // The cut point is reached.
    void cutReached();

    int upstreamPort_;
    int port_ = 0;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_ = false;

    // Thread only.
    int client_ = -1;
    int upstream_ = -1;
    std::optional<Cut> cut_;
    bool clientSpoke_ = false;
    bool holding_ = false;  // the cut point is reached, the reset waits
    std::chrono::steady_clock::time_point resetDue_;

    mutable std::mutex mutex_;
    std::optional<Cut> nextCut_;
    bool cutNow_ = false;
    int connections_ = 0;
    std::size_t hostBytes_ = 0;

    std::thread thread_;  // last
};

}  // namespace cedar::test
