#include "platform/socket_util.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <mutex>

#include "host/connection.h"

namespace cedar::platform {

namespace {

constexpr int kWsaBase = 10000;
constexpr int kSysCallFailure = 10107;  // WSASYSCALLFAILURE
constexpr int kTypeNotFound = 10109;    // WSATYPE_NOT_FOUND

struct ErrnoEntry {
    int err;
    int wsa;
};

// Linux errno → the BSD number that WSAE* is built from.
constexpr ErrnoEntry kErrnoTable[] = {
    {EINTR, 4},
    {EBADF, 9},
    {EACCES, 13},
    {EFAULT, 14},
    {EINVAL, 22},
    {EMFILE, 24},
    {ENFILE, 24},
    {EAGAIN, 35},
    {EINPROGRESS, 36},
    {EALREADY, 37},
    {ENOTSOCK, 38},
    {EDESTADDRREQ, 39},
    {EMSGSIZE, 40},
    {EPROTOTYPE, 41},
    {ENOPROTOOPT, 42},
    {EPROTONOSUPPORT, 43},
    {ESOCKTNOSUPPORT, 44},
    {EOPNOTSUPP, 45},
    {EPFNOSUPPORT, 46},
    {EAFNOSUPPORT, 47},
    {EADDRINUSE, 48},
    {EADDRNOTAVAIL, 49},
    {ENETDOWN, 50},
    {ENETUNREACH, 51},
    {ENETRESET, 52},
    {ECONNABORTED, 53},
    {ECONNRESET, 54},
    {EPIPE, 54},
    {ENOBUFS, 55},
    {ENOMEM, 55},
    {EISCONN, 56},
    {ENOTCONN, 57},
    {ESHUTDOWN, 58},
    {ETOOMANYREFS, 59},
    {ETIMEDOUT, 60},
    {ECONNREFUSED, 61},
    {ELOOP, 62},
    {ENAMETOOLONG, 63},
    {EHOSTDOWN, 64},
    {EHOSTUNREACH, 65},
};

}  // namespace

int socketErrorFromErrno(int err) {
    if (err == EWOULDBLOCK) err = EAGAIN;
    for (const auto& entry : kErrnoTable)
        if (entry.err == err) return kWsaBase + entry.wsa;
    return kSysCallFailure;
}

int socketErrorFromResolver(int eaiCode, int savedErrno) {
    switch (eaiCode) {
        case EAI_NONAME:
            return socket_error::kHostNotFound;
        case EAI_AGAIN:
            return socket_error::kTryAgain;
        case EAI_FAIL:
            return socket_error::kNoRecovery;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return socket_error::kNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return socket_error::kNoData;
#endif
        case EAI_FAMILY:
            return socketErrorFromErrno(EAFNOSUPPORT);
        case EAI_SOCKTYPE:
            return socketErrorFromErrno(ESOCKTNOSUPPORT);
        case EAI_SERVICE:
            return kTypeNotFound;
        case EAI_BADFLAGS:
            return socketErrorFromErrno(EINVAL);
        case EAI_MEMORY:
            return socketErrorFromErrno(ENOBUFS);
        case EAI_SYSTEM:
            return socketErrorFromErrno(savedErrno);
        default:
            return socket_error::kNoRecovery;
    }
}

bool configureSocket(int fd, int setSockOpt) {
    const int on = 1;
    bool ok = setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
    if ((setSockOpt & 0x01) != 0)
        ok = setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 && ok;
    if ((setSockOpt & 0x02) != 0)
        ok = setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on) == 0 && ok;
    return ok;
}

void ignoreSigpipeOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) != 0) return;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, nullptr);
    });
}

bool isIpLiteral(const std::string& host) {
    if (host.find(':') != std::string::npos) return true;
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1;
}

}  // namespace cedar::platform
