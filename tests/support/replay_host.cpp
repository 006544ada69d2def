#include "replay_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace cedar::test {

namespace {

// RFC 854 commands and the options this host speaks.
constexpr std::uint8_t kIac = 0xFF, kDont = 0xFE, kDo = 0xFD, kWont = 0xFC, kWill = 0xFB;
constexpr std::uint8_t kSb = 0xFA, kSe = 0xF0, kEor = 0xEF;
constexpr std::uint8_t kOptBinary = 0;         // RFC 856
constexpr std::uint8_t kOptTimingMark = 6;     // RFC 860
constexpr std::uint8_t kOptTerminalType = 24;  // RFC 1091
constexpr std::uint8_t kOptEor = 25;           // RFC 885
constexpr std::uint8_t kTerminalTypeIs = 0, kTerminalTypeSend = 1;

using Clock = std::chrono::steady_clock;

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

// One client connection: the Telnet state of both sides, the reader of what
// the client sends and the queue of what goes out to it.
struct ReplayHost::Connection {
    // Per option and side, after RFC 1143: no, asked and waiting, yes.
    enum class OptionState : std::uint8_t { No, WantYes, Yes };
    enum class Phase { TerminalType, TerminalTypeIs, Modes, AwaitMark, Serving };
    enum class In { Data, Iac, Verb, Sub, SubIac };

    ReplayHost& host;
    int fd;
    Phase phase = Phase::TerminalType;
    Clock::time_point deadline;
    std::array<OptionState, 256> client{};  // the client's side (its WILL)
    std::array<OptionState, 256> server{};  // our side (our WILL)
    bool terminalTypeReceived = false;

    std::vector<std::uint8_t> out;
    std::size_t outPos = 0;

    In in = In::Data;
    std::uint8_t verb = 0;
    std::vector<std::uint8_t> sub;
    Record record;

    Connection(ReplayHost& h, int socket) : host(h), fd(socket) {}

    // Options either side may switch on when the other asks first.
    static bool wanted(bool clientSide, std::uint8_t option) {
        return option == kOptBinary || option == kOptEor ||
               (clientSide && option == kOptTerminalType);
    }

    void send(std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }

    void askClient(std::uint8_t option) {  // DO option
        if (client[option] != OptionState::No) return;
        client[option] = OptionState::WantYes;
        send({kIac, kDo, option});
    }
    void offer(std::uint8_t option) {  // WILL option
        if (server[option] != OptionState::No) return;
        server[option] = OptionState::WantYes;
        send({kIac, kWill, option});
    }

    void restartClock() { deadline = Clock::now() + host.options_.negotiationTimeout; }

    void begin() {
        askClient(kOptTerminalType);
        phase = Phase::TerminalType;
        restartClock();
    }

    void startModes() {
        askClient(kOptEor);
        offer(kOptEor);
        askClient(kOptBinary);
        offer(kOptBinary);
        phase = Phase::Modes;
        restartClock();
    }

    void sendRecords() {
        for (const Record& r : host.script_.records) {
            for (std::uint8_t b : r) {
                out.push_back(b);
                if (b == kIac) out.push_back(kIac);
            }
            send({kIac, kEor});
        }
        if (host.script_.timingMarkAfterRecords) {
            // A fresh question even when the option was settled before.
            client[kOptTimingMark] = OptionState::No;
            askClient(kOptTimingMark);
            phase = Phase::AwaitMark;
        } else {
            phase = Phase::Serving;
        }
    }

    // Moves the script on as far as the answers received allow.
    void advance(bool timedOut) {
        for (;;) {
            const Phase before = phase;
            switch (phase) {
                case Phase::TerminalType:
                    if (client[kOptTerminalType] == OptionState::Yes) {
                        send({kIac, kSb, kOptTerminalType, kTerminalTypeSend, kIac, kSe});
                        phase = Phase::TerminalTypeIs;
                        restartClock();
                    } else if (client[kOptTerminalType] == OptionState::No) {
                        startModes();
                    } else if (timedOut) {
                        host.noteError("no answer to DO TERMINAL-TYPE");
                        startModes();
                    }
                    break;
                case Phase::TerminalTypeIs:
                    if (terminalTypeReceived) {
                        startModes();
                    } else if (timedOut) {
                        host.noteError("no TERMINAL-TYPE IS");
                        startModes();
                    }
                    break;
                case Phase::Modes: {
                    const bool settled = client[kOptEor] != OptionState::WantYes &&
                                         server[kOptEor] != OptionState::WantYes &&
                                         client[kOptBinary] != OptionState::WantYes &&
                                         server[kOptBinary] != OptionState::WantYes;
                    if (settled) {
                        sendRecords();
                    } else if (timedOut) {
                        host.noteError("no answer to the EOR and BINARY negotiation");
                        sendRecords();
                    }
                    break;
                }
                case Phase::AwaitMark:
                    if (client[kOptTimingMark] != OptionState::WantYes) {
                        {
                            std::lock_guard lock(host.mutex_);
                            host.synced_ = true;
                        }
                        host.changed_.notify_all();
                        phase = Phase::Serving;
                    }
                    break;
                case Phase::Serving:
                    break;
            }
            timedOut = false;
            if (phase == before) return;
        }
    }

    bool hasDeadline() const {
        return phase == Phase::TerminalType || phase == Phase::TerminalTypeIs ||
               phase == Phase::Modes;
    }

