#include "host/host_sender.h"

#include <gtest/gtest.h>

#include "manual_scheduler.h"

namespace cedar {
namespace {

using namespace telnet;
using Bytes_ = std::vector<std::uint8_t>;

class FakeConnection : public Connection {
  public:
    std::vector<Bytes_> sent;
    int failWith = 0;
    SendResult send(std::span<const std::uint8_t> data) override {
        if (failWith != 0) return {false, failWith};
        sent.emplace_back(data.begin(), data.end());
        return {};
    }
    void close() override {}
};

class Events : public SendEvents {
  public:
    std::vector<Bytes_> traced;
    std::vector<std::string> failures;
    void traceSent(std::span<const std::uint8_t> f) override {
        traced.emplace_back(f.begin(), f.end());
    }
    void sendFailed(int, const std::string& m) override { failures.push_back(m); }
};

struct Harness {
    explicit Harness(bool tn3270e = false) {
        state.tn3270eMode = tn3270e;
        sender.setConnection(&connection);
        sender.connectionStarted();
    }
    ProtocolState state;
    test::ManualScheduler scheduler;
    Events events;
    FakeConnection connection;
    HostSender sender{state, scheduler, events};
};

TEST(HostSender, FramesRecords) {
    Harness h;
    const Bytes_ data = {0x7D, 0xFF, 0x40};
    h.sender.sendRecord(data);
    ASSERT_EQ(h.connection.sent.size(), 1u);
    EXPECT_EQ(h.connection.sent[0], (Bytes_{0x7D, 0xFF, 0xFF, 0x40, kIac, kEor}));
    EXPECT_EQ(h.events.traced, h.connection.sent);
    EXPECT_EQ(h.sender.lastSent(), data);

    // A Telnet command through this path goes unchanged; trace-only sends nothing.
    h.sender.sendRecord(Bytes_{kIac, kBrk});
    EXPECT_EQ(h.connection.sent[1], (Bytes_{kIac, kBrk}));
    h.sender.sendRecord(data, HostSender::kTrace);
    EXPECT_EQ(h.connection.sent.size(), 2u);
    EXPECT_EQ(h.events.traced.size(), 3u);

    // IACs together, at the end, and a record of nothing else after its AID.
    const struct {
        Bytes_ data, framed;
    } cases[] = {
        {{0x7D, 0xFF, 0xFF}, {0x7D, 0xFF, 0xFF, 0xFF, 0xFF, kIac, kEor}},
        {{0x7D, 0x40, 0x40, 0xFF}, {0x7D, 0x40, 0x40, 0xFF, 0xFF, kIac, kEor}},
        {{0x7D}, {0x7D, kIac, kEor}},
    };
    for (const auto& c : cases) {
        h.sender.sendRecord(c.data);
        EXPECT_EQ(h.connection.sent.back(), c.framed);
    }
}

TEST(HostSender, Tn3270eHeaderAndSequenceNumbers) {
    Harness h(true);
    h.state.lastDataType = kDtSscpLuData;
    for (int i = 0; i < 256; ++i)
        h.sender.sendRecord(Bytes_{0x7D});
    // The 256th frame carries sequence 255, its 0xFF doubled.
    EXPECT_EQ(h.connection.sent[255],
              (Bytes_{kDtSscpLuData, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x7D, kIac, kEor}));
    EXPECT_EQ(h.connection.sent[0], (Bytes_{kDtSscpLuData, 0, 0, 0, 0, 0x7D, kIac, kEor}));
    // Only frames really sent count.
    h.sender.sendRecord(Bytes_{}, HostSender::kTrace);
    EXPECT_EQ(h.sender.sendSequence(), 256);
    h.sender.connectionStarted();
    EXPECT_EQ(h.sender.sendSequence(), 0);
}

TEST(HostSender, TheTraceShowsTheMaskedCopyFramedAlike) {
    Harness h(true);
    const Bytes_ data = {0x7D, 0x40, 0x40, 0x11, 0x40, 0x4A, 0x81, 0x82};
    const Bytes_ masked = {0x7D, 0x40, 0x40, 0x11, 0x40, 0x4A, 0xE7, 0xE7};
    h.sender.sendAid(data, HostSender::kReallySend | HostSender::kTrace, masked);
    ASSERT_EQ(h.connection.sent.size(), 1u);
    ASSERT_EQ(h.events.traced.size(), 1u);
    const Bytes_ header = {0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes_ wire = header, trace = header;
    wire.insert(wire.end(), data.begin(), data.end());
    trace.insert(trace.end(), masked.begin(), masked.end());
    wire.insert(wire.end(), {kIac, kEor});
    trace.insert(trace.end(), {kIac, kEor});
    EXPECT_EQ(h.connection.sent[0], wire);
    EXPECT_EQ(h.events.traced[0], trace) << "same header and sequence, masked data";
    EXPECT_EQ(h.sender.lastSent(), data) << "a resend repeats what went to the host";
}

TEST(HostSender, KeepAlive) {
    Harness h;
    SenderSettings s;
    s.keepAliveTime = 60;
    s.keepAliveTimeDisable = 600;
    s.keepAliveCommand = kAyt;
    h.sender.setSettings(s);
    h.sender.connectionStarted();
    for (int second = 0; second < 1200; ++second)
        h.sender.secondTick(true);
    ASSERT_EQ(h.connection.sent.size(), 9u) << "every 60 s for the first 10 minutes";
    EXPECT_EQ(h.connection.sent[0], (Bytes_{kIac, kAyt}));
    h.sender.operatorActed();
    for (int second = 0; second < 60; ++second)
        h.sender.secondTick(true);
    EXPECT_EQ(h.connection.sent.size(), 10u) << "a key function starts them again";
    for (int second = 0; second < 120; ++second)
        h.sender.secondTick(false);
    EXPECT_EQ(h.connection.sent.size(), 10u) << "none before the connection is up";
}

TEST(HostSender, HexStringsGoOutUnframed) {
    Harness h(true);
    EXPECT_TRUE(h.sender.sendHexString("fFf4"));
    EXPECT_EQ(h.connection.sent.back(), (Bytes_{kIac, kIp})) << "no TN3270E header, no IAC EOR";
    EXPECT_TRUE(h.sender.sendHexString(""));
    EXPECT_EQ(h.connection.sent.size(), 1u) << "an empty text sends nothing";
    h.sender.sendHexString("fff1zz");
    EXPECT_EQ(h.connection.sent.back(), (Bytes_{kIac, kNop})) << "pairs up to the first non-digit";
}

TEST(HostSender, FailedSendTakesTheHostClosedPathOnce) {
    Harness h;
    h.connection.failWith = socket_error::kConnReset;
    EXPECT_FALSE(h.sender.sendRecord(Bytes_{0x7D}));
    ASSERT_EQ(h.events.failures.size(), 1u);
    EXPECT_EQ(h.events.failures[0],
              "Error sending data to host, code=10054\nPress Ok when you are ready to try to "
              "reconnect");
    h.sender.sendRecord(Bytes_{0x7D});
    EXPECT_EQ(h.events.failures.size(), 1u) << "reported once per connection";

    Harness none;
    none.sender.setConnection(nullptr);
    none.sender.sendRecord(Bytes_{0x7D});
    ASSERT_EQ(none.events.failures.size(), 1u);
    EXPECT_NE(none.events.failures[0].find("code=10038"), std::string::npos);
}

TEST(HostPort, Parsing) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"mainframe", true, "mainframe", 0},
        {"mainframe:992", true, "mainframe", 992},
        {"10.1.2.3:23", true, "10.1.2.3", 23},
        {"[::1]:2323", true, "::1", 2323},
        {"[fe80::1]", true, "fe80::1", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:99999999999", false, "", 0},
        {"host:-1", false, "", 0},
        {"host:", false, "", 0},
        {":23", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
    };
    for (const auto& c : cases) {
        HostPort hp;
        std::string error;
        EXPECT_EQ(parseHostPort(c.text, hp, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(hp.host, c.host) << c.text;
            EXPECT_EQ(hp.port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

}  // namespace
}  // namespace cedar
