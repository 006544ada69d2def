#include "test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "child_process.h"

extern char** environ;

namespace cedar::test {

namespace {

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int msLeft(std::int64_t deadline) {
    return static_cast<int>(std::max<std::int64_t>(0, deadline - nowMs()));
}

// Waits for `events` on `fd` until `deadline`; false on timeout.
bool waitFd(int fd, short events, std::int64_t deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int n = ::poll(&entry, 1, msLeft(deadline));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

// Starts `openssl args...` with its output to `outFd` (or dropped). The pid, or -1.
int spawnOpenssl(const std::vector<std::string>& args, int outFd) {
    std::vector<std::string> argv = {"openssl"};
    argv.insert(argv.end(), args.begin(), args.end());
    SpawnOptions options;
    options.outputFd = outFd;
    return spawnProcess(argv, options);
}

}  // namespace

// ---------------------------------------------------------------------------

void CountingLoop::post(Task task) {
    EventLoop::post(std::move(task));
    {
        std::lock_guard lock(mutex_);
        ++posts_;
    }
    cv_.notify_all();
}

bool CountingLoop::waitForPosts(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return posts_ >= count; });
}

void CountingLoop::drain() {
    for (int i = 0; i < 8; ++i)
        runOnce(0);
}

// ---------------------------------------------------------------------------

void RecordingEvents::connectionUp(const ConnectionInfo& connectionInfo) {
    info = connectionInfo;
    log.push_back("up");
}

void RecordingEvents::dataReceived(std::span<const std::uint8_t> block) {
    received.append(block.begin(), block.end());
    blockSizes.push_back(block.size());
    if (log.empty() || log.back() != "data") log.push_back("data");
    if (onData) onData();
}

void RecordingEvents::hostClosed() {
    log.push_back("closed");
}

void RecordingEvents::sendFailed(int error) {
    log.push_back("sendFailed: " + std::to_string(error));
}

void RecordingEvents::connectFailed(const std::string& message) {
    log.push_back("connectFailed: " + message);
}

void RecordingEvents::tlsFailed(const std::string& message) {
    log.push_back("tlsFailed: " + message);
}

void RecordingEvents::certificateFailed(const std::string& message,
                                        const CertificateDetails& details) {
    log.push_back("certificateFailed: " + message);
    certificate = details;
}

bool RecordingEvents::settled() const {
    for (const auto& entry : log)
        if (entry == "up" || entry.find("Failed: ") != std::string::npos) return true;
    return false;
}

bool RecordingEvents::ended() const {
    for (const auto& entry : log)
        if (entry == "closed" || entry.find("Failed: ") != std::string::npos) return true;
    return false;
}

std::string RecordingEvents::failure() const {
    for (const auto& entry : log) {
        const auto colon = entry.find("Failed: ");
        if (colon != std::string::npos) return entry.substr(colon + 8);
    }
    return {};
}

// ---------------------------------------------------------------------------

