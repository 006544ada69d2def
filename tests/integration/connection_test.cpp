// The connection end to end: the real TcpConnector, HostLink and an
// EventLoop run by the test's thread, against
//  - the loopback test host (ReplayHost): TN3270 and TN3270E negotiation
//    (RFC 1091, 885, 856, 2355), DEVICE-TYPE REJECT, TN3270E headers and
//    responses, the host ending the connection at awkward points;
//  - Hercules: its logo screen, compared with what s3270 shows;
//  - stunnel in front of either: TLS with certificates made at test time.
// Plus cedar_headless as a program, driven through pipes.
//
// Every wait is bounded; hosts and child processes go with their objects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "hercules_host.h"
#include "line_process.h"
#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "record_builder.h"
#include "replay_host.h"
#include "s3270_peer.h"
#include "screen/screen_text.h"
#include "session/host_link.h"
#include "stunnel.h"
#include "test_certs.h"

namespace cedar {
namespace {

using namespace std::chrono_literals;
using test::ReplayHost;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using Message = ReplayHost::Message;

// Every wait of these tests ends after this long at the latest.
constexpr std::chrono::milliseconds kWait = 15s;

// The terminal type of model 2, the session's default.
const std::string kType = "IBM-3278-2-E";

// ---------------------------------------------------------------------------
// Expected bytes.

constexpr std::uint8_t kIac = 0xFF, kWill = 0xFB, kWont = 0xFC, kDo = 0xFD, kSb = 0xFA, kSe = 0xF0,
                       kEor = 0xEF;
constexpr std::uint8_t kOptBinary = 0x00, kOptTimingMark = 0x06, kOptTerminalType = 0x18,
                       kOptEor = 0x19, kOptTn3270e = 0x28;
constexpr std::uint8_t kDeviceType = 0x02, kFunctions = 0x03, kIs = 0x04, kRequest = 0x07,
                       kConnect = 0x01;

Bytes verb(std::uint8_t v, std::uint8_t option) {
    return {kIac, v, option};
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// IAC SB body IAC SE.
Bytes sb(const Bytes& body) {
    return cat({{kIac, kSb}, body, {kIac, kSe}});
}

// The client's side of a TN3270 negotiation (RFC 1576) with this host:
// WILL TERMINAL-TYPE, TERMINAL-TYPE IS, then EOR and BINARY both ways.
Bytes tn3270Answers(const std::string& terminalType) {
    return cat({verb(kWill, kOptTerminalType),
                sb(cat({{kOptTerminalType, 0x00}, text(terminalType)})), verb(kWill, kOptEor),
                verb(kDo, kOptEor), verb(kWill, kOptBinary), verb(kDo, kOptBinary)});
}

// DEVICE-TYPE REQUEST type [CONNECT lu] (RFC 2355 section 7.1).
Bytes deviceTypeRequest(const std::string& lu) {
    Bytes body = cat({{kOptTn3270e, kDeviceType, kRequest}, text(kType)});
    if (!lu.empty()) body = cat({body, {kConnect}, text(lu)});
    return sb(body);
}

Bytes functions(std::uint8_t how, const Bytes& list) {
    return sb(cat({{kOptTn3270e, kFunctions, how}, list}));
}

const Bytes kAllFunctions = {ReplayHost::kFunctionBindImage, ReplayHost::kFunctionResponses,
                             ReplayHost::kFunctionSysreq};
const Bytes kTimingMarkAnswer = verb(kWont, kOptTimingMark);

std::string hexOf(const Bytes& bytes) {
    std::string out;
    char b[4];
    for (std::uint8_t x : bytes) {
        std::snprintf(b, sizeof b, "%02X ", x);
        out += b;
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += "  " + l + "\n";
    return out;
}

// ---------------------------------------------------------------------------
// Host records.

// A first screen: a protected title field and an unprotected input field;
// the WCC restores the keyboard.
Bytes firstScreen(const std::string& title = "CEDAR LOOPBACK HOST") {
    return test::RecordBuilder(cmd::kEraseWrite, 0xC3)
        .sba(0)
        .sf(0x60)
        .text(title)
        .sba(80)
        .sf(0x40)
        .ic()
        .text("INPUT")
        .bytes();
}

// A BIND image (SNA BIND RU) naming the primary LU at offset 27 and, after
// the empty user data and correlation fields, the secondary LU.
Bytes bindImage(const std::string& primary, const std::string& secondary) {
    Bytes ru(27, 0x00);
    ru[0] = 0x31;  // BIND
    ru.push_back(static_cast<std::uint8_t>(primary.size()));
    const Bytes p = test::ebcdic(primary);
    ru.insert(ru.end(), p.begin(), p.end());
    ru.push_back(0x00);  // user data length
    ru.push_back(0x00);  // user request correlation length
    ru.push_back(static_cast<std::uint8_t>(secondary.size()));
    const Bytes s = test::ebcdic(secondary);
    ru.insert(ru.end(), s.begin(), s.end());
    return ru;
}

Message message(std::uint8_t dataType, Bytes data, std::uint8_t responseFlag = 0) {
    Message m;
    m.dataType = dataType;
    m.responseFlag = responseFlag;
    m.data = std::move(data);
    return m;
}

// A positive response (RFC 2355 section 10.4.1) to the request `sequence`.
Message positiveResponse(std::uint16_t sequence) {
    Message m = message(ReplayHost::kDataResponse, {0x00});
    m.sequence = sequence;
    return m;
}

// ---------------------------------------------------------------------------
// The client: one session with the program's code pages, the real TCP
// connector, HostLink, and an event loop run by the test's thread.

class RecordingUi : public LinkUi {
  public:
    struct Error {
        std::string title;
        std::string text;
        bool operator==(const Error&) const = default;
    };
    void showError(const std::string& title, const std::string& body) override {
        errors.push_back({title, body});
    }
    void screenChanged() override { ++screens; }
    void hostClosed() override { ++closed; }
    void connected(const ConnectionInfo& i) override {
        up = true;
        info = i;
    }

    std::vector<Error> errors;
    int screens = 0;
    int closed = 0;
    bool up = false;
    ConnectionInfo info;
};

std::ostream& operator<<(std::ostream& out, const RecordingUi::Error& e) {
    return out << "[" << e.title << "] " << e.text;
}

class Client {
  public:
    Client() = default;

    void connect(int port, const TelnetConfig& telnet = {}) {
        ConnectionOptions options;
        options.host = "127.0.0.1";
        options.port = static_cast<std::uint16_t>(port);
        link.connect(options, telnet);
    }
    void connect(const ConnectionOptions& options, const TelnetConfig& telnet = {}) {
        link.connect(options, telnet);
    }

    // Runs the session's events until `done` or `timeout`. The loop is woken
    // by the connection's posts; short slices let it also see conditions
    // that other threads (the test host) change.
    template <typename Predicate>
    bool run(Predicate done, std::chrono::milliseconds timeout = kWait) {
        const auto deadline = Clock::now() + timeout;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            loop.runOnce(std::min<std::int64_t>(left.count(), 20));
        }
        return true;
    }
    bool runUntilSynced(ReplayHost& host) {
        return run([&] { return host.synced() || host.clientGone(); }) && host.synced();
    }

    std::vector<std::string> rows() const { return screenRows(t.session.screen); }
    std::string row(int r) {
        std::string s = rows().at(static_cast<std::size_t>(r));
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
    bool blank() const {
        for (const auto& r : rows())
            if (r.find_first_not_of(' ') != std::string::npos) return false;
        return true;
    }
    SessionStatus status() const { return t.session.status; }

    test::TestSession t;
    EventLoop loop;
    TcpConnector connector;
    RecordingUi ui;
    HostLink link{t.session, connector, loop, ui};  // last: goes first
};

// ---------------------------------------------------------------------------
// Negotiation variants.

struct NegotiationCase {
    const char* name;
    ReplayHost::Negotiation negotiation;
    TelnetConfig telnet;
    ReplayHost::Tn3270e host;
    Bytes expected;  // what the client sends before it answers the timing mark
    bool tn3270e;
    std::string terminalType;  // the host's TERMINAL-TYPE IS, in TN3270
    std::string assignedLu;    // ProtocolState::assignedLuName
    std::optional<Bytes> agreedFunctions;
};

ReplayHost::Tn3270e hostWith(ReplayHost::Functions mode, Bytes functions = kAllFunctions,
                             bool grant = true) {
    ReplayHost::Tn3270e t;
    t.functionsMode = mode;
    t.functions = std::move(functions);
    t.grantRequestedDevice = grant;
    return t;
}

TEST(Negotiation, VariantsAgainstTheTestHost) {
    using N = ReplayHost::Negotiation;
    using F = ReplayHost::Functions;
    const TelnetConfig plain{true, ""};
    const TelnetConfig withLu{true, "TSO00042"};
    const TelnetConfig noTn3270e{false, "TSO00042"};
    const Bytes willTn3270e = verb(kWill, kOptTn3270e);
    const NegotiationCase cases[] = {
        {"TN3270 host", N::Tn3270, plain, {}, tn3270Answers(kType), false, kType, "", {}},
        {"TN3270 host, LU asked: TERMINAL-TYPE carries @LU",
         N::Tn3270,
         withLu,
         {},
         tn3270Answers(kType + "@TSO00042"),
         false,
         kType + "@TSO00042",
         "",
         {}},
        {"TN3270 host, LU asked, TN3270E off: no @LU",
         N::Tn3270,
         noTn3270e,
         {},
         tn3270Answers(kType),
         false,
         kType,
         "",
         {}},
        {"TN3270E host, TN3270E off: WONT TN3270E, then TN3270",
         N::Tn3270e,
         noTn3270e,
         {},
         cat({verb(kWont, kOptTn3270e), tn3270Answers(kType)}),
         false,
         kType,
         "",
         {}},
        {"TN3270E, functions agreed with IS", N::Tn3270e, plain, hostWith(F::Agree),
         cat({willTn3270e, deviceTypeRequest(""), functions(kRequest, kAllFunctions)}), true, "",
         "CEDAR001", kAllFunctions},
        {"TN3270E, LU asked and assigned", N::Tn3270e, withLu, hostWith(F::Agree),
         cat({willTn3270e, deviceTypeRequest("TSO00042"), functions(kRequest, kAllFunctions)}),
         true, "", "TSO00042", kAllFunctions},
        {"TN3270E, LU asked, host assigns another", N::Tn3270e, withLu,
         hostWith(F::Agree, kAllFunctions, false),
         cat({willTn3270e, deviceTypeRequest("TSO00042"), functions(kRequest, kAllFunctions)}),
         true, "", "CEDAR001", kAllFunctions},
        {"TN3270E, host supports fewer functions: REQUEST, client agrees with IS", N::Tn3270e,
         plain,
         hostWith(F::Agree, {ReplayHost::kFunctionBindImage, ReplayHost::kFunctionResponses}),
         cat({willTn3270e, deviceTypeRequest(""), functions(kRequest, kAllFunctions),
              functions(kIs, {ReplayHost::kFunctionBindImage, ReplayHost::kFunctionResponses})}),
         true, "", "CEDAR001",
         Bytes{ReplayHost::kFunctionBindImage, ReplayHost::kFunctionResponses}},
        {"TN3270E, host asks FUNCTIONS REQUEST for one the client did not offer: agreed",
         N::Tn3270e, plain, hostWith(F::Request, {ReplayHost::kFunctionDataStreamCtl}),
         cat({willTn3270e, deviceTypeRequest(""), functions(kRequest, kAllFunctions),
              functions(kIs, {ReplayHost::kFunctionDataStreamCtl})}),
         true, "", "CEDAR001", Bytes{ReplayHost::kFunctionDataStreamCtl}},
        {"TN3270E, host asks for no functions", N::Tn3270e, plain, hostWith(F::Request, {}),
         cat({willTn3270e, deviceTypeRequest(""), functions(kRequest, kAllFunctions),
              functions(kIs, {})}),
         true, "", "CEDAR001", Bytes{}},
        {"TN3270E without FUNCTIONS negotiation", N::Tn3270e, withLu, hostWith(F::Ignore),
         cat({willTn3270e, deviceTypeRequest("TSO00042"), functions(kRequest, kAllFunctions)}),
         true, "", "TSO00042", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplayHost::Script script;
        script.records = {firstScreen()};
        script.negotiation = c.negotiation;
        script.tn3270e = c.host;
        ReplayHost host(script);
        ASSERT_TRUE(host.start()) << host.error();
        Client client;
        client.connect(host.port(), c.telnet);
        ASSERT_TRUE(client.runUntilSynced(host)) << "client sent:\n" << joined(host.clientLog());

        const Bytes all = cat({c.expected, kTimingMarkAnswer});
        EXPECT_EQ(hexOf(host.clientBytes()), hexOf(all)) << "client sent:\n"
                                                         << joined(host.clientLog());
        EXPECT_EQ(host.error(), "");
        EXPECT_EQ(client.link.protocol().tn3270eMode, c.tn3270e);
        EXPECT_EQ(client.link.protocol().assignedLuName, c.assignedLu);
        EXPECT_EQ(host.terminalType(), c.terminalType);
        const auto negotiated = host.negotiated();
        EXPECT_EQ(negotiated.tn3270e, c.tn3270e);
        EXPECT_EQ(negotiated.functionsSettled, c.agreedFunctions.has_value());
        EXPECT_EQ(negotiated.functions, c.agreedFunctions.value_or(Bytes{}));
        EXPECT_EQ(negotiated.deviceType, c.tn3270e ? kType : "");

        // The first screen is shown, the keyboard unlocked.
        EXPECT_TRUE(client.ui.up);
        EXPECT_EQ(client.ui.errors, std::vector<RecordingUi::Error>{});
        EXPECT_EQ(client.row(0), " CEDAR LOOPBACK HOST");
        EXPECT_EQ(client.row(1), " INPUT");
        EXPECT_EQ(client.status(), SessionStatus::Unlocked);
        EXPECT_GE(client.ui.screens, 1);
        EXPECT_TRUE(client.link.connected());
    }
}

TEST(Negotiation, DeviceTypeRejectReasonsAreShownAndLeaveTheSessionRejected) {
    const struct {
        std::optional<std::uint8_t> reason;  // none: REJECT without a REASON
        const char* text;
    } cases[] = {
        {0x00, "Device name requested is the partner to some other terminal."},
        {0x01, "Device is already associated with another telnet session."},
        {0x02, "The device type is neither a printer or a terminal."},
        {0x03, "The device is not known to the server."},
        {0x04, "The server does not support the requested device type."},
        // Its second line names the LU name's setting; the text comes from the
        // Telnet layer, its shape is checked below.
        {0x05, nullptr},
        {0x2A, "Unknown error occurred while attempting connection"},
        {std::nullopt, "Unknown error occurred while attempting connection"},
    };
    const std::string incompatible = TelnetLayer::rejectMessage(0x05);
    EXPECT_EQ(incompatible.rfind(
                  "The requested device name is incompatible with the requested device type.\n"
                  "(LUNAME ",
                  0),
              0u)
        << incompatible;
    EXPECT_TRUE(incompatible.ends_with(" may be invalid)")) << incompatible;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason ? "reason " + std::to_string(*c.reason) : "no reason");
        const std::string text = c.text != nullptr ? c.text : incompatible;
        ReplayHost::Script script;
        script.records = {firstScreen()};
        script.negotiation = ReplayHost::Negotiation::Tn3270e;
        script.tn3270e.rejectReason = c.reason.value_or(0);
        script.tn3270e.rejectWithoutReason = !c.reason;
        ReplayHost host(script);
        ASSERT_TRUE(host.start()) << host.error();
        Client client;
        client.connect(host.port(), {true, "BADLU"});
        // The host asks a timing mark once the client declined TN3270E: its
        // answer comes after everything the client had to say before.
        ASSERT_TRUE(client.runUntilSynced(host)) << "client sent:\n" << joined(host.clientLog());

        EXPECT_EQ(client.ui.errors,
                  (std::vector<RecordingUi::Error>{{"Cedar TN3270 Connection Error 3", text}}));
        EXPECT_EQ(client.status(), SessionStatus::Rejected);
        EXPECT_FALSE(client.link.protocol().tn3270eMode);
        EXPECT_TRUE(host.negotiated().rejected);
        EXPECT_EQ(host.negotiated().requestedDevice, "BADLU");
        // WILL TN3270E, the request, WONT TN3270E once refused; the timing
        // mark's answer last.
        const Bytes sent = host.clientBytes();
        const Bytes refusal =
            cat({verb(kWill, kOptTn3270e), deviceTypeRequest("BADLU"), verb(kWont, kOptTn3270e)});
        EXPECT_EQ(hexOf(Bytes(sent.begin(), sent.begin() + std::min(sent.size(), refusal.size()))),
                  hexOf(refusal));
        EXPECT_EQ(
            hexOf(Bytes(sent.end() - std::min(sent.size(), kTimingMarkAnswer.size()), sent.end())),
            hexOf(kTimingMarkAnswer));
        EXPECT_EQ(host.error(), "");
        EXPECT_TRUE(client.blank());
    }
}

// After a REJECT the client says WONT TN3270E; the host's DONT TN3270E
// acknowledges it and must not be answered again: a party does not
// acknowledge a request to enter a mode it is already in (RFC 854, "General
// considerations" rule b; RFC 1143 state WANTNO -> NO without a reply).
TEST(Negotiation, HostsAcknowledgementOfWontTn3270eIsNotAnsweredAgain) {
    ReplayHost::Script script;
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    script.tn3270e.rejectReason = 0x03;
    ReplayHost host(script);
    ASSERT_TRUE(host.start()) << host.error();
    Client client;
    client.connect(host.port());
    ASSERT_TRUE(client.runUntilSynced(host)) << "client sent:\n" << joined(host.clientLog());
    EXPECT_EQ(host.clientLog(), (std::vector<std::string>{
                                    "WILL TN3270E",
                                    "SB TN3270E DEVICE-TYPE REQUEST " + kType,
                                    "WONT TN3270E",
                                    "WONT TIMING-MARK",
                                }));
}

// ---------------------------------------------------------------------------
// TN3270E records: headers, responses, BIND-IMAGE, SSCP-LU-DATA, UNBIND.

TEST(Tn3270eRecords, HeadersResponsesAndSessionRecords) {
    using H = ReplayHost;
    const Bytes screen = firstScreen();
    const Bytes unbind = {0x32, 0x01};
    struct Case {
        const char* name;
        std::vector<Message> messages;
        std::vector<Bytes> records;
        std::uint16_t firstSequence;
        std::uint8_t recordResponseFlag;
        std::vector<Message> responses;  // what the client must send
        std::string row0;
        std::string application;
        std::string sessionLu;
        bool sscpLu;
        SessionStatus status;
    };
    const Case cases[] = {
        {"ALWAYS-RESPONSE: a positive response with the sequence number, 0xFF doubled",
         {},
         {screen},
         0x00FF,
         H::kAlwaysResponse,
         {positiveResponse(0x00FF)},
         " CEDAR LOOPBACK HOST",
         "",
         "",
         false,
         SessionStatus::Unlocked},
        {"a response for each record that asks, none for the others",
         {message(H::kData3270, screen, H::kAlwaysResponse), message(H::kData3270, screen),
          message(H::kData3270, firstScreen("SECOND"), H::kAlwaysResponse)},
         {},
         0x7FFE,
         H::kNoResponse,
         {positiveResponse(0x7FFE), positiveResponse(0x8000)},
         " SECOND",
         "",
         "",
         false,
         SessionStatus::Unlocked},
        {"no response unless asked",
         {},
         {screen, screen},
         0,
         H::kNoResponse,
         {},
         " CEDAR LOOPBACK HOST",
         "",
         "",
         false,
         SessionStatus::Unlocked},
        {"BIND-IMAGE names the application and the session LU",
         {message(H::kDataBindImage, bindImage("CICSA", "TSO00042"))},
         {screen},
         1,
         H::kNoResponse,
         {},
         " CEDAR LOOPBACK HOST",
         "CICSA",
         "TSO00042",
         false,
         SessionStatus::Unlocked},
        {"SSCP-LU-DATA is shown as text and unlocks the keyboard",
         {message(H::kDataSscpLu, test::ebcdic("USS READY"))},
         {},
         1,
         H::kNoResponse,
         {},
         "USS READY",
         "",
         "",
         true,
         SessionStatus::Unlocked},
        {"UNBIND clears the screen and the names",
         {message(H::kDataBindImage, bindImage("CICSA", "TSO00042")), message(H::kData3270, screen),
          message(H::kDataUnbind, unbind)},
         {},
         1,
         H::kNoResponse,
         {},
         "",
         "",
         "",
         false,
         SessionStatus::Unlocked},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplayHost::Script script;
        script.negotiation = ReplayHost::Negotiation::Tn3270e;
        script.messages = c.messages;
        script.records = c.records;
        script.tn3270e.firstSequence = c.firstSequence;
        script.tn3270e.responseFlag = c.recordResponseFlag;
        ReplayHost host(script);
        ASSERT_TRUE(host.start()) << host.error();
        Client client;
        client.connect(host.port());
        ASSERT_TRUE(client.runUntilSynced(host)) << "client sent:\n" << joined(host.clientLog());

        EXPECT_EQ(host.clientMessages(), c.responses) << "client sent:\n"
                                                      << joined(host.clientLog());
        EXPECT_EQ(client.row(0), c.row0);
        EXPECT_EQ(client.link.protocol().applicationName, c.application);
        EXPECT_EQ(client.link.protocol().sessionLuName, c.sessionLu);
        EXPECT_EQ(client.link.protocol().sscpLuMode, c.sscpLu);
        EXPECT_EQ(client.status(), c.status);
        EXPECT_EQ(client.ui.errors, std::vector<RecordingUi::Error>{});
    }
    // The response's frame as it went: 0xFF of the sequence number doubled.
    ReplayHost::Script script;
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    script.records = {screen};
    script.tn3270e.firstSequence = 0x01FF;
    script.tn3270e.responseFlag = H::kAlwaysResponse;
    ReplayHost host(script);
    ASSERT_TRUE(host.start()) << host.error();
    Client client;
    client.connect(host.port());
    ASSERT_TRUE(client.runUntilSynced(host));
    const Bytes frame = {0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0x00, kIac, kEor};
    const Bytes sent = host.clientBytes();
    EXPECT_NE(std::search(sent.begin(), sent.end(), frame.begin(), frame.end()), sent.end())
        << hexOf(sent);
}

// The test host's TN3270E side checked with another client: s3270 asks for
// an LU, gets it, takes the BIND, shows the screen and answers
// ALWAYS-RESPONSE.
TEST(Tn3270eRecords, TestHostServesS3270Too) {
    if (!test::S3270Peer::available()) GTEST_SKIP() << "s3270 is not installed";
    ReplayHost::Script script;
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    // With BIND-IMAGE agreed, s3270 takes 3270-DATA only in a bound session.
    script.messages = {message(ReplayHost::kDataBindImage, bindImage("CICSA", "TSO00042"))};
    script.records = {firstScreen()};
    script.tn3270e.firstSequence = 0x0101;
    script.tn3270e.responseFlag = ReplayHost::kAlwaysResponse;
    ReplayHost host(script);
    ASSERT_TRUE(host.start()) << host.error();
    test::S3270Peer peer;
    ASSERT_TRUE(peer.start()) << peer.error();
    const auto connect =
        peer.action("Connect(TSO00042@127.0.0.1:" + std::to_string(host.port()) + ")");
    ASSERT_TRUE(connect.ok) << connect.failure << joined(host.clientLog()) << host.error();
    ASSERT_TRUE(host.waitForSync(kWait)) << "client sent:\n" << joined(host.clientLog());
    const auto lu = peer.action("Query(LuName)");
    const auto screen = peer.action("Ascii(0,0,80)");
    peer.quit();

    const auto negotiated = host.negotiated();
    EXPECT_TRUE(negotiated.tn3270e);
    EXPECT_EQ(negotiated.requestedDevice, "TSO00042");
    EXPECT_EQ(negotiated.assignedDevice, "TSO00042");
    EXPECT_TRUE(negotiated.functionsSettled);
    EXPECT_EQ(lu.data, std::vector<std::string>{"TSO00042"});
    ASSERT_EQ(screen.data.size(), 1u);
    EXPECT_EQ(screen.data[0].substr(0, 20), " CEDAR LOOPBACK HOST");
    EXPECT_EQ(host.clientMessages(), std::vector<Message>{positiveResponse(0x0102)})
        << joined(host.clientLog());
    EXPECT_EQ(host.error(), "");
}

// ---------------------------------------------------------------------------
// The host ends the connection.

TEST(HostCloses, AtAwkwardPointsTheSessionEndsQuietly) {
    using CloseAt = ReplayHost::CloseAt;
    const struct {
        const char* name;
        ReplayHost::Negotiation negotiation;
        ReplayHost::Close close;
        std::string row0;  // "" = blank screen
    } cases[] = {
        {"TN3270, after negotiation",
         ReplayHost::Negotiation::Tn3270,
         {CloseAt::AfterNegotiation, 0, false},
         ""},
        {"TN3270E, after negotiation",
         ReplayHost::Negotiation::Tn3270e,
         {CloseAt::AfterNegotiation, 0, false},
         ""},
        {"TN3270, in the middle of the second record",
         ReplayHost::Negotiation::Tn3270,
         {CloseAt::MidRecord, 1, false},
         " FIRST"},
        {"TN3270, reset in the middle of the second record",
         ReplayHost::Negotiation::Tn3270,
         {CloseAt::MidRecord, 1, true},
         " FIRST"},
        {"TN3270E, in the middle of the first record",
         ReplayHost::Negotiation::Tn3270e,
         {CloseAt::MidRecord, 0, false},
         ""},
        {"TN3270E, after the records",
         ReplayHost::Negotiation::Tn3270e,
         {CloseAt::AfterRecords, 0, false},
         " SECOND"},
        {"TN3270E, reset once the client has the records",
         ReplayHost::Negotiation::Tn3270e,
         {CloseAt::AfterSync, 0, true},
         " SECOND"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplayHost::Script script;
        script.records = {firstScreen("FIRST"), firstScreen("SECOND")};
        script.negotiation = c.negotiation;
        script.close = c.close;
        ReplayHost host(script);
        ASSERT_TRUE(host.start()) << host.error();
        Client client;
        client.connect(host.port());
        ASSERT_TRUE(client.run([&] { return client.ui.closed > 0; })) << "client sent:\n"
                                                                      << joined(host.clientLog());
        EXPECT_EQ(client.ui.closed, 1);
        EXPECT_EQ(client.ui.errors, std::vector<RecordingUi::Error>{});
        EXPECT_EQ(client.status(), SessionStatus::NotConnected);
        EXPECT_FALSE(client.link.connected());
        if (c.row0.empty()) {
            EXPECT_TRUE(client.blank()) << client.row(0);
        } else {
            EXPECT_EQ(client.row(0), c.row0);
        }
        // Nothing more happens afterwards.
        client.run([] { return false; }, 100ms);
        EXPECT_EQ(client.ui.closed, 1);
    }
}

TEST(ConnectionRefused, ShowsConnectionError2WithTheSocketErrorNumber) {
    const int port = test::freeLoopbackPort();
    ASSERT_GT(port, 0);
    Client client;
    client.connect(port);
    ASSERT_TRUE(client.run([&] { return !client.ui.errors.empty(); }));
    EXPECT_EQ(client.ui.errors,
              (std::vector<RecordingUi::Error>{{"Cedar TN3270 Connection Error 2",
                                                "Error connecting to hostname 127.0.0.1, port " +
                                                    std::to_string(port) + ", rc=10061"}}));
    EXPECT_EQ(client.status(), SessionStatus::NotConnected);
    EXPECT_FALSE(client.link.connected());
    EXPECT_FALSE(client.ui.up);
    EXPECT_EQ(client.ui.closed, 0);
}

// ---------------------------------------------------------------------------
// cedar_headless as a program, driven through pipes.

struct ProgramRun {
    int exitCode = -1;  // -1: killed after the time limit, or not started
    std::string out;
    std::string err;
};

// Runs `program args...` with `input` on its standard input, HOME set to a
// fresh temporary folder (removed afterwards); reads its output until it
// ends, killing it after `limit`.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input, std::chrono::milliseconds limit) {
    ProgramRun run;
    std::string home = "/tmp/cedar-conn-home-XXXXXX";
    if (mkdtemp(home.data()) == nullptr) return run;
    std::vector<std::string> env = test::environmentWithout({"HOME=", "XDG_"});
    env.push_back("HOME=" + home);
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    test::LineProcess process;
    if (std::string why; process.start(argv, env, why)) {
        std::istringstream lines(input);
        for (std::string line; std::getline(lines, line);)
            if (!process.writeLine(line, why)) break;
        process.closeInput();
        const auto deadline = Clock::now() + limit;
        for (std::string line; process.readLine(line, deadline) == test::LineProcess::Read::Line;)
            run.out += line + "\n";
        run.exitCode = process.end(deadline);
        run.err = process.diagnostics();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return run;
}

TEST(HeadlessProgram, NegotiatesTn3270eAndShowsTheFirstScreen) {
    ReplayHost::Script script;
    script.records = {firstScreen()};
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    ReplayHost host(script);
    ASSERT_TRUE(host.start()) << host.error();
    const ProgramRun run = runProgram(
        CEDAR_HEADLESS_PROGRAM, {"--lu", "TSO00042", "127.0.0.1:" + std::to_string(host.port())},
        "connect\nwait unlock 10\nscreen\nstatus\nquit\n", kWait);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    // connect, wait: "ok" each; screen: 24 rows and "ok"; status: lines and "ok"; quit: "ok".
    ASSERT_GE(lines.size(), 2u + 25u + 2u) << run.out;
    EXPECT_EQ(lines[0], "ok") << run.out;
    EXPECT_EQ(lines[1], "ok") << run.out;
    EXPECT_EQ(lines[2], " CEDAR LOOPBACK HOST" + std::string(60, ' '));
    EXPECT_EQ(lines[3], " INPUT" + std::string(74, ' '));
    EXPECT_EQ(lines[26], "ok");
    const std::vector<std::string> status(lines.begin() + 27, lines.end());
    for (const char* expected :
         {"status UNLOCKED", "connected yes", "tn3270e yes", "lu TSO00042", "size 24x80"})
        EXPECT_NE(std::find(status.begin(), status.end(), expected), status.end())
            << expected << "\n"
            << run.out;
    EXPECT_EQ(run.out.find("error:"), std::string::npos) << run.out;
    EXPECT_EQ(lines.back(), "ok");
    EXPECT_EQ(host.negotiated().requestedDevice, "TSO00042");
    EXPECT_TRUE(host.negotiated().tn3270e);
    EXPECT_TRUE(host.waitForSync(kWait));
}

// ---------------------------------------------------------------------------
// Hercules, plain and through stunnel.

// Hercules's logo rows 2 to 5 (1-based) name the machine it runs on; rows 7
// and 8 the device and subchannel, which differ per client.
constexpr int kMachineRows[] = {1, 2, 3, 4};
constexpr int kDeviceRow = 6, kSubchannelRow = 7;

std::vector<std::string> masked(std::vector<std::string> rows) {
    for (int r : kMachineRows)
        if (static_cast<std::size_t>(r) < rows.size()) rows[r] = "<machine>";
    for (int r : {kDeviceRow, kSubchannelRow})
        if (static_cast<std::size_t>(r) < rows.size()) rows[r] = "<device>";
    return rows;
}

// s3270's view of the Hercules logo through `connect` (e.g. "0011@127.0.0.1:1234").
struct PeerScreen {
    std::vector<std::string> rows;
    std::string failure;
};
PeerScreen peerLogo(const std::string& connect, const std::string& caFile = "") {
    PeerScreen result;
    test::S3270Peer peer;
    if (!peer.start()) {
        result.failure = "s3270: " + peer.error();
        return result;
    }
    if (!caFile.empty()) {
        const auto set = peer.action("Set(caFile," + caFile + ")");
        if (!set.ok) result.failure = "Set(caFile) failed: " + set.failure;
    }
    const auto c = peer.action("Connect(" + connect + ")");
    const auto w = c.ok ? peer.action("Wait(10,Unlock)") : c;
    const auto a = w.ok ? peer.action("Ascii()") : w;
    if (!a.ok && result.failure.empty())
        result.failure = "s3270 failed: " + a.failure + " " + a.status + " " +
                         (a.data.empty() ? "" : a.data.front()) + " " + peer.diagnostics();
    result.rows = a.data;
    peer.quit();
    return result;
}

class HerculesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::HerculesHost::available()) return;
        hercules_ = new test::HerculesHost;
        if (!hercules_->start(startError_, 4)) {
            delete hercules_;
            hercules_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete hercules_;
        hercules_ = nullptr;
    }
    void SetUp() override {
        if (!test::HerculesHost::available()) GTEST_SKIP() << "hercules is not installed";
        ASSERT_NE(hercules_, nullptr) << startError_;
    }

    static test::HerculesHost* hercules_;
    static std::string startError_;
};
test::HerculesHost* HerculesTest::hercules_ = nullptr;
std::string HerculesTest::startError_;

// Connects `client` and waits for the logo (the keyboard unlocks).
void showLogo(Client& client, const ConnectionOptions& options, const std::string& device) {
    client.connect(options, {true, device});
    ASSERT_TRUE(client.run([&] {
        return client.status() == SessionStatus::Unlocked || !client.ui.errors.empty() ||
               client.ui.closed > 0;
    })) << "no logo screen";
    ASSERT_EQ(client.ui.errors, std::vector<RecordingUi::Error>{});
    ASSERT_EQ(client.status(), SessionStatus::Unlocked);
}

void expectSameLogo(const std::vector<std::string>& ours, const std::vector<std::string>& peer,
                    const std::string& ourDevice, const std::string& peerDevice) {
    ASSERT_EQ(ours.size(), 24u);
    ASSERT_EQ(peer.size(), 24u) << joined(peer);
    EXPECT_NE(ours[kDeviceRow].find(": " + ourDevice), std::string::npos) << ours[kDeviceRow];
    EXPECT_NE(peer[kDeviceRow].find(": " + peerDevice), std::string::npos) << peer[kDeviceRow];
    EXPECT_NE(ours[0].find("Hercules Version"), std::string::npos) << ours[0];
    EXPECT_EQ(masked(ours), masked(peer)) << "ours:\n"
                                          << joined(ours) << "s3270:\n"
                                          << joined(peer);
}

TEST_F(HerculesTest, LogoScreenIsTheSameAsS3270s) {
    if (!test::S3270Peer::available()) GTEST_SKIP() << "s3270 is not installed";
    // Each client its own device, picked by the LU name in the terminal type.
    const std::string ourDevice = test::HerculesHost::deviceName(0);
    const std::string peerDevice = test::HerculesHost::deviceName(1);
    Client client;
    ConnectionOptions options;
    options.host = "127.0.0.1";
    options.port = static_cast<std::uint16_t>(hercules_->port());
    showLogo(client, options, ourDevice);
    EXPECT_FALSE(client.link.protocol().tn3270eMode);
    const auto peer = peerLogo(peerDevice + "@127.0.0.1:" + std::to_string(hercules_->port()));
    ASSERT_EQ(peer.failure, "");
    expectSameLogo(client.rows(), peer.rows, ourDevice, peerDevice);
}

// stunnel in front of Hercules with three certificates: by the test CA for
// localhost and 127.0.0.1; by the test CA for localhost only; self-signed.
class TlsHerculesTest : public HerculesTest {
  protected:
    enum Service : std::size_t { kVerified, kLocalhostOnly, kSelfSigned };

