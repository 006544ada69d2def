// HostLink seen through the driver's LinkControl: which of HostLink's reports
// become which LinkEvents, with the real HostLink on a fake connector.
#include "session/host_link_control.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_connector.h"
#include "manual_scheduler.h"

namespace cedar {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kIac = 0xFF, kDo = 0xFD, kSb = 0xFA, kSe = 0xF0, kEor = 0xEF;
constexpr std::uint8_t kTn3270e = 0x28, kTerminalType = 0x18, kEndOfRecord = 0x19;

class Events : public LinkEvents {
  public:
    explicit Events(Session& s) : session(s) {}
    void firstRecordArrived() override { log.push_back("first"); }
    void hostClosed() override {
        log.push_back(std::string("closed ") + (session.status == SessionStatus::Rejected
                                                    ? "REJECTED"
                                                    : std::string(statusName(session.status))));
    }
    void connectionError(const std::string& text) override { log.push_back("error " + text); }
    void connectionFailed(const std::string& title, const std::string& text) override {
        log.push_back("failed " + title + ": " + text);
    }
    void linkMessage(const std::string& title, const std::string&) override {
        log.push_back("message " + title);
    }
    void certificateFailed(const std::string& text, const CertificateDetails& d) override {
        log.push_back("certificate " + text + " for " + d.host + ":" + std::to_string(d.port));
    }
    Session& session;
    std::vector<std::string> log;
};

struct Rig {
    Rig() { control.setEvents(&events); }
    void start() {
        sessionfile::SessionOptions record;
        record.setText(sessionfile::Field::HostName, "MVS1");
        control.start(record);
    }
    Session session;
    test::FakeConnector connector;
    test::ManualScheduler clock;  // after the connector: tasks it holds go first
    Events events{session};
    std::vector<std::string> planned;
    HostLinkControl control{session, connector, clock,
                            [this](const sessionfile::SessionOptions& r) {
                                planned.push_back(r.text(sessionfile::Field::HostName));
                                ConnectionPlan p;
                                p.connection.host = "mvs1.example";
                                p.connection.port = 2323;
                                return p;
                            }};
};

TEST(HostLinkControl, ReportsTheFirstRecordOncePerConnectionNotTheNegotiation) {
    Rig r;
    r.start();
    EXPECT_EQ(r.planned, (std::vector<std::string>{"MVS1"}));
    ASSERT_NE(r.connector.current, nullptr);
    EXPECT_EQ(r.connector.current->options.host, "mvs1.example");
    EXPECT_EQ(r.connector.current->options.port, 2323);
    EXPECT_EQ(r.session.status, SessionStatus::Connecting);
    EXPECT_TRUE(r.control.isOpen());
    r.connector.up();
    // Negotiation is not a record.
    r.connector.receive({kIac, kDo, kTerminalType});
    r.connector.receive({kIac, kDo, kEndOfRecord});
    EXPECT_TRUE(r.events.log.empty());
    // The first record's first byte arrives alone; the rest and a second
    // record follow.
    r.connector.receive({0xF5});
    EXPECT_EQ(r.events.log, (std::vector<std::string>{"first"}));
    r.connector.receive({0xC3, kIac, kEor, 0xF1, 0xC3, kIac, kEor});
    EXPECT_EQ(r.events.log, (std::vector<std::string>{"first"}));
    r.connector.hostCloses();
    r.clock.runPosted();
    EXPECT_FALSE(r.control.isOpen());
    // A new connection reports its own first record.
    r.start();
    r.connector.receive({kIac, kDo, kEndOfRecord, 0xF5, 0xC3, kIac, kEor});
    EXPECT_EQ(r.events.log, (std::vector<std::string>{"first", "closed NOTCONNECTED", "first"}));
}

TEST(HostLinkControl, RejectedIsStillInForceWhenTheCloseIsReported) {
    Rig r;
    r.start();
    r.connector.up();
    r.connector.receive({kIac, kDo, kTn3270e});
    r.connector.receive({kIac, kSb, kTn3270e, 0x08, 0x02, kIac, kSe});  // SEND DEVICE-TYPE
    // DEVICE-TYPE REJECT REASON INV-DEVICE-TYPE (RFC 2355).
    r.connector.receive({kIac, kSb, kTn3270e, 0x02, 0x06, 0x05, 0x04, kIac, kSe});
    EXPECT_EQ(r.session.status, SessionStatus::Rejected);
    r.connector.hostCloses();
    EXPECT_EQ(r.events.log, (std::vector<std::string>{"message Cedar TN3270 Connection Error 3",
                                                      "closed REJECTED"}));
    EXPECT_EQ(r.session.status, SessionStatus::Rejected);
}

// Each way a connection fails reaches the driver as its own event, whatever
// the message says.
TEST(HostLinkControl, EachFailureBecomesItsOwnEvent) {
    struct Case {
        const char* name;
        std::function<void(test::FakeConnector&)> fail;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"connect",
         [](test::FakeConnector& c) { c.current->events->connectFailed("Connection Error 6"); },
         {"error Connection Error 6"}},
        {"tls",
         [](test::FakeConnector& c) {
             c.current->events->tlsFailed("Error connecting to hostname h, port 23, rc=10061");
         },
         {"failed Cedar TN3270 Connection Error 6: Error connecting to hostname h, port 23, "
          "rc=10061"}},
        {"certificate",
         [](test::FakeConnector& c) {
             CertificateDetails d;
             d.host = "h";
             d.port = 992;
             c.current->events->certificateFailed("Encryption Error", d);
         },
         {"certificate Encryption Error for h:992"}},
        {"send",
         [](test::FakeConnector& c) {
             c.up();
             c.current->failSendsWith = socket_error::kConnReset;
             c.current->events->dataReceived(std::vector<std::uint8_t>{kIac, kDo, kTerminalType});
         },
         {"message Send Error", "closed NOTCONNECTED"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.start();
        c.fail(r.connector);
        r.clock.runPosted();
        EXPECT_EQ(r.events.log, c.log);
        EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
        EXPECT_FALSE(r.control.isOpen());
    }
}

TEST(HostLinkControl, AFailedKeepAliveClosesWithoutAMessage) {
    Rig r;
    SenderSettings s;
    s.keepAliveTime = 1;
    r.control.link().sender().setSettings(s);
    r.start();
    r.connector.up();
    r.connector.current->failSendsWith = socket_error::kConnReset;
    r.control.secondTick(true);
    EXPECT_EQ(r.events.log, (std::vector<std::string>{"closed NOTCONNECTED"}));
}

TEST(HostLinkControl, LeavesLineModeBetweenConnections) {
    Rig r;
    r.start();
    EXPECT_TRUE(r.control.link().protocol().lineMode);
    r.connector.hostCloses();
    r.control.leaveLineMode();
    EXPECT_FALSE(r.control.link().protocol().lineMode);
    r.start();
    EXPECT_TRUE(r.control.link().protocol().lineMode) << "every connection starts in line mode";
}

TEST(HostLinkControl, SecureFollowsTheConnection) {
    Rig r;
    r.start();
    ConnectionInfo info;
    info.tls = true;
    r.connector.current->events->connectionUp(info);
    EXPECT_TRUE(r.control.secure());
    r.control.clearSecure();
    EXPECT_FALSE(r.control.secure());
    r.start();
    r.connector.current->events->connectionUp(info);
    r.control.close();
    EXPECT_FALSE(r.control.secure());
    EXPECT_FALSE(r.control.isOpen());
}

}  // namespace
}  // namespace cedar
