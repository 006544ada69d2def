#include "session/host_link.h"

#include <gtest/gtest.h>

#include <map>

#include "fake_connector.h"
#include "host/trace.h"
#include "manual_scheduler.h"
#include "memory_sink.h"
#include "record_builder.h"

namespace cedar {
namespace {

using namespace telnet;
using Bytes_ = std::vector<std::uint8_t>;

class Ui : public LinkUi {
  public:
    std::vector<std::string> errors;
    int closed = 0;
    int ups = 0;
    void showError(const std::string& t, const std::string& m) override {
        errors.push_back(t + ": " + m);
    }
    void hostClosed() override { ++closed; }
    void connected(const ConnectionInfo&) override { ++ups; }
};

struct Harness {
    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    Ui ui;
    HostLink link{t.session, connector, scheduler, ui};
    void connect() {
        ConnectionOptions options;
        options.host = "host";
        link.connect(options, {});
    }
};

TEST(HostLink, ConnectNegotiateAndShowTheFirstScreen) {
    Harness h;
    h.connect();
    EXPECT_EQ(h.t.session.status, SessionStatus::Connecting);
    h.connector.up();
    EXPECT_EQ(h.ui.ups, 1);
    h.connector.receive(
        {kIac, kDo, kOptTerminalType, kIac, kSb, kOptTerminalType, kTtSend, kIac, kSe});
    ASSERT_FALSE(h.connector.current->sent.empty());
    const Bytes_ replies = h.connector.current->sent[0];  // a block's replies go out together
    ASSERT_GE(replies.size(), 3u);
    EXPECT_EQ(Bytes_(replies.begin(), replies.begin() + 3),
              (Bytes_{kIac, kWill, kOptTerminalType}));
    EXPECT_EQ(h.t.session.status, SessionStatus::Connected);
    auto screen = test::RecordBuilder(0xF5, 0xC3).text("LOGON").bytes();
    h.connector.receive({kIac, kDo, kOptEndOfRecord});
    screen.insert(screen.end(), {kIac, kEor});
    h.connector.receive(screen);
    EXPECT_EQ(h.t.row(0), "LOGON");
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);

