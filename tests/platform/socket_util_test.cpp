// Error numbers, socket options and IP literal detection of the platform's
// socket helpers.
#include "platform/socket_util.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "host/connection.h"

namespace cedar::platform {
namespace {

TEST(SocketErrors, ErrnoValuesMapToWindowsSocketsNumbers) {
    struct Case {
        int err;
        int expected;
    };
    const Case cases[] = {
        {ECONNREFUSED, socket_error::kConnRefused},
        {ETIMEDOUT, socket_error::kTimedOut},
        {ENETUNREACH, socket_error::kNetUnreachable},
        {EHOSTUNREACH, socket_error::kHostUnreachable},
        {ECONNRESET, socket_error::kConnReset},
        {EPIPE, socket_error::kConnReset},
        {ENOTSOCK, socket_error::kNotSocket},
        {EBADF, 10009},
        {EAGAIN, 10035},
        {EWOULDBLOCK, 10035},
        {EADDRNOTAVAIL, 10049},
        {ECONNABORTED, 10053},
        {ENOTCONN, 10057},
        {EHOSTDOWN, 10064},
        {EDOM, 10107},  // no socket meaning: a generic failure
        {0, 10107},
    };
    for (const auto& c : cases)
        EXPECT_EQ(socketErrorFromErrno(c.err), c.expected) << "errno " << c.err;
}

TEST(SocketErrors, ResolverResultsMapToWindowsSocketsNumbers) {
    struct Case {
        int eai;
        int savedErrno;
        int expected;
    };
    const Case cases[] = {
        {EAI_NONAME, 0, socket_error::kHostNotFound},
        {EAI_AGAIN, 0, socket_error::kTryAgain},
        {EAI_FAIL, 0, socket_error::kNoRecovery},
        {EAI_NODATA, 0, socket_error::kNoData},
        {EAI_ADDRFAMILY, 0, socket_error::kNoData},
        {EAI_SERVICE, 0, 10109},
        {EAI_FAMILY, 0, 10047},
        {EAI_MEMORY, 0, 10055},
        {EAI_SYSTEM, ECONNREFUSED, socket_error::kConnRefused},
        {EAI_SYSTEM, ETIMEDOUT, socket_error::kTimedOut},
        {-12345, 0, socket_error::kNoRecovery},
    };
    for (const auto& c : cases)
        EXPECT_EQ(socketErrorFromResolver(c.eai, c.savedErrno), c.expected) << "EAI " << c.eai;
}

int option(int fd, int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    EXPECT_EQ(getsockopt(fd, level, name, &value, &length), 0);
    return value != 0 ? 1 : 0;
}

TEST(SocketOptions, SetSockOptBitsSelectKeepAliveAndOobInline) {
    struct Case {
        int setSockOpt;
        int keepAlive;
        int oobInline;
    };
    const Case cases[] = {{0, 0, 0}, {1, 1, 0}, {2, 0, 1}, {3, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("SetSockOpt " + std::to_string(c.setSockOpt));
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(configureSocket(fd, c.setSockOpt));
        EXPECT_EQ(option(fd, IPPROTO_TCP, TCP_NODELAY), 1);
        EXPECT_EQ(option(fd, SOL_SOCKET, SO_KEEPALIVE), c.keepAlive);
        EXPECT_EQ(option(fd, SOL_SOCKET, SO_OOBINLINE), c.oobInline);
        close(fd);
    }
}

TEST(SocketOptions, FailsOnSomethingThatIsNoSocket) {
    EXPECT_FALSE(configureSocket(-1, 3));
}

TEST(IpLiterals, AddressesAreToldFromHostNames) {
    struct Case {
        const char* host;
        bool literal;
    };
    const Case cases[] = {
        {"127.0.0.1", true},        {"10.1.2.3", true},    {"::1", true},
        {"fe80::1%lo", true},       {"2001:db8::7", true}, {"localhost", false},
        {"mvs.example.com", false}, {"10.1.2", false},     {"1.2.3.4.example", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isIpLiteral(c.host), c.literal) << c.host;
}

}  // namespace
}  // namespace cedar::platform
