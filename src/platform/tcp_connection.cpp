#include "platform/tcp_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/socket_util.h"
#include "platform/tls_client.h"

namespace cedar {

namespace {

using platform::SslCtxPtr;
using platform::SslPtr;

// A send that cannot get rid of its bytes for this long reports a timeout
// rather than freezing the session thread for good.
constexpr int kSendTimeoutMs = 60'000;
// How long send() waits for the reader to take in a record that OpenSSL
// wants before writing (TLS 1.2 renegotiation) before trying again.
constexpr int kSendReadRetryMs = 50;

std::int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// printf-style text of any length; the arguments are a host name and numbers.
template <typename... Numbers>
std::string formatText(const char* pattern, const std::string& host, Numbers... numbers) {
    const int length = std::snprintf(nullptr, 0, pattern, host.c_str(), numbers...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, host.c_str(), numbers...);
    return text;
}

// Waits for `events` on `fd` (not the wake pipe); false on timeout.
bool pollSocket(int fd, short events, int timeoutMs) {
    const std::int64_t deadline = monotonicMs() + timeoutMs;
    for (;;) {
        pollfd entry{fd, events, 0};
        const auto left = static_cast<int>(std::max<std::int64_t>(0, deadline - monotonicMs()));
        const int n = ::poll(&entry, 1, left);
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) return true;  // let the next I/O call report the problem
    }
}

// What a connection shares with its thread and with the tasks it posts. A
// task may run after the connection is closed or gone; it then does nothing.
struct Shared {
    explicit Shared(ConnectionEvents& e) : events(&e) {}

    ConnectionEvents* events;  // used on the session thread, only while !cancelled
    // Set on the session thread (close, destructor) under `mutex`.
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable cv;
    bool blockDone = false;  // guarded by `mutex`
    std::size_t blockLength = 0;
    // Written by the reader only while no block is being handed off.
    std::array<std::uint8_t, TcpConnector::kBlockSize> block{};
};

class TcpConnection final : public Connection {
  public:
    TcpConnection(const ConnectionOptions& options, ConnectionEvents& events, Scheduler& scheduler);
    ~TcpConnection() override;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    SendResult send(std::span<const std::uint8_t> data) override;
    void close() override;

  private:
    enum class Wait { Ready, Cancelled };

    void threadMain();
    void run(bool& up);
    bool connectSocket(std::string& error);
    void closeSocket();
    bool startTls(ConnectionInfo& info, std::string& error);
    bool receivePlain();
    bool receiveTls();
    bool handOff(std::size_t length);
    Wait waitFor(short events);
    void kick();
    bool cancelled() const { return shared_->cancelled.load(); }

    template <typename F>
    void notify(F call) {
        scheduler_.post([shared = shared_, call = std::move(call)] {
            if (!shared->cancelled.load()) call(*shared->events);
        });
    }

    const ConnectionOptions options_;
    std::string host_;  // options_.host without brackets
    Scheduler& scheduler_;
    std::shared_ptr<Shared> shared_;
    bool closed_ = false;  // session thread only

    // The wake pipe: close() and send() write a byte to make the thread look
    // again at the cancel flag and at the TLS connection.
    int wakeRead_ = -1;
    int wakeWrite_ = -1;

    // sendMutex_ is held by send() for its whole call and by the thread when
    // it publishes or closes the socket, so send() never writes to a closed or
    // reused descriptor. ioMutex_ serialises every call on the SSL object
    // and close()'s shutdown() against the thread's close(). Order: sendMutex_
    // before ioMutex_; neither is held while anything blocks, except send()
    // holding sendMutex_ while it waits for the socket to drain.
    std::mutex sendMutex_;
    std::mutex ioMutex_;
    int fd_ = -1;             // written by the thread under both mutexes
    bool writable_ = false;   // up and usable by send(); under both mutexes
    bool tlsActive_ = false;  // handshake done, no fatal error; under ioMutex_
    SslCtxPtr ctx_;           // under ioMutex_
    SslPtr ssl_;              // under ioMutex_