    // An attention key's record goes out framed.
    h.link.sender().sendAid(Bytes_{0x7D, 0x40, 0x40});
    EXPECT_EQ(h.connector.current->sent.back(), (Bytes_{0x7D, 0x40, 0x40, kIac, kEor}));
}

TEST(HostLink, AnswersTheHostsReadsAndQueries) {
    Harness h;
    h.connect();
    h.connector.up();
    h.connector.receive({kIac, kDo, kOptEndOfRecord});
    auto screen = test::RecordBuilder(0xF5, 0xC3).sf(0x60).text("AB").ic().bytes();
    screen.insert(screen.end(), {kIac, kEor});
    h.connector.receive(screen);
    h.connector.current->sent.clear();
    // Read Buffer: the AID (none yet), the cursor and the buffer.
    h.connector.receive({0xF2, kIac, kEor});
    ASSERT_EQ(h.connector.current->sent.size(), 1u);
    const Bytes_& reply = h.connector.current->sent[0];
    ASSERT_GE(reply.size(), 8u);
    EXPECT_EQ(Bytes_(reply.begin(), reply.begin() + 7),
              (Bytes_{0x60, 0x40, 0xC3, 0x1D, 0xE0, 0xC1, 0xC2}));
    // Read Partition Query: query replies under AID 0x88.
    h.connector.current->sent.clear();
    h.connector.receive({0xF3, 0x00, 0x05, 0x01, 0xFF, 0xFF, 0x02, kIac, kEor});  // 0xFF doubled
    ASSERT_EQ(h.connector.current->sent.size(), 1u);
    EXPECT_EQ(h.connector.current->sent[0][0], 0x88);
}

// A password typed into a non-display field goes to the host as typed and
// reaches the trace only as X characters.
TEST(HostLink, TheTraceNeverHoldsAPassword) {
    Harness h;
    test::MemorySink sink;
    test::FixedClock clock;
    Trace trace(sink, clock, 'A', "Jan  1 2026");
    h.link.setTrace(&trace);
    trace.start();
    h.connect();
    h.connector.up();
    h.connector.receive({kIac, kDo, kOptEndOfRecord});
    auto screen =
        test::RecordBuilder(0xF5, 0xC3).sf(0x60).text("PW").sf(0x4C).ic().sba(40).sf(0x60).bytes();
    screen.insert(screen.end(), {kIac, kEor});
    h.connector.receive(screen);
    // The operator's input: "SECRET" in the non-display field, MDT set.
    const auto secret = test::ebcdic("SECRET");
    for (std::size_t i = 0; i < secret.size(); ++i)
        h.t.ps().characters()[4 + i] = h.t.session.codePages.hostToDisplay(secret[i]);
    h.t.ps().attributes()[3] |= fa::kModified;
    h.link.inbound().sendReadModified(0x7D);
    trace.stop();

    const std::string wire(h.connector.current->sent.back().begin(),
                           h.connector.current->sent.back().end());
    EXPECT_NE(wire.find(std::string(secret.begin(), secret.end())), std::string::npos);
    TraceFile file;
    std::string error;
    ASSERT_TRUE(parseTrace(sink.files[traceFileName('A')], file, error)) << error;
    int blocks = 0, records = 0, sent = 0, commands = 0;
    for (const auto& r : file.records) {
        const std::string body(r.body.begin(), r.body.end());
        EXPECT_EQ(body.find(std::string(secret.begin(), secret.end())), std::string::npos);
        blocks += r.type == 8;
        records += r.type == 2;
        sent += r.type == 3;
        commands += r.type == 1;
    }
    EXPECT_EQ(commands, 2) << "DO END-OF-RECORD and the IAC EOR that ended the screen";
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(records, 1);
    EXPECT_GE(sent, 2) << "the Telnet reply and the masked reply";
    const auto& last = file.records.back();
    const auto xs = test::ebcdic("XXXXXX");
    const std::string x6(xs.begin(), xs.end());
    EXPECT_NE(std::string(last.body.begin(), last.body.end()).find(x6), std::string::npos);
}

// A record that grows past the limit is dropped whole, the trace's text file
// says so, and the records after it are applied as usual.
TEST(HostLink, ARecordDroppedForItsSizeIsNotedInTheTrace) {
    Harness h;
    test::MemorySink sink;
    test::FixedClock clock;
    Trace trace(sink, clock, 'A', "Jan  1 2026");
    h.link.setTrace(&trace);
    trace.start();
    h.connect();
    h.connector.up();
    h.connector.receive({kIac, kDo, kOptEndOfRecord});
    auto framed = [](Bytes_ record) {
        record.insert(record.end(), {kIac, kEor});
        return record;
    };
    h.connector.receive(framed(test::RecordBuilder(0xF5, 0xC3).text("KEPT").bytes()));
    Bytes_ huge(TelnetLayer::kMaxRecord + 10, 0xC1);
    huge[0] = 0xF5;
    huge[1] = 0xC3;
    h.connector.receive(framed(huge));
    h.connector.receive(framed(test::RecordBuilder(0xF1, 0xC3).sba(80).text("AFTER").bytes()));
    EXPECT_EQ(h.t.row(0), "KEPT");
    EXPECT_EQ(h.t.row(1), "AFTER");
    const auto& text = sink.files[traceTextFileName('A')];
    EXPECT_EQ(std::string(text.begin(), text.end()),
              clock.text + " " + recordDroppedText(huge.size(), TelnetLayer::kMaxRecord) + "\n");
    trace.stop();
    TraceFile file;
    std::string error;
    ASSERT_TRUE(parseTrace(sink.files[traceFileName('A')], file, error)) << error;
    // (The megabyte of raw block restarted the trace file on the way.)
    int records = 0;
    for (const auto& r : file.records) {
        if (r.type != 2) continue;
        ++records;
        EXPECT_LT(r.body.size(), 100u) << "the dropped record is not traced as received";
    }
    EXPECT_GE(records, 1);
}

// A z/OS TN3270 server seen in the field agrees to TN3270E and then
// withdraws it with WONT TN3270E (not DONT) and goes on as plain TN3270 with
// the TSO logon screen. The session leaves TN3270E, says WONT TN3270E once,
// answers the terminal type, shows the screen unlocked and sends its records
// without a TN3270E header. The same when the WONT comes before DEVICE-TYPE.
TEST(HostLink, AServerWithdrawingTn3270eWithWontIsServedAsTn3270) {
    auto cat = [](std::initializer_list<Bytes_> parts) {
        Bytes_ out;
        for (const auto& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    auto text = [](const std::string& t) { return Bytes_(t.begin(), t.end()); };
    const std::string type = "IBM-3278-2-E";
    struct Step {
        Bytes_ host;
        Bytes_ reply;  // the replies to the host's block, as sent
    };
    const std::vector<Step> deviceType = {
        {{kIac, kSb, kOptTn3270e, kTnSend, kTnDeviceType, kIac, kSe},
         cat({{kIac, kSb, kOptTn3270e, kTnDeviceType, kTnRequest},
              text(type),
              {kTnConnect},
              text("TSO00042"),
              {kIac, kSe}})},
        {cat({{kIac, kSb, kOptTn3270e, kTnDeviceType, kTnIs},
              text(type),
              {kTnConnect},
              text("TSO00042"),
              {kIac, kSe}}),
         {kIac, kSb, kOptTn3270e, kTnFunctions, kTnRequest, kFnBindImage, kFnResponses, kFnSysreq,
          kIac, kSe}},
    };
    const std::vector<Step> tn3270 = {
        {{kIac, kWont, kOptTn3270e, kIac, kDo, kOptTerminalType},
         {kIac, kWont, kOptTn3270e, kIac, kWill, kOptTerminalType}},
        {{kIac, kSb, kOptTerminalType, kTtSend, kIac, kSe},
         cat({{kIac, kSb, kOptTerminalType, kTtIs}, text(type + "@TSO00042"), {kIac, kSe}})},
        {{kIac, kDo, kOptEndOfRecord, kIac, kWill, kOptEndOfRecord, kIac, kDo, kOptBinary, kIac,
          kWill, kOptBinary},
         {kIac, kWill, kOptEndOfRecord, kIac, kDo, kOptEndOfRecord, kIac, kWill, kOptBinary, kIac,
          kDo, kOptBinary}},
        // A repeated WONT changes nothing and is not answered again.
        {{kIac, kWont, kOptTn3270e}, {}},
    };
    const struct {
        const char* name;
        bool afterFunctions;
    } cases[] = {{"after the FUNCTIONS REQUEST", true}, {"before DEVICE-TYPE", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        ConnectionOptions options;
        options.host = "host";
        h.link.connect(options, {true, "TSO00042"});
        h.connector.up();
        std::vector<Step> steps = {{{kIac, kDo, kOptTn3270e}, {kIac, kWill, kOptTn3270e}}};
        if (c.afterFunctions) steps.insert(steps.end(), deviceType.begin(), deviceType.end());
        steps.insert(steps.end(), tn3270.begin(), tn3270.end());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            auto& sent = h.connector.current->sent;
            sent.clear();
            h.connector.receive(steps[i].host);
            EXPECT_EQ(sent.empty() ? Bytes_{} : sent.front(), steps[i].reply);
            EXPECT_LE(sent.size(), 1u);
        }
        EXPECT_FALSE(h.link.protocol().tn3270eMode);

        // The logon screen, with no header in front.
        auto logon = test::RecordBuilder(0xF5, 0xC3)
                         .sf(0x60)
                         .text("IKJ56700A ENTER USERID -")
                         .sba(80)
                         .sf(0x40)
                         .ic()
                         .bytes();
        logon.insert(logon.end(), {kIac, kEor});
        h.connector.receive(logon);
        EXPECT_EQ(h.t.row(0), " IKJ56700A ENTER USERID -");
        EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
        EXPECT_EQ(h.t.ps().cursor(), 81);

        h.link.sender().sendAid(Bytes_{0x7D, 0x40, 0xD2});
        EXPECT_EQ(h.connector.current->sent.back(), (Bytes_{0x7D, 0x40, 0xD2, kIac, kEor}));
    }
}

TEST(HostLink, FailuresReachTheUserWithTheirTitles) {
    Harness h;
    h.connect();
    h.connector.current->events->connectFailed(
        "Error connecting to hostname host, port 23, rc=10061");
    ASSERT_EQ(h.ui.errors.size(), 1u);
    EXPECT_EQ(h.ui.errors[0],
              "Cedar TN3270 Connection Error 2: Error connecting to hostname host, port 23, "
              "rc=10061");
    EXPECT_EQ(h.t.session.status, SessionStatus::NotConnected);
    EXPECT_FALSE(h.link.connected());

    h.connect();
    h.connector.current->events->tlsFailed(
        "Encryption Error, Host certificate failed verification");
    EXPECT_EQ(h.ui.errors.back(),
              "Cedar TN3270 Connection Error 6: Encryption Error, Host certificate failed "
              "verification");
}

TEST(HostLink, HardSendErrorEndsTheConnectionInsteadOfHanging) {
    Harness h;
    h.connect();
    h.connector.up();
    h.t.session.status = SessionStatus::SysLock;
    h.connector.current->failSendsWith = socket_error::kConnReset;
    h.link.sender().sendAid(Bytes_{0x7D, 0x40, 0x40});
    ASSERT_EQ(h.ui.errors.size(), 1u);
    EXPECT_EQ(h.ui.errors[0].rfind("Send Error: Error sending data to host, code=10054", 0), 0u);
    EXPECT_EQ(h.ui.closed, 1);
    EXPECT_EQ(h.t.session.status, SessionStatus::NotConnected);
    EXPECT_FALSE(h.link.connected());
    h.scheduler.runPosted();  // the retired connection goes away
    EXPECT_EQ(h.connector.current, nullptr);
}

TEST(HostLink, AFailedKeepAliveEndsTheConnectionWithoutAMessage) {
    Harness h;
    SenderSettings s;
    s.keepAliveTime = 1;
    h.link.sender().setSettings(s);
    h.connect();
    h.connector.up();
    h.connector.current->failSendsWith = socket_error::kConnReset;
    h.link.sender().secondTick(true);
    EXPECT_TRUE(h.ui.errors.empty());
    EXPECT_EQ(h.ui.closed, 1);
    EXPECT_FALSE(h.link.connected());
}

// The connection reports a failure of what it had queued later, on its own:
// the same message and host-closed path as a send that failed at once, quiet
// when the keep-alive was the last thing sent.
TEST(HostLink, AQueuedSendThatFailsLaterTakesTheSendErrorPath) {
    struct Case {
        const char* name;
        bool keepAliveLast;
        int error;
        const char* message;  // "" = none
    };
    const Case cases[] = {
        {"Enter timed out", false, socket_error::kTimedOut,
         "Send Error: Error sending data to host, code=10060\nPress Ok when you are ready to try "
         "to reconnect"},
        {"Enter reset", false, socket_error::kConnReset,
         "Send Error: Error sending data to host, code=10054\nPress Ok when you are ready to try "
         "to reconnect"},
        {"keep-alive last", true, socket_error::kTimedOut, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        SenderSettings s;
        s.keepAliveTime = 1;
        h.link.sender().setSettings(s);
        h.connect();
        h.connector.up();
        h.t.session.status = SessionStatus::SysLock;
        h.link.sender().sendAid(Bytes_{0x7D, 0x40, 0x40});
        if (c.keepAliveLast) h.link.sender().secondTick(true);
        ASSERT_TRUE(h.ui.errors.empty());
        h.connector.queuedSendFails(c.error);
        if (*c.message == '\0')
            EXPECT_TRUE(h.ui.errors.empty());
        else
            EXPECT_EQ(h.ui.errors, std::vector<std::string>{c.message});
        EXPECT_EQ(h.ui.closed, 1);
        EXPECT_EQ(h.t.session.status, SessionStatus::NotConnected);
        EXPECT_FALSE(h.link.connected());
        // The next send is the not-connected case, which is not reported twice.
        h.link.sender().sendAid(Bytes_{0x7D, 0x40, 0x40});
        EXPECT_EQ(h.ui.closed, 1);
        EXPECT_LE(h.ui.errors.size(), 1u);
    }
}

TEST(HostLink, ReconnectStartsFresh) {
    Harness h;
    h.connect();
    h.connector.receive({kIac, kDo, kOptTn3270e});
    h.connector.hostCloses();
    EXPECT_EQ(h.ui.closed, 1);
    h.connect();
    EXPECT_EQ(h.connector.connects, 2);
    EXPECT_FALSE(h.link.protocol().tn3270eMode);
    EXPECT_TRUE(h.link.protocol().lineMode);
    EXPECT_EQ(h.link.sender().sendSequence(), 0);
}

}  // namespace
}  // namespace cedar
