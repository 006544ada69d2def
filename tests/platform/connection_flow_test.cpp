// Flow control of a connection on loopback, plain and through TLS (stunnel in
// front of a host of the test's own): a host that stops reading does not stop
// the session thread, a host that never reads again ends the connection after
// the send time-out, and a host that sends faster than the session processes
// fills only a bounded queue.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/tcp_connection.h"
#include "stunnel.h"
#include "test_servers.h"

namespace cedar::test {
namespace {

using Log = std::vector<std::string>;

std::span<const std::uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Bytes that tell a lost, doubled or reordered piece from the right one.
std::string pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>((i * 7 + i / 251 + i / 65521) % 256);
    return text;
}

// Far more than the socket buffers of both ends take while nobody reads.
constexpr std::size_t kBulk = 16 << 20;
constexpr std::size_t kPiece = 64 << 10;  // one send() call

// A signal from one thread to another.
class Flag {
  public:
    void set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        cv_.notify_all();
    }
    bool wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return set_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};

class ConnectionFlow : public ::testing::TestWithParam<bool> {
  protected:
    bool tls() const { return GetParam(); }

    void SetUp() override {
        ASSERT_TRUE(listener.ok());
        if (!tls()) return;
        if (!Stunnel::available()) GTEST_SKIP() << "stunnel is not installed";
        if (!haveOpensslCommand()) GTEST_SKIP() << "the openssl command is not installed";
        ASSERT_TRUE(certificates().ok);
        std::string error;
        ASSERT_TRUE(stunnel.start(
            {{certificates().leafCert, certificates().leafKey, static_cast<int>(listener.port())}},
            error))
            << error;
    }

    void TearDown() override {
        connection.reset();
        EXPECT_EQ(threadsNamedAfterExit(TcpConnector::kThreadName), 0);
    }

    // Connects (through stunnel for TLS) and accepts; the session has seen
    // the connection come up.
    void connectUp(const TcpConnector::Limits& limits) {
        connector = TcpConnector(limits);
        ConnectionOptions options;
        options.host = "127.0.0.1";
        options.port = tls() ? static_cast<std::uint16_t>(stunnel.port()) : listener.port();
        if (tls()) {
            options.encryption = Encryption::Highest;
            options.validateHostCertificate = false;
            options.hostNameMustMatch = false;
        }
        connection = connector.connect(options, events, loop);
        host = listener.accept();
        ASSERT_TRUE(host.valid());
        ASSERT_TRUE(loop.runUntil([&] { return events.settled(); }, kWait));
        ASSERT_EQ(events.log, Log{"up"}) << events.failure();
    }

    // Sends `data` in pieces; every send returns at once, whether the host
    // reads or not.
    void sendAll(const std::string& data) {
        for (std::size_t at = 0; at < data.size(); at += kPiece) {
            const SendResult sent = connection->send(bytes(data.substr(at, kPiece)));
            ASSERT_TRUE(sent.ok) << "piece at " << at << ": error " << sent.error;
        }
    }

    Listener listener;
    Stunnel stunnel;
    PeerSocket host;
    CountingLoop loop;
    RecordingEvents events;
    TcpConnector connector;
    std::unique_ptr<Connection> connection;
};

TEST_P(ConnectionFlow, AHostThatStopsReadingStallsNeitherTheSessionNorTheBytes) {
    connectUp({});
    const std::string data = pattern(kBulk);
    // The host reads only once the session thread has queued everything and
    // then gone on running its timers: a send that waited for the host would
    // never get there.
    Flag sessionRan;
    std::string arrived;
    std::thread reader([&] {
        if (sessionRan.wait(kWait)) arrived = host.read(data.size());
    });
    sendAll(data);
    int ticks = 0;
    loop.startTimer(
        std::chrono::milliseconds(5), [&] { ++ticks; }, true);
    int tasks = 0;
    for (int i = 0; i < 3; ++i)
        loop.post([&] { ++tasks; });
    const bool ran = loop.runUntil([&] { return ticks >= 3 && tasks == 3; }, kWait);
    sessionRan.set();
    // The session stays responsive while the host drains the queue.
    const bool drained = loop.runUntil([&] { return !arrived.empty(); }, kWait * 3);
    reader.join();
    ASSERT_TRUE(ran);
    ASSERT_TRUE(drained);
    EXPECT_EQ(arrived.size(), data.size());
    EXPECT_TRUE(arrived == data) << "the bytes arrived out of order or changed";
    loop.drain();
    EXPECT_EQ(events.log, Log{"up"});

    // Sends queued after a stall still go out, in order.
    sendAll("after the stall");
    EXPECT_EQ(host.read(15), "after the stall");
}

