#include "transfer_host.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ebcdic.h"
#include "tn3270_server.h"

namespace cedar::test {

namespace {

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

bool sendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> transferScreen(const std::string& message) {
    using hostside::encodeAddress;
    using hostside::toEbcdic;
    // Erase/Write, WCC: reset, restore the keyboard, reset MDT.
    std::vector<std::uint8_t> out{0xF5, 0xC3, 0x11};
    append(out, encodeAddress(0));
    out.insert(out.end(), {0x1D, 0xE8});  // protected, bright
    append(out, toEbcdic("CEDAR TRANSFER HOST - type IND$FILE PUT|GET name [options]"));
    out.push_back(0x11);
    append(out, encodeAddress(2 * 80));
    out.insert(out.end(), {0x1D, 0x60});  // protected
    append(out, toEbcdic(message.substr(0, 78)));
    out.push_back(0x11);
    append(out, encodeAddress(21 * 80));
    out.insert(out.end(), {0x1D, 0x60});
    append(out, toEbcdic("===>"));
    out.insert(out.end(), {0x1D, 0x40, 0x13});  // input from 21*80+6, cursor there
    out.push_back(0x11);
    append(out, encodeAddress(23 * 80 + 79));
    out.insert(out.end(), {0x1D, 0x60});
    return out;
}

bool TransferHost::start(std::string& error, bool tn3270e) {
    tn3270e_ = tn3270e;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void TransferHost::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void TransferHost::setOptions(const hostside::IndFileOptions& options) {
    std::lock_guard lock(mutex_);
    options_ = options;
}

std::vector<hostside::IndFileResult> TransferHost::results() const {
    std::lock_guard lock(mutex_);
    return results_;
}

bool TransferHost::waitForResults(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return results_.size() >= count; });
}

void TransferHost::run() {
    while (!stopping_) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return;
        if (fds[0].revents != 0) return;
        if ((fds[1].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
        ::close(fd);
    }
}

void TransferHost::serve(int fd) {
    hostside::Tn3270Server server({tn3270e_, "CEDARLU1"});
    hostside::IndFileHost transfer(store_, {});
    if (!sendAll(fd, server.greeting())) return;
    bool started = false;
    std::vector<std::uint8_t> buffer(65536);
    while (!stopping_) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {fd, POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return;
        if (fds[0].revents != 0) return;
        if (fds[1].revents == 0) continue;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) return;
        const auto answer = server.receive(
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
        if (!answer.empty() && !sendAll(fd, answer)) return;
        if (server.failed()) return;
        if (!server.ready()) continue;
        std::vector<hostside::Bytes> out;
        std::vector<hostside::IndFileResult> ended;
        std::vector<hostside::Bytes> closing;
        if (!started) {
            started = true;
            out.push_back(transferScreen("Ready."));
        }
        for (const auto& record : server.takeRecords()) {
            bool inTransfer = transfer.active();
            if (inTransfer) {
                transfer.receive(record, out);
            } else {
                {
                    std::lock_guard lock(mutex_);
                    transfer.options() = options_;
                }
                inTransfer = transfer.start(record, out);
                if (!inTransfer) out.push_back(transferScreen("Ready."));
            }
            if (inTransfer && !transfer.active() && transfer.result()) {
                closing.push_back(transferScreen(transfer.result()->message));
                ended.push_back(*transfer.result());
            }
        }
        std::vector<std::uint8_t> wire;
        for (const auto& record : out)
            append(wire, server.frame(record));
        bool sent = wire.empty() || sendAll(fd, wire);
        // The screen after a transfer, a moment later when the test asks so.
        if (sent && !closing.empty()) {
            std::chrono::milliseconds delay{0};
            {
                std::lock_guard lock(mutex_);
                delay = screenDelay_;
            }
            if (delay.count() > 0) std::this_thread::sleep_for(delay);
            wire.clear();
            for (const auto& record : closing)
                append(wire, server.frame(record));
            sent = sendAll(fd, wire);
        }
        // A transfer counts as ended once the screen after it is on its way,
        // so a terminal told of the end can already expect that screen.
        if (!ended.empty()) {
            std::lock_guard lock(mutex_);
            results_.insert(results_.end(), ended.begin(), ended.end());
            changed_.notify_all();
        }
        if (!sent) return;
    }
}

void TransferHost::setScreenDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    screenDelay_ = delay;
}

}  // namespace cedar::test