    void clientVerb(std::uint8_t v, std::uint8_t option) {
        const bool willSide = v == kWill || v == kWont;
        auto& state = willSide ? client[option] : server[option];
        const bool yes = v == kWill || v == kDo;
        if (yes) {
            if (state == OptionState::WantYes) {
                state = OptionState::Yes;
            } else if (state == OptionState::No) {
                const bool accept = wanted(willSide, option);
                state = accept ? OptionState::Yes : OptionState::No;
                if (willSide)
                    send({kIac, accept ? kDo : kDont, option});
                else
                    send({kIac, accept ? kWill : kWont, option});
            }
        } else {
            if (state == OptionState::Yes) send({kIac, willSide ? kDont : kWont, option});
            state = OptionState::No;
        }
    }

    void endOfSubnegotiation() {
        if (sub.size() >= 2 && sub[0] == kOptTerminalType && sub[1] == kTerminalTypeIs) {
            std::lock_guard lock(host.mutex_);
            host.terminalType_.assign(sub.begin() + 2, sub.end());
            terminalTypeReceived = true;
        }
    }

    void endOfRecord() {
        std::lock_guard lock(host.mutex_);
        host.clientRecords_.push_back(std::move(record));
        record.clear();
    }

    void received(const std::uint8_t* data, std::size_t length) {
        {
            std::lock_guard lock(host.mutex_);
            host.clientBytes_.insert(host.clientBytes_.end(), data, data + length);
        }
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint8_t b = data[i];
            switch (in) {
                case In::Data:
                    if (b == kIac)
                        in = In::Iac;
                    else
                        record.push_back(b);
                    break;
                case In::Iac:
                    in = In::Data;
                    if (b == kIac) {
                        record.push_back(kIac);
                    } else if (b == kEor) {
                        endOfRecord();
                    } else if (b == kSb) {
                        sub.clear();
                        in = In::Sub;
                    } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                        verb = b;
                        in = In::Verb;
                    }
                    break;
                case In::Verb:
                    clientVerb(verb, b);
                    in = In::Data;
                    break;
                case In::Sub:
                    if (b == kIac)
                        in = In::SubIac;
                    else
                        sub.push_back(b);
                    break;
                case In::SubIac:
                    if (b == kSe) {
                        endOfSubnegotiation();
                        in = In::Data;
                    } else {
                        sub.push_back(b);  // IAC IAC inside a subnegotiation
                        in = In::Sub;
                    }
                    break;
            }
        }
        advance(false);
    }
};

ReplayHost::ReplayHost(Script script) : ReplayHost(std::move(script), Options{}) {}

ReplayHost::ReplayHost(Script script, Options options)
    : script_(std::move(script)), options_(options) {}

ReplayHost::~ReplayHost() {
    stop();
}

bool ReplayHost::start() {
    if (thread_.joinable()) return true;
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        noteError(systemError("pipe2"));
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        noteError(systemError("socket"));
        stop();
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 1) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        noteError(systemError("bind/listen"));
        stop();
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ReplayHost::stop() {
    if (wakeWrite_ >= 0) {
        const std::uint8_t b = 1;
        [[maybe_unused]] const auto n = write(wakeWrite_, &b, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    {
        std::lock_guard lock(mutex_);
        clientGone_ = true;
    }
    changed_.notify_all();
}

void ReplayHost::run() {
    for (;;) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
            noteError(systemError("poll"));
            return;
        }
        if (fds[0].revents != 0) return;  // stop
        if ((fds[1].revents & POLLIN) == 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        const bool stopped = [&] {
            serve(fd);
            close(fd);
            pollfd wake{wakeRead_, POLLIN, 0};
            return poll(&wake, 1, 0) > 0;
        }();
        if (stopped) return;
    }
}

void ReplayHost::serve(int fd) {
    {
        std::lock_guard lock(mutex_);
        ++connections_;
        synced_ = false;
        clientGone_ = false;
        clientBytes_.clear();
        clientRecords_.clear();
        terminalType_.clear();
    }
    changed_.notify_all();

    Connection c(*this, fd);
    c.begin();
    std::array<std::uint8_t, 16384> buffer{};
    for (;;) {
        const bool writing = c.outPos < c.out.size();
        pollfd fds[2] = {{wakeRead_, POLLIN, 0},
                         {fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0}};
        int timeout = 1000;
        if (c.hasDeadline()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
        }
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) {
            noteError(systemError("poll"));
            break;
        }
        if (fds[0].revents != 0) break;  // stop
        if (fds[1].revents & POLLOUT) {
            const ssize_t sent =
                ::send(fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EINTR) {
                noteError(systemError("send"));
                break;
            }
            if (sent > 0) c.outPos += static_cast<std::size_t>(sent);
            if (c.outPos == c.out.size()) {
                c.out.clear();
                c.outPos = 0;
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
            if (got == 0) break;  // the client closed
            if (got < 0 && errno != EAGAIN && errno != EINTR) break;
            if (got > 0) c.received(buffer.data(), static_cast<std::size_t>(got));
        }
        if (c.hasDeadline() && Clock::now() >= c.deadline) c.advance(true);
    }
    {
        std::lock_guard lock(mutex_);
        clientGone_ = true;
    }
    changed_.notify_all();
}

bool ReplayHost::waitForSync(std::chrono::milliseconds timeout) {
    if (!script_.timingMarkAfterRecords) return false;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return synced_ || clientGone_; });
    return synced_;
}

std::vector<std::uint8_t> ReplayHost::clientBytes() const {
    std::lock_guard lock(mutex_);
    return clientBytes_;
}

std::string ReplayHost::terminalType() const {
    std::lock_guard lock(mutex_);
    return terminalType_;
}

std::vector<ReplayHost::Record> ReplayHost::clientRecords() const {
    std::lock_guard lock(mutex_);
    return clientRecords_;
}

int ReplayHost::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

std::string ReplayHost::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ReplayHost::noteError(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!error_.empty()) error_ += "; ";
    error_ += text;
}

}  // namespace cedar::test