    static void SetUpTestSuite() {
        HerculesTest::SetUpTestSuite();
        if (hercules_ == nullptr || !test::Stunnel::available()) return;
        certs_ = new test::TestCertificates;
        stunnel_ = new test::Stunnel;
        if (!certs_->make(tlsError_)) return;
        const int port = hercules_->port();
        if (!stunnel_->start({{certs_->leafCert, certs_->leafKey, port},
                              {certs_->localhostOnlyCert, certs_->leafKey, port},
                              {certs_->selfSignedCert, certs_->leafKey, port}},
                             tlsError_))
            return;
        ready_ = true;
    }
    static void TearDownTestSuite() {
        delete stunnel_;
        stunnel_ = nullptr;
        delete certs_;
        certs_ = nullptr;
        ready_ = false;
        HerculesTest::TearDownTestSuite();
    }
    void SetUp() override {
        HerculesTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!test::Stunnel::available()) GTEST_SKIP() << "stunnel is not installed";
        ASSERT_TRUE(ready_) << tlsError_;
    }

    static ConnectionOptions tls(Service service, const std::string& host,
                                 const std::string& caFile) {
        ConnectionOptions o;
        o.host = host;
        o.port = static_cast<std::uint16_t>(stunnel_->port(service));
        o.encryption = Encryption::Highest;
        o.caFile = caFile;
        o.validateHostCertificate = true;
        o.hostNameMustMatch = true;
        return o;
    }