    std::thread thread_;  // last: started once everything above exists
};

TcpConnection::TcpConnection(const ConnectionOptions& options, ConnectionEvents& events,
                             Scheduler& scheduler)
    : options_(options),
      host_(options.host),
      scheduler_(scheduler),
      shared_(std::make_shared<Shared>(events)) {
    if (host_.size() >= 2 && host_.front() == '[' && host_.back() == ']')
        host_ = host_.substr(1, host_.size() - 2);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
    // Without a pipe (descriptors exhausted) shutdown() still wakes the thread
    // once it has a socket; poll() ignores the negative descriptor.
    try {
        thread_ = std::thread([this] { threadMain(); });
    } catch (...) {
        if (wakeRead_ >= 0) ::close(wakeRead_);
        if (wakeWrite_ >= 0) ::close(wakeWrite_);
        throw;
    }
}

TcpConnection::~TcpConnection() {
    close();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void TcpConnection::close() {
    if (closed_) return;
    closed_ = true;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->cancelled.store(true);
    }
    shared_->cv.notify_all();
    {
        std::lock_guard lock(ioMutex_);
        if (tlsActive_) {
            // Best effort close_notify; the socket is non-blocking.
            ERR_clear_error();
            SSL_shutdown(ssl_.get());
            tlsActive_ = false;
        }
        if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    }
    kick();
    if (thread_.joinable()) thread_.join();
}

void TcpConnection::kick() {
    if (wakeWrite_ < 0) return;
    const char byte = 0;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

TcpConnection::Wait TcpConnection::waitFor(short events) {
    for (;;) {
        pollfd fds[2] = {{fd_, events, 0}, {wakeRead_, POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (cancelled()) return Wait::Cancelled;
        if (n > 0 && (fds[1].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        return Wait::Ready;  // the caller's next I/O call tells what happened
    }
}

void TcpConnection::threadMain() {
    pthread_setname_np(pthread_self(), TcpConnector::kThreadName);
    bool up = false;
    try {
        run(up);
    } catch (const std::exception& e) {
        closeSocket();
        if (up)
            notify([](ConnectionEvents& events) { events.hostClosed(); });
        else
            notify([message = std::string(e.what())](ConnectionEvents& events) {
                events.connectFailed(message);
            });
    }
}

void TcpConnection::run(bool& up) {
    std::string error;
    if (!connectSocket(error)) {
        closeSocket();
        if (!error.empty())
            notify([error](ConnectionEvents& events) { events.connectFailed(error); });
        return;
    }

    ConnectionInfo info;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
        char text[NI_MAXHOST] = {};
        if (::getnameinfo(reinterpret_cast<sockaddr*>(&peer), peerLength, text, sizeof text,
                          nullptr, 0, NI_NUMERICHOST) == 0)
            info.peerAddress = text;
        info.ipVersion = peer.ss_family == AF_INET6 ? 6 : 4;
    }

    if (options_.encryption != Encryption::None && !startTls(info, error)) {
        closeSocket();
        if (!error.empty()) notify([error](ConnectionEvents& events) { events.tlsFailed(error); });
        return;
    }

    {
        std::scoped_lock lock(sendMutex_, ioMutex_);
        writable_ = true;
    }
    up = true;
    notify([info](ConnectionEvents& events) { events.connectionUp(info); });

    const bool hostEnded = options_.encryption == Encryption::None ? receivePlain() : receiveTls();
    closeSocket();
    if (hostEnded) notify([](ConnectionEvents& events) { events.hostClosed(); });
}

bool TcpConnection::connectSocket(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string port = std::to_string(options_.port);
    errno = 0;
    const int rc = ::getaddrinfo(host_.c_str(), port.c_str(), &hints, &list);
    if (rc != 0) {
        if (!cancelled())
            error = formatText("Error getting address info for %s, rc=%d", host_,
                               platform::socketErrorFromResolver(rc, errno));
        return false;
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(list, ::freeaddrinfo);

    int lastError = ECONNREFUSED;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (cancelled()) return false;
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            lastError = errno;
            continue;
        }
        platform::configureSocket(s, options_.setSockOpt);  // a refused option is no reason to fail
        {
            std::scoped_lock lock(sendMutex_, ioMutex_);
            if (cancelled()) {
                ::close(s);
                return false;
            }
            fd_ = s;
        }
        int err = 0;
        if (::connect(s, a->ai_addr, a->ai_addrlen) != 0) {
            err = errno;
            if (err == EINPROGRESS || err == EINTR) {
                if (waitFor(POLLOUT) == Wait::Cancelled) return false;
                socklen_t length = sizeof err;
                if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &length) != 0) err = errno;
                // A host that accepted and reset at once did connect: the
                // reset is its close, which the first read reports as such.
                if (err == ECONNRESET) err = 0;
            }
        }
        if (err == 0) return true;
        lastError = err;
        closeSocket();
    }
    if (!cancelled())
        error = formatText("Error connecting to hostname %s, port %d, rc=%d", host_, options_.port,
                           platform::socketErrorFromErrno(lastError));
    return false;
}

void TcpConnection::closeSocket() {
    std::scoped_lock lock(sendMutex_, ioMutex_);
    writable_ = false;
    tlsActive_ = false;
    ssl_.reset();
    ctx_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TcpConnection::startTls(ConnectionInfo& info, std::string& error) {
    platform::ClientContext context = platform::createClientContext(options_);
    if (!context.ctx) {
        error = context.error;
        return false;
    }
    info.tlsNote = context.note;
    SslPtr ssl(SSL_new(context.ctx.get()));
    if (!ssl || SSL_set_fd(ssl.get(), fd_) != 1) {
        error = "Error creating the OpenSSL connection";
        return false;
    }
    // Server Name Indication carries host names only (RFC 6066, section 3).
    // SSL_set_tlsext_host_name() spelled out: the macro's C cast trips -Wold-style-cast.
    if (!platform::isIpLiteral(host_) &&
        SSL_ctrl(ssl.get(), SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host_.c_str())) != 1) {
        error = "Error creating the OpenSSL connection";
        return false;
    }
    {
        std::lock_guard lock(ioMutex_);
        ctx_ = std::move(context.ctx);
        ssl_ = std::move(ssl);
    }

    for (;;) {
        int result = 0;
        int kind = 0;
        {
            std::lock_guard lock(ioMutex_);
            ERR_clear_error();
            result = SSL_connect(ssl_.get());
            kind = SSL_get_error(ssl_.get(), result);
        }
        if (result == 1) break;
        if (cancelled()) return false;
        if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
            if (waitFor(kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT) == Wait::Cancelled)
                return false;
            continue;
        }
        error = platform::handshakeFailureMessage(kind, !options_.clientCertFile.empty());
        return false;
    }

    // Only this thread uses the SSL object until writable_ is set.
    error = platform::checkHostCertificate(ssl_.get(), host_, options_);
    if (!error.empty()) return false;
    platform::describeTls(ssl_.get(), info);
    std::lock_guard lock(ioMutex_);
    tlsActive_ = true;
    return true;
}

bool TcpConnection::receivePlain() {
    for (;;) {
        if (cancelled()) return false;
        const ssize_t n = ::recv(fd_, shared_->block.data(), shared_->block.size(), 0);
        if (n > 0) {
            if (!handOff(static_cast<std::size_t>(n))) return false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(POLLIN) == Wait::Cancelled) return false;
            continue;
        }
        // 0: the host closed; -1: the connection broke. Either way it is over.
        return !cancelled();
    }
}

