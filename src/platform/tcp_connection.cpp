#include "platform/tcp_connection.h"

#include <netdb.h>
#include <openssl/err.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include "platform/connection_channel.h"
#include "platform/socket_util.h"
#include "platform/tls_client.h"
#include "platform/trusted_hosts.h"

namespace cedar {

namespace {

using platform::ConnectionChannel;
using platform::SslCtxPtr;
using platform::SslPtr;
using Block = ConnectionChannel::Block;

static_assert(TcpConnector::kBlockSize == ConnectionChannel::kBlockSize);

// Blocks read before they are queued for the session thread in one go; then
// the thread looks at what there is to write (a reply waits at most this long
// behind a flooding host).
constexpr std::size_t kBlocksPerPush = 16;
// The largest piece handed to SSL_write at once (a retry repeats it).
constexpr std::size_t kTlsWriteChunk = std::size_t{1} << 20;

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

// What one round of writing or reading came to.
struct Io {
    short wait = 0;      // POLLIN/POLLOUT the socket must give before going on
    bool more = false;   // stopped with more to do at once
    bool ended = false;  // the connection is over
    int sendError = 0;   // writing failed with this socket_error number
    bool progress = false;
};

class TcpConnection final : public Connection {
  public:
    TcpConnection(const ConnectionOptions& options, const TcpConnector::Limits& limits,
                  ConnectionEvents& events, Scheduler& scheduler);
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
    void pump();
    Io writeSome(const Block& out, std::size_t& offset);
    Io readSome();
    Wait waitFor(short events);
    bool cancelled() const { return channel_->cancelled(); }

    const ConnectionOptions options_;
    const TcpConnector::Limits limits_;
    std::string host_;  // options_.host without brackets
    std::shared_ptr<ConnectionChannel> channel_;
    bool closed_ = false;  // session thread only

    // The connection's thread alone uses these once it has started.
    int fd_ = -1;
    bool tlsActive_ = false;  // handshake done, no fatal error since
    SslCtxPtr ctx_;
    SslPtr ssl_;
    // The host certificate failed verification and may be trusted.
    std::optional<CertificateDetails> trustable_;
    std::vector<Block> readBlocks_;
    Block next_;  // the buffer the next read goes to

