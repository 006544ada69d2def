// Loopback peers for the connection tests: a plain TCP listener run by the
// test itself, `openssl s_server` as a child process, certificates made with
// the `openssl` command, and an event recorder.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/connection.h"
#include "platform/event_loop.h"

namespace cedar::test {

using namespace std::chrono_literals;

// Every wait in these tests ends after this long at the latest.
constexpr std::chrono::milliseconds kWait = 10s;

// An EventLoop (the session thread is the test's thread) that counts posts,
// so that a test can tell when the connection's thread has handed something
// over without running it.
class CountingLoop : public EventLoop {
  public:
    void post(Task task) override;
    bool waitForPosts(int count, std::chrono::milliseconds timeout);
    // Runs everything already posted.
    void drain();

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int posts_ = 0;
};

// Records events in order as short texts: "up", "data", "closed",
// "connectFailed: <text>", "tlsFailed: <text>", "sendFailed: <error>".
class RecordingEvents : public ConnectionEvents {
  public:
    void connectionUp(const ConnectionInfo& info) override;
    void dataReceived(std::span<const std::uint8_t> block) override;
    void hostClosed() override;
    void sendFailed(int error) override;
    void connectFailed(const std::string& message) override;
    void tlsFailed(const std::string& message) override;
    // Logged as "certificateFailed: <text>"; the details kept in `certificate`.
    void certificateFailed(const std::string& message, const CertificateDetails& details) override;

    // True once the connection is up or has failed.
    bool settled() const;
    // True once the connection has ended in any way.
    bool ended() const;
    std::string failure() const;  // the text of connectFailed/tlsFailed, or ""

    std::vector<std::string> log;
    std::optional<ConnectionInfo> info;
    std::optional<CertificateDetails> certificate;
    std::string received;
    std::vector<std::size_t> blockSizes;
    std::function<void()> onData;  // called after each block is recorded
};

// A connected socket of the test's own; closed on destruction.
class PeerSocket {
  public:
    PeerSocket() = default;
    explicit PeerSocket(int fd) : fd_(fd) {}
    PeerSocket(PeerSocket&& other) noexcept;
    PeerSocket& operator=(PeerSocket&& other) noexcept;
    ~PeerSocket();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool sendAll(const std::string& bytes);
    // Reads until `count` bytes arrived, the peer closed, or kWait passed.
    std::string read(std::size_t count);
    // Reads until the peer closes (true) or kWait passed (false); the bytes
    // that came before go to `bytes`.
    bool readUntilClosed(std::string* bytes = nullptr);
    // Closes with a TCP reset (SO_LINGER 0) instead of an orderly FIN.
    void reset();
    void close();

  private:
    int fd_ = -1;
};

// A listening socket on 127.0.0.1 or ::1, port chosen by the system.
class Listener {
  public:
    explicit Listener(bool ipv6 = false);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool ok() const { return fd_ >= 0; }
    std::uint16_t port() const { return port_; }
    PeerSocket accept();  // invalid after kWait without a connection
    void close();

  private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// The number of threads of this process named `name` (/proc/self/task/*/comm).
int threadsNamed(const std::string& name);
// The same once the threads that were joined have gone (bounded wait).
int threadsNamedAfterExit(const std::string& name);

// A loopback port on which nothing listens (bound, then released).
std::uint16_t unusedPort();

// Whether the `openssl` command can be run.
bool haveOpensslCommand();

// Runs `openssl args...`, waiting at most kWait; true when it exited with 0.
bool runOpenssl(const std::vector<std::string>& args);

// `openssl s_server -accept 127.0.0.1:0 -naccept <connections> -rev <args>`
// as a child process: it serves that many connections one after the other,
// echoing each line reversed. Killed and reaped on destruction.
class OpensslServer {
  public:
    explicit OpensslServer(const std::vector<std::string>& args, int connections = 1);
    ~OpensslServer();
    OpensslServer(const OpensslServer&) = delete;
    OpensslServer& operator=(const OpensslServer&) = delete;

    bool ok() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    const std::string& output() const { return output_; }

  private:
    int pid_ = -1;
    int out_ = -1;
    std::uint16_t port_ = 0;
    std::string output_;
};

// Certificates and keys made once per test run in a temporary folder, which
// is removed at exit. All keys are ECDSA P-256.
struct Certificates {
    std::string dir;
    bool ok = false;
    std::string caCert;            // private root CA
    std::string intermediateCert;  // signed by the root
    std::string leafKey;           // the key of every leaf below
    std::string leafCert;          // by the intermediate: CN=localhost, DNS:localhost, IP:127.0.0.1
    std::string expiredCert;       // like leafCert, expired
    std::string wrongNameCert;     // by the intermediate: CN and DNS wrong.example
    std::string selfSignedCert;    // CN=localhost, DNS:localhost, IP:127.0.0.1
    std::string rogueCaCert;       // another root, not trusted by the tests
    std::string rogueLeafCert;     // by the rogue root, names like leafCert
    std::string clientCert;        // by the intermediate, with the intermediate appended
    std::string clientKey;
    std::string rogueClientCert;  // by the rogue root
    std::string notPem;           // a text file that is no PEM at all
};
const Certificates& certificates();

// Makes a self-signed certificate `<name>.pem` in the certificates' folder
// with `subject` (e.g. "/CN=host") and, unless empty, the subjectAltName
// `altNames` (e.g. "DNS:*.example.com"); its path, or "" on failure.
std::string makeSelfSigned(const std::string& name, const std::string& subject,
                           const std::string& altNames);

}  // namespace cedar::test