bool TcpConnection::receiveTls() {
    for (;;) {
        if (cancelled()) return false;
        int result = 0;
        int kind = 0;
        {
            std::lock_guard lock(ioMutex_);
            ERR_clear_error();
            result = SSL_read(ssl_.get(), shared_->block.data(),
                              static_cast<int>(shared_->block.size()));
            kind = SSL_get_error(ssl_.get(), result);
            if (result <= 0) {
                if (kind == SSL_ERROR_ZERO_RETURN) {
                    SSL_shutdown(ssl_.get());  // answer the host's close_notify
                    tlsActive_ = false;
                } else if (kind != SSL_ERROR_WANT_READ && kind != SSL_ERROR_WANT_WRITE) {
                    tlsActive_ = false;  // no SSL_shutdown after a fatal error
                }
            }
        }
        if (result > 0) {
            if (!handOff(static_cast<std::size_t>(result))) return false;
            continue;
        }
        if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
            if (waitFor(kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT) == Wait::Cancelled)
                return false;
            continue;
        }
        return !cancelled();
    }
}

bool TcpConnection::handOff(std::size_t length) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->blockDone = false;
        shared_->blockLength = length;
    }
    scheduler_.post([shared = shared_] {
        if (shared->cancelled.load()) return;
        std::size_t size = 0;
        {
            std::lock_guard lock(shared->mutex);
            size = shared->blockLength;
        }
        // Release the reader however dataReceived ends.
        struct Done {
            Shared& s;
            ~Done() {
                {
                    std::lock_guard lock(s.mutex);
                    s.blockDone = true;
                }
                s.cv.notify_all();
            }
        } done{*shared};
        shared->events->dataReceived(std::span<const std::uint8_t>(shared->block.data(), size));
    });
    std::unique_lock lock(shared_->mutex);
    shared_->cv.wait(lock, [this] { return shared_->blockDone || shared_->cancelled.load(); });
    return !shared_->cancelled.load();
}