    static test::TestCertificates* certs_;
    static test::Stunnel* stunnel_;
    static std::string tlsError_;
    static bool ready_;
};
test::TestCertificates* TlsHerculesTest::certs_ = nullptr;
test::Stunnel* TlsHerculesTest::stunnel_ = nullptr;
std::string TlsHerculesTest::tlsError_;
bool TlsHerculesTest::ready_ = false;

TEST_F(TlsHerculesTest, LogoOverVerifiedTlsIsTheSameAsS3270s) {
    const std::string ourDevice = test::HerculesHost::deviceName(2);
    Client client;
    showLogo(client, tls(kVerified, "localhost", certs_->caCert), ourDevice);
    const ConnectionInfo& info = client.link.info();
    EXPECT_TRUE(info.tls);
    EXPECT_EQ(info.tlsProtocol, "TLSv1.3");
    EXPECT_FALSE(info.tlsCipher.empty());
    EXPECT_EQ(info.peerSubject, "CN=localhost");
    EXPECT_EQ(info.peerIssuer, "CN=Cedar Test Root CA");
    EXPECT_EQ(info.peerAddress, "127.0.0.1");
    EXPECT_TRUE(client.ui.up);
    EXPECT_TRUE(client.ui.info.tls);

    if (!test::S3270Peer::available()) GTEST_SKIP() << "s3270 is not installed";
    const std::string peerDevice = test::HerculesHost::deviceName(3);
    const auto peer =
        peerLogo("L:" + peerDevice + "@localhost:" + std::to_string(stunnel_->port(kVerified)),
                 certs_->caCert);
    ASSERT_EQ(peer.failure, "");
    expectSameLogo(client.rows(), peer.rows, ourDevice, peerDevice);
}

TEST_F(TlsHerculesTest, CertificateFailuresAreShownAsConnectionError6) {
    const struct {
        const char* name;
        Service service;
        std::string host;
        bool trustTestCa;
        std::string text;
    } cases[] = {
        {"certificate for localhost only, host 127.0.0.1", kLocalhostOnly, "127.0.0.1", true,
         "Certificate host name localhost does not match\nconnection host name 127.0.0.1"},
        {"issuer unknown without the CA file", kVerified, "localhost", false,
         "SSL X509 error - unable to get local issuer certificate"},
        {"self-signed certificate", kSelfSigned, "localhost", false,
         "Encryption Error, Host certificate failed verification"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client client;
        client.connect(tls(c.service, c.host, c.trustTestCa ? certs_->caCert : ""));
        ASSERT_TRUE(client.run([&] { return !client.ui.errors.empty() || client.ui.up; }));
        EXPECT_EQ(client.ui.errors,
                  (std::vector<RecordingUi::Error>{{"Cedar TN3270 Connection Error 6", c.text}}));
        EXPECT_FALSE(client.ui.up);
        EXPECT_EQ(client.status(), SessionStatus::NotConnected);
        EXPECT_FALSE(client.link.connected());
        EXPECT_TRUE(client.blank());
    }
}

// TN3270E through stunnel to the loopback test host (no Hercules needed).
TEST(TlsReplayHost, Tn3270eOverVerifiedTls) {
    if (!test::Stunnel::available()) GTEST_SKIP() << "stunnel is not installed";
    if (!test::TestCertificates::opensslAvailable()) GTEST_SKIP() << "openssl is not installed";
    test::TestCertificates certs;
    std::string error;
    ASSERT_TRUE(certs.make(error)) << error;
    ReplayHost::Script script;
    script.records = {firstScreen()};
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    script.tn3270e.responseFlag = ReplayHost::kAlwaysResponse;
    ReplayHost host(script);
    ASSERT_TRUE(host.start()) << host.error();
    test::Stunnel stunnel;
    ASSERT_TRUE(stunnel.start({{certs.leafCert, certs.leafKey, host.port()}}, error)) << error;

    Client client;
    ConnectionOptions options;
    options.host = "localhost";
    options.port = static_cast<std::uint16_t>(stunnel.port());
    options.encryption = Encryption::Tls12;
    options.caFile = certs.caCert;
    client.connect(options, {true, "TSO00042"});
    ASSERT_TRUE(client.runUntilSynced(host)) << stunnel.log() << joined(host.clientLog());
    EXPECT_EQ(client.ui.errors, std::vector<RecordingUi::Error>{});
    EXPECT_EQ(client.link.info().tlsProtocol, "TLSv1.2");
    EXPECT_TRUE(client.link.protocol().tn3270eMode);
    EXPECT_EQ(client.link.protocol().assignedLuName, "TSO00042");
    EXPECT_EQ(client.row(0), " CEDAR LOOPBACK HOST");
    EXPECT_EQ(host.clientMessages(), std::vector<Message>{positiveResponse(0)});
}

}  // namespace
}  // namespace cedar
