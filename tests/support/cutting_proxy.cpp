#include "cutting_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace cedar::test {

namespace {

// Writes all of `data` to a blocking socket; false when it broke.
bool sendAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

CuttingProxy::~CuttingProxy() {
    stop();
}

bool CuttingProxy::start() {
    int wakePipe[2];
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeRead_ = wakePipe[0];
    wakeWrite_ = wakePipe[1];
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void CuttingProxy::stop() {
    stopping_ = true;
    wake();
    if (thread_.joinable()) thread_.join();
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_, &client_, &upstream_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void CuttingProxy::wake() {
    if (wakeWrite_ < 0) return;
    const std::uint8_t b = 1;
    [[maybe_unused]] const auto n = ::write(wakeWrite_, &b, 1);
}

void CuttingProxy::cutNext(std::size_t hostBytes, bool reset) {
    std::lock_guard lock(mutex_);
    nextCut_ = Cut{hostBytes, reset};
}

void CuttingProxy::cutCurrent() {
    {
        std::lock_guard lock(mutex_);
        cutNow_ = true;
    }
    wake();
}

int CuttingProxy::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

std::size_t CuttingProxy::hostBytes() const {
    std::lock_guard lock(mutex_);
    return hostBytes_;
}

void CuttingProxy::closePair(bool reset) {
    if (client_ >= 0) {
        if (reset) {
            const linger hard{1, 0};
            ::setsockopt(client_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        ::close(client_);
        client_ = -1;
    }
    if (upstream_ >= 0) {
        ::close(upstream_);
        upstream_ = -1;
    }
    cut_.reset();
    holding_ = false;
}

void CuttingProxy::cutReached() {
    if (!cut_->reset || clientSpoke_ || std::chrono::steady_clock::now() >= resetDue_) {
        closePair(cut_->reset);
        return;
    }
    holding_ = true;
}

void CuttingProxy::run() {
    std::array<std::uint8_t, 16384> buffer{};
    while (!stopping_) {
        pollfd fds[4] = {{wakeRead_, POLLIN, 0},
                         {listenFd_, POLLIN, 0},
                         {client_, POLLIN, 0},
                         {upstream_, POLLIN, 0}};
        int timeout = 1000;
        if (holding_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                resetDue_ - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 1000));
        }
        if (::poll(fds, 4, timeout) < 0 && errno != EINTR) return;
        if (holding_ && std::chrono::steady_clock::now() >= resetDue_) {
            closePair(true);
            continue;
        }
        if (fds[0].revents != 0) {
            std::uint8_t drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
            if (stopping_) break;
            bool now = false;
            {
                std::lock_guard lock(mutex_);
                now = std::exchange(cutNow_, false);
            }
            if (now) {
                closePair(false);
                continue;
            }
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                closePair(false);
                client_ = fd;
                clientSpoke_ = false;
                resetDue_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
                upstream_ = connectLoopback(upstreamPort_);
                {
                    std::lock_guard lock(mutex_);
                    ++connections_;
                    hostBytes_ = 0;
                    cut_ = std::exchange(nextCut_, std::nullopt);
                }
                if (upstream_ < 0)
                    closePair(false);
                else if (cut_ && cut_->after == 0)
                    cutReached();
            }
            continue;
        }
        if (client_ >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(client_, buffer.data(), buffer.size(), 0);
            if (n > 0) clientSpoke_ = true;
            if (holding_ && n > 0) {
                closePair(true);
                continue;
            }
            if (n <= 0 || !sendAll(upstream_, buffer.data(), static_cast<std::size_t>(n))) {
                closePair(false);
                continue;
            }
        }
        if (upstream_ >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(upstream_, buffer.data(), buffer.size(), 0);
            if (n <= 0) {
                closePair(holding_);  // the host ended it
                continue;
            }
            if (holding_) continue;  // past the cut point: dropped
            std::size_t pass = static_cast<std::size_t>(n);
            std::size_t passed = 0;
            {
                std::lock_guard lock(mutex_);
                if (cut_) pass = std::min(pass, cut_->after - hostBytes_);
                hostBytes_ += pass;
                passed = hostBytes_;
            }
            if (pass > 0 && !sendAll(client_, buffer.data(), pass)) {
                closePair(false);
                continue;
            }
            if (cut_ && passed >= cut_->after) cutReached();
        }
    }
    closePair(false);
}

}  // namespace cedar::test