    std::thread thread_;  // last: started once everything above exists
};

TcpConnection::TcpConnection(const ConnectionOptions& options, const TcpConnector::Limits& limits,
                             ConnectionEvents& events, Scheduler& scheduler)
    : options_(options),
      limits_(limits),
      host_(options.host),
      channel_(std::make_shared<ConnectionChannel>(events, scheduler, limits.maxQueuedBytes)) {
    if (host_.size() >= 2 && host_.front() == '[' && host_.back() == ']')
        host_ = host_.substr(1, host_.size() - 2);
    thread_ = std::thread([this] { threadMain(); });
}

TcpConnection::~TcpConnection() {
    close();
}

void TcpConnection::close() {
    if (closed_) return;
    closed_ = true;
    channel_->cancel();
    if (thread_.joinable()) thread_.join();
}

SendResult TcpConnection::send(std::span<const std::uint8_t> data) {
    return channel_->queueSend(data);
}

TcpConnection::Wait TcpConnection::waitFor(short events) {
    for (;;) {
        pollfd fds[2] = {{fd_, events, 0}, {channel_->wakeFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (cancelled()) return Wait::Cancelled;
        if (n > 0 && (fds[1].revents & POLLIN) != 0) channel_->clearWakes();
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
            channel_->finish([](ConnectionEvents& events) { events.hostClosed(); });
        else
            channel_->post([message = std::string(e.what())](ConnectionEvents& events) {
                events.connectFailed(message);
            });
    }
}

void TcpConnection::run(bool& up) {
    std::string error;
    if (channel_->wakeFd() < 0) {
        // Without the wake pipe the thread could not be reached once it waits.
        channel_->post([error = formatText("Error connecting to hostname %s, port %d, rc=%d", host_,
                                           options_.port, platform::socketErrorFromErrno(EMFILE))](
                           ConnectionEvents& events) { events.connectFailed(error); });
        return;
    }
    if (!connectSocket(error)) {
        closeSocket();
        if (!error.empty())
            channel_->post([error](ConnectionEvents& events) { events.connectFailed(error); });
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
        if (trustable_)
            channel_->post([error, details = *trustable_](ConnectionEvents& events) {
                events.certificateFailed(error, details);
            });
        else if (!error.empty())
            channel_->post([error](ConnectionEvents& events) { events.tlsFailed(error); });
        return;
    }

    channel_->setWritable(true);
    if (!ssl_) channel_->setDirectSocket(fd_);
    up = true;
    channel_->post([info](ConnectionEvents& events) { events.connectionUp(info); });
    pump();
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
        fd_ = s;
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
    if (tlsActive_ && cancelled()) {
        // Closed by the session: a best-effort close_notify (non-blocking).
        ERR_clear_error();
        SSL_shutdown(ssl_.get());
    }
    tlsActive_ = false;
    ssl_.reset();
    ctx_.reset();
    if (fd_ >= 0) {
        channel_->setDirectSocket(-1);  // before the number can be reused
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
    ctx_ = std::move(context.ctx);
    ssl_.reset(SSL_new(ctx_.get()));
    if (!ssl_ || SSL_set_fd(ssl_.get(), fd_) != 1) {
        error = "Error creating the OpenSSL connection";
        return false;
    }
    // Server Name Indication carries host names only (RFC 6066, section 3).
    // SSL_set_tlsext_host_name() spelled out: the macro's C cast trips -Wold-style-cast.
    if (!platform::isIpLiteral(host_) &&
        SSL_ctrl(ssl_.get(), SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host_.c_str())) != 1) {
        error = "Error creating the OpenSSL connection";
        return false;
    }

    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(ssl_.get());
        if (result == 1) break;
        const int kind = SSL_get_error(ssl_.get(), result);
        if (cancelled()) return false;
        if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
            if (waitFor(kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT) == Wait::Cancelled)
                return false;
            continue;
        }
        error = platform::handshakeFailureMessage(kind, !options_.clientCertFile.empty());
        return false;
    }

    platform::CertificateVerdict verdict =
        platform::verifyHostCertificate(ssl_.get(), host_, options_);
    if (!verdict.error.empty()) {
        error = verdict.error;
        trustable_ = std::move(verdict.trustable);
        return false;
    }
    platform::describeTls(ssl_.get(), info);
    tlsActive_ = true;
    return true;
}

// The connection's I/O until it ends: write what is queued, read while the
// session has room, then wait in poll() for the socket or the wake pipe.
void TcpConnection::pump() {
    Block out;
    std::size_t offset = 0;
    std::int64_t lastProgress = 0;
    for (;;) {
        if (cancelled()) {
            // Closed by the session: what it sent before still goes out as
            // far as the socket takes it without waiting.
            for (int pass = 0; pass < 2; ++pass) {
                if (offset < out.size() && writeSome(out, offset).sendError != 0) break;
                if (offset < out.size()) break;
                out.clear();
                offset = 0;
                if (!channel_->takeOutgoing(out)) break;
            }
            closeSocket();
            return;
        }
        short wait = 0;
        bool more = false;  // there may be more to do at once

        if (offset == out.size()) {
            out.clear();
            offset = 0;
            if (channel_->takeOutgoing(out)) lastProgress = monotonicMs();
        }
        if (offset < out.size()) {
            const Io w = writeSome(out, offset);
            if (w.sendError != 0) {
                channel_->setSendError(w.sendError);
                closeSocket();
                channel_->finish(
                    [error = w.sendError](ConnectionEvents& events) { events.sendFailed(error); });
                return;
            }
            if (w.progress) lastProgress = monotonicMs();
            wait |= w.wait;
            more = offset == out.size();
        }

        const Io r = readSome();
        if (r.ended) {
            closeSocket();
            if (!cancelled())
                channel_->finish([](ConnectionEvents& events) { events.hostClosed(); });
            return;
        }
        wait |= r.wait;
        more = more || r.more;

        int timeout = -1;
        if (offset < out.size()) {
            const std::int64_t left = lastProgress + limits_.sendTimeoutMs - monotonicMs();
            if (left <= 0) {
                channel_->setSendError(socket_error::kTimedOut);
                closeSocket();
                channel_->finish(
                    [](ConnectionEvents& events) { events.sendFailed(socket_error::kTimedOut); });
                return;
            }
            timeout = static_cast<int>(left);
        }
        if (more) timeout = 0;
        // Nothing wanted from the socket (the session is behind, nothing to
        // write): only the wake pipe counts, not a hang-up the next read sees.
        pollfd fds[2] = {{wait != 0 ? fd_ : -1, wait, 0}, {channel_->wakeFd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n > 0 && (fds[1].revents & POLLIN) != 0) channel_->clearWakes();
    }
}

Io TcpConnection::writeSome(const Block& out, std::size_t& offset) {
    Io io;
    if (!ssl_) {
        while (offset < out.size()) {
            const ssize_t n = ::send(fd_, out.data() + offset, out.size() - offset, MSG_NOSIGNAL);
            if (n > 0) {
                offset += static_cast<std::size_t>(n);
                io.progress = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                io.wait = POLLOUT;
                return io;
            }
            io.sendError = platform::socketErrorFromErrno(n < 0 ? errno : EPIPE);
            return io;
        }
        return io;
    }
    while (offset < out.size()) {
        if (!tlsActive_) {
            io.sendError = socket_error::kConnReset;
            return io;
        }
        // A retry after WANT_READ/WANT_WRITE repeats the same arguments.
        const std::size_t chunk = std::min(out.size() - offset, kTlsWriteChunk);
        ERR_clear_error();
        errno = 0;
        const int written = SSL_write(ssl_.get(), out.data() + offset, static_cast<int>(chunk));
        if (written > 0) {
            offset += static_cast<std::size_t>(written);
            io.progress = true;
            continue;
        }
        const int kind = SSL_get_error(ssl_.get(), written);
        const int sysError = errno;
        if (kind == SSL_ERROR_WANT_WRITE || kind == SSL_ERROR_WANT_READ) {
            io.wait = kind == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN;
            return io;
        }
        tlsActive_ = false;  // no SSL_shutdown after a fatal error
        io.sendError = kind == SSL_ERROR_SYSCALL && sysError != 0
                           ? platform::socketErrorFromErrno(sysError)
                           : socket_error::kConnReset;
        return io;
    }
    return io;
}

Io TcpConnection::readSome() {
    Io io;
    std::size_t pending = 0;
    auto push = [&] {
        channel_->pushBlocks(readBlocks_);
        pending = 0;
    };
    for (;;) {
        if (cancelled()) break;
        if (readBlocks_.size() >= kBlocksPerPush) {
            io.more = true;
            break;
        }
        // The session is behind: read nothing until a drain makes room
        // (and wakes this thread).
        if (!channel_->hasRoom(pending)) break;
        if (next_.size() != ConnectionChannel::kBlockSize) next_ = channel_->freeBlock();
        Block& block = next_;
        int n = 0;
        if (!ssl_) {
            const ssize_t got = ::recv(fd_, block.data(), block.size(), 0);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                io.wait = POLLIN;
                break;
            }
            // 0: the host closed; -1: the connection broke. Either way it is over.
            if (got <= 0) {
                io.ended = true;
                break;
            }
            n = static_cast<int>(got);
        } else {
            if (!tlsActive_) {
                io.ended = true;
                break;
            }
            ERR_clear_error();
            const int got = SSL_read(ssl_.get(), block.data(), static_cast<int>(block.size()));
            if (got <= 0) {
                const int kind = SSL_get_error(ssl_.get(), got);
                if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
                    io.wait = kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
                    break;
                }
                if (kind == SSL_ERROR_ZERO_RETURN) SSL_shutdown(ssl_.get());  // answer close_notify
                tlsActive_ = false;  // no SSL_shutdown after a fatal error
                io.ended = true;
                break;
            }
            n = got;
        }
        block.resize(static_cast<std::size_t>(n));
        pending += block.size();
        readBlocks_.push_back(std::move(block));
        next_.clear();
        io.progress = true;
        // A short read has emptied a plain socket: poll() tells of more
        // without another read that finds nothing. (TLS may hold a record
        // read ahead.)
        if (!ssl_ && static_cast<std::size_t>(n) < ConnectionChannel::kBlockSize) {
            io.wait = POLLIN;
            break;
        }
    }
    push();
    return io;
}

}  // namespace

std::unique_ptr<Connection> TcpConnector::connect(const ConnectionOptions& options,
                                                  ConnectionEvents& events, Scheduler& scheduler) {
    platform::ignoreSigpipeOnce();
    return std::make_unique<TcpConnection>(options, limits_, events, scheduler);
}

}  // namespace cedar