TEST_P(ConnectionFlow, AHostThatNeverReadsAgainEndsTheConnectionAfterTheSendTimeOut) {
    TcpConnector::Limits limits;
    limits.sendTimeoutMs = 300;
    connectUp(limits);
    sendAll(pattern(kBulk));
    ASSERT_TRUE(loop.runUntil([&] { return events.ended(); }, kWait));
    loop.drain();
    EXPECT_EQ(events.log, (Log{"up", "sendFailed: " + std::to_string(socket_error::kTimedOut)}));
    // Nothing more can be sent; the host sees the connection go.
    EXPECT_FALSE(connection->send(bytes("x")).ok);
    EXPECT_TRUE(host.readUntilClosed());
}

// Writes `data` to `fd` without blocking until the client has taken nothing
// for `quiet`; returns how much went out.
std::size_t writeUntilStalled(int fd, const std::string& data, std::chrono::milliseconds quiet) {
    std::size_t done = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    while (done < data.size() && std::chrono::steady_clock::now() - lastProgress < quiet) {
        const ssize_t n =
            ::send(fd, data.data() + done, data.size() - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        pollfd entry{fd, POLLOUT, 0};
        ::poll(&entry, 1, 10);
    }
    return done;
}

TEST_P(ConnectionFlow, AFloodingHostFillsABoundedQueueAndLosesNothing) {
    // The client reads only while the session is less than 64 KiB behind;
    // the rest waits in the socket buffers and the host's send blocks.
    TcpConnector::Limits limits;
    limits.maxQueuedBytes = 64 << 10;
    const std::string data = pattern(3 * kBulk);
    for (const bool closeWhileStalled : {false, true}) {
        SCOPED_TRACE(closeWhileStalled ? "closed while the reader waits" : "processed to the end");
        events = RecordingEvents();
        connectUp(limits);
        std::size_t beforeSession = 0;
        // The session thread runs nothing while the host writes.
        std::thread writer([&] { beforeSession = writeUntilStalled(host.fd(), data, 300ms); });
        writer.join();
        // Without a bound the client would have taken everything.
        EXPECT_LT(beforeSession, data.size() / 2);

        if (closeWhileStalled) {
            connection->close();  // the reader waits for room: no deadlock
            loop.drain();
            EXPECT_EQ(events.log, Log{"up"});
            EXPECT_EQ(events.received, "");
            EXPECT_TRUE(host.readUntilClosed());
            connection.reset();
            host.close();
            continue;
        }
        std::thread rest([&] {
            host.sendAll(data.substr(beforeSession));
            host.close();
        });
        const bool all =
            loop.runUntil([&] { return events.ended(); }, std::chrono::milliseconds(kWait * 3));
        rest.join();
        ASSERT_TRUE(all);
        loop.drain();
        EXPECT_EQ(events.log, (Log{"up", "data", "closed"}));
        EXPECT_EQ(events.received.size(), data.size());
        EXPECT_TRUE(events.received == data) << "the blocks arrived out of order or changed";
        EXPECT_LE(*std::max_element(events.blockSizes.begin(), events.blockSizes.end()),
                  TcpConnector::kBlockSize);
        connection.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, ConnectionFlow, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Tls" : "Plain";
                         });

}  // namespace
}  // namespace cedar::test