SendResult TcpConnection::send(std::span<const std::uint8_t> data) {
    std::lock_guard sendLock(sendMutex_);
    if (!writable_ || fd_ < 0) return {false, socket_error::kNotSocket};
    const std::int64_t deadline = monotonicMs() + kSendTimeoutMs;
    auto left = [deadline] {
        return static_cast<int>(std::max<std::int64_t>(0, deadline - monotonicMs()));
    };
    std::size_t done = 0;

    if (!ssl_) {
        while (done < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!pollSocket(fd_, POLLOUT, left())) return {false, socket_error::kTimedOut};
                continue;
            }
            return {false, platform::socketErrorFromErrno(n < 0 ? errno : EPIPE)};
        }
        return {};
    }

    bool pending = false;
    SendResult result;
    while (done < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - done, 1U << 30);
        int written = 0;
        int kind = 0;
        int sysError = 0;
        {
            std::lock_guard lock(ioMutex_);
            if (!tlsActive_) {
                result = {false, socket_error::kConnReset};
                break;
            }
            ERR_clear_error();
            errno = 0;
            written = SSL_write(ssl_.get(), data.data() + done, static_cast<int>(chunk));
            kind = SSL_get_error(ssl_.get(), written);
            sysError = errno;
            if (written <= 0 && kind != SSL_ERROR_WANT_READ && kind != SSL_ERROR_WANT_WRITE)
                tlsActive_ = false;  // no SSL_shutdown after a fatal error
            pending = SSL_has_pending(ssl_.get()) == 1;
        }
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (kind == SSL_ERROR_WANT_WRITE || kind == SSL_ERROR_WANT_READ) {
            if (left() == 0) {
                result = {false, socket_error::kTimedOut};
                break;
            }
            if (kind == SSL_ERROR_WANT_WRITE)
                pollSocket(fd_, POLLOUT, left());
            else
                pollSocket(fd_, POLLIN, std::min(left(), kSendReadRetryMs));
            continue;
        }
        result = {false, kind == SSL_ERROR_SYSCALL && sysError != 0
                             ? platform::socketErrorFromErrno(sysError)
                             : socket_error::kConnReset};
        break;
    }
    // SSL_write may have read records from the socket; let the reader see them.
    if (pending || !result.ok) kick();
    return result;
}

}  // namespace

std::unique_ptr<Connection> TcpConnector::connect(const ConnectionOptions& options,
                                                  ConnectionEvents& events, Scheduler& scheduler) {
    platform::ignoreSigpipeOnce();
    return std::make_unique<TcpConnection>(options, events, scheduler);
}

}  // namespace cedar