PeerSocket::PeerSocket(PeerSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

PeerSocket& PeerSocket::operator=(PeerSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

PeerSocket::~PeerSocket() {
    close();
}

void PeerSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void PeerSocket::reset() {
    const linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

bool PeerSocket::sendAll(const std::string& bytes) {
    const std::int64_t deadline = nowMs() + kWait.count();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFd(fd_, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string PeerSocket::read(std::size_t count) {
    const std::int64_t deadline = nowMs() + kWait.count();
    std::string bytes;
    char buffer[16384];
    while (bytes.size() < count && waitFd(fd_, POLLIN, deadline)) {
        const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool PeerSocket::readUntilClosed(std::string* bytes) {
    const std::int64_t deadline = nowMs() + kWait.count();
    char buffer[16384];
    while (waitFd(fd_, POLLIN, deadline)) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
        if (bytes != nullptr) bytes->append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

// ---------------------------------------------------------------------------

Listener::Listener(bool ipv6) {
    fd_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        length = sizeof(sockaddr_in6);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    }
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close();
        return;
    }
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

Listener::~Listener() {
    close();
}

void Listener::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

PeerSocket Listener::accept() {
    if (fd_ < 0 || !waitFd(fd_, POLLIN, nowMs() + kWait.count())) return {};
    return PeerSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

int threadsNamed(const std::string& name) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error)) {
        std::ifstream comm(it->path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    return count;
}

int threadsNamedAfterExit(const std::string& name) {
    // A joined thread can still be listed for a moment: join() returns when
    // the thread has cleared its id, a little before the kernel removes it.
    const std::int64_t deadline = nowMs() + 1000;
    int count = threadsNamed(name);
    while (count != 0 && nowMs() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        count = threadsNamed(name);
    }
    return count;
}

std::uint16_t unusedPort() {
    Listener listener;
    return listener.port();  // released when `listener` goes
}

// ---------------------------------------------------------------------------

bool haveOpensslCommand() {
    static const bool found = runOpenssl({"version"});
    return found;
}

bool runOpenssl(const std::vector<std::string>& args) {
    return reapProcess(spawnOpenssl(args, -1), kWait) == 0;
}

OpensslServer::OpensslServer(const std::vector<std::string>& args, int connections) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    std::vector<std::string> all = {
        "s_server", "-accept", "127.0.0.1:0", "-naccept", std::to_string(connections), "-rev"};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = spawnOpenssl(all, fds[1]);
    ::close(fds[1]);
    out_ = fds[0];
    if (pid_ < 0) return;

    // s_server prints "ACCEPT 127.0.0.1:<port>" once it listens.
    const std::int64_t deadline = nowMs() + kWait.count();
    char buffer[4096];
    while (waitFd(out_, POLLIN, deadline)) {
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) break;
        output_.append(buffer, static_cast<std::size_t>(n));
        const auto accept = output_.find("ACCEPT 127.0.0.1:");
        const auto end = accept == std::string::npos ? accept : output_.find('\n', accept);
        if (end != std::string::npos) {
            port_ = static_cast<std::uint16_t>(std::atoi(output_.c_str() + accept + 17));
            break;
        }
    }
}

OpensslServer::~OpensslServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) ::close(out_);
}

// ---------------------------------------------------------------------------

namespace {

Certificates makeCertificates() {
    Certificates c;
    if (!haveOpensslCommand()) return c;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/cedar-platform-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return c;
    c.dir = pattern;
    const auto path = [&](const char* name) { return c.dir + "/" + name; };
    const auto write = [](const std::string& file, const std::string& text) {
        std::ofstream(file) << text;
    };

    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
    const auto root = [&](const std::string& cert, const std::string& key,
                          const std::string& subject) {
        std::vector<std::string> args = {"req",     "-x509",
                                         "-keyout", key,
                                         "-out",    cert,
                                         "-subj",   subject,
                                         "-days",   "2",
                                         "-addext", "basicConstraints=critical,CA:TRUE",
                                         "-addext", "keyUsage=critical,keyCertSign,cRLSign"};
        args.insert(args.begin() + 2, newKey.begin(), newKey.end());
        return runOpenssl(args);
    };
    const auto request = [&](const std::string& csr, const std::string& key,
                             const std::string& subject) {
        std::vector<std::string> args = {"req", "-keyout", key, "-out", csr, "-subj", subject};
        args.insert(args.begin() + 1, newKey.begin(), newKey.end());
        return runOpenssl(args);
    };
    int serial = 1;
    const auto sign = [&](const std::string& csr, const std::string& caCert,
                          const std::string& caKey, const std::string& days,
                          const std::string& extensions, const std::string& out) {
        return runOpenssl({"x509", "-req", "-in", csr, "-CA", caCert, "-CAkey", caKey,
                           "-set_serial", std::to_string(++serial), "-days", days, "-extfile",
                           extensions, "-out", out});
    };

    c.caCert = path("ca.pem");
    c.intermediateCert = path("intermediate.pem");
    c.leafKey = path("leaf.key");
    c.leafCert = path("leaf.pem");
    c.expiredCert = path("expired.pem");
    c.wrongNameCert = path("wrong-name.pem");
    c.selfSignedCert = path("self-signed.pem");
    c.rogueCaCert = path("rogue-ca.pem");
    c.rogueLeafCert = path("rogue-leaf.pem");
    c.clientCert = path("client-chain.pem");
    c.clientKey = path("client.key");
    c.rogueClientCert = path("rogue-client.pem");
    c.notPem = path("not-pem.txt");

    write(path("ca.ext"), "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign\n");
    write(path("leaf.ext"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    write(path("wrong.ext"), "subjectAltName=DNS:wrong.example\n");
    write(path("client.ext"), "extendedKeyUsage=clientAuth\n");
    write(c.notPem, "This is a host certificate, honestly.\n");

    const bool made = root(c.caCert, path("ca.key"), "/CN=Cedar Test Root CA") &&
                      request(path("intermediate.csr"), path("intermediate.key"),
                              "/CN=Cedar Test Intermediate") &&
                      sign(path("intermediate.csr"), c.caCert, path("ca.key"), "2", path("ca.ext"),
                           c.intermediateCert) &&
                      request(path("leaf.csr"), c.leafKey, "/CN=localhost") &&
                      sign(path("leaf.csr"), c.intermediateCert, path("intermediate.key"), "2",
                           path("leaf.ext"), c.leafCert) &&
                      // -days -1 gives a certificate that ended a day before it began.
                      sign(path("leaf.csr"), c.intermediateCert, path("intermediate.key"), "-1",
                           path("leaf.ext"), c.expiredCert) &&
                      runOpenssl({"req", "-new", "-key", c.leafKey, "-out", path("wrong.csr"),
                                  "-subj", "/CN=wrong.example"}) &&
                      sign(path("wrong.csr"), c.intermediateCert, path("intermediate.key"), "2",
                           path("wrong.ext"), c.wrongNameCert) &&
                      runOpenssl({"req", "-x509", "-key", c.leafKey, "-out", c.selfSignedCert,
                                  "-subj", "/CN=localhost", "-days", "2", "-addext",
                                  "subjectAltName=DNS:localhost,IP:127.0.0.1"}) &&
                      root(c.rogueCaCert, path("rogue-ca.key"), "/CN=Rogue Root CA") &&
                      sign(path("leaf.csr"), c.rogueCaCert, path("rogue-ca.key"), "2",
                           path("leaf.ext"), c.rogueLeafCert) &&
                      request(path("client.csr"), c.clientKey, "/CN=Cedar Test Client") &&
                      sign(path("client.csr"), c.intermediateCert, path("intermediate.key"), "2",
                           path("client.ext"), path("client.pem")) &&
                      sign(path("client.csr"), c.rogueCaCert, path("rogue-ca.key"), "2",
                           path("client.ext"), c.rogueClientCert);
    if (!made) return c;

    const auto read = [](const std::string& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    write(c.clientCert, read(path("client.pem")) + read(c.intermediateCert));
    c.ok = true;
    return c;
}

struct CertificateHolder {
    Certificates certs = makeCertificates();
    ~CertificateHolder() {
        std::error_code ignored;
        if (!certs.dir.empty()) std::filesystem::remove_all(certs.dir, ignored);
    }
};

CertificateHolder& holder() {
    static CertificateHolder instance;
    return instance;
}

}  // namespace

const Certificates& certificates() {
    return holder().certs;
}

std::string makeSelfSigned(const std::string& name, const std::string& subject,
                           const std::string& altNames) {
    const Certificates& c = certificates();
    if (!c.ok) return {};
    const std::string out = c.dir + "/" + name + ".pem";
    std::vector<std::string> args = {"req", "-x509", "-key",  c.leafKey, "-out",
                                     out,   "-subj", subject, "-days",   "2"};
    if (!altNames.empty()) {
        args.push_back("-addext");
        args.push_back("subjectAltName=" + altNames);
    }
    return runOpenssl(args) ? out : std::string();
}

}  // namespace cedar::test
