#include "host/telnet_layer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "oracles.h"
#include "record_builder.h"
#include "recording.h"
#include "test_paths.h"

namespace cedar {
namespace {

using namespace telnet;
using Bytes_ = std::vector<std::uint8_t>;

Bytes_ concat(std::initializer_list<Bytes_> parts) {
    Bytes_ out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes_ ascii(const std::string& s) {
    return Bytes_(s.begin(), s.end());
}

class Recorder : public TelnetEvents {
  public:
    Bytes_ sent;
    std::vector<Bytes_> records;
    std::vector<std::string> rejects;
    int firstRecords = 0;
    std::size_t dropped = 0;
    void sendRaw(std::span<const std::uint8_t> b) override {
        sent.insert(sent.end(), b.begin(), b.end());
    }
    void firstRecord() override { ++firstRecords; }
    void deviceRejected(std::uint8_t, const std::string& m) override { rejects.push_back(m); }
    void recordApplied(std::span<const std::uint8_t> r, const RecordOrigin&) override {
        records.emplace_back(r.begin(), r.end());
    }
    void recordDropped(std::size_t n) override { dropped = n; }
};

struct Harness {
    explicit Harness(TelnetConfig config = {}, int model = 0) {
        t.session.options.modelIndex = model;
        t.session.applySizeOptions();
        layer.setConfig(config);
        layer.setTerminalType(t.session.models[model].terminalType);
        layer.connectionStarted();
        t.session.status = SessionStatus::Connecting;
    }
    test::TestSession t;
    ProtocolState state;
    Recorder events;
    HostScreen screen{t.session.screen, t.session.records, t.session.codePages, t.session.status};
    TelnetLayer layer{state, t.session.codePages, t.session.status, screen, events};
    Bytes_ feed(const Bytes_& bytes) {
        events.sent.clear();
        layer.dataReceived(bytes);
        return events.sent;
    }
};

TEST(TelnetNegotiation, OptionReplies) {
    struct Case {
        const char* name;
        bool tn3270eAllowed;
        Bytes_ host;
        Bytes_ reply;
    } cases[] = {
        {"DO TN3270E allowed", true, {kIac, kDo, 40}, {kIac, kWill, 40}},
        {"DO TN3270E not allowed", false, {kIac, kDo, 40}, {kIac, kWont, 40}},
        {"DO TERMINAL-TYPE", true, {kIac, kDo, 24}, {kIac, kWill, 24}},
        {"DO BINARY", true, {kIac, kDo, 0}, {kIac, kWill, 0}},
        {"DO EOR", true, {kIac, kDo, 25}, {kIac, kWill, 25}},
        {"DO NEW-ENVIRON", true, {kIac, kDo, 39}, {kIac, kWont, 39}},
        {"WILL BINARY", true, {kIac, kWill, 0}, {kIac, kDo, 0}},
        {"WILL SGA", true, {kIac, kWill, 3}, {kIac, kDo, 3}},
        {"WILL ECHO", true, {kIac, kWill, 1}, {kIac, kDo, 1}},
        {"WILL EOR", true, {kIac, kWill, 25}, {kIac, kDo, 25}},
        {"WILL TN3270E unnegotiated", true, {kIac, kWill, 40}, {kIac, kDont, 40}},
        {"WILL other", true, {kIac, kWill, 5}, {kIac, kDont, 5}},
        {"WONT SGA", true, {kIac, kWont, 3}, {kIac, kDont, 3}},
        {"WONT other", true, {kIac, kWont, 24}, {}},
        {"DONT TN3270E not in force", true, {kIac, kDont, 40}, {}},
        {"DO then DONT TN3270E",
         true,
         {kIac, kDo, 40, kIac, kDont, 40},
         {kIac, kWill, 40, kIac, kWont, 40}},
        {"DONT other", true, {kIac, kDont, 0}, {}},
        // A server that withdraws TN3270E with WONT: left as for DONT, with one
        // WONT, however often it is repeated or however it ends.
        {"DO then WONT TN3270E",
         true,
         {kIac, kDo, 40, kIac, kWont, 40},
         {kIac, kWill, 40, kIac, kWont, 40}},
        {"WONT TN3270E twice",
         true,
         {kIac, kDo, 40, kIac, kWont, 40, kIac, kWont, 40},
         {kIac, kWill, 40, kIac, kWont, 40}},
        {"WONT then DONT TN3270E",
         true,
         {kIac, kDo, 40, kIac, kWont, 40, kIac, kDont, 40},
         {kIac, kWill, 40, kIac, kWont, 40}},
        {"DONT then WONT TN3270E",
         true,
         {kIac, kDo, 40, kIac, kDont, 40, kIac, kWont, 40},
         {kIac, kWill, 40, kIac, kWont, 40}},
        {"WONT TN3270E not in force", true, {kIac, kWont, 40}, {}},
        {"WONT TN3270E, then DO TN3270E again",
         true,
         {kIac, kDo, 40, kIac, kWont, 40, kIac, kDo, 40},
         {kIac, kWill, 40, kIac, kWont, 40, kIac, kWill, 40}},
        // RFC 854: a request for a mode already in force is not acknowledged
        // again; once the host has left the mode, the next request is.
        {"DO BINARY twice", true, {kIac, kDo, 0, kIac, kDo, 0}, {kIac, kWill, 0}},
        {"WILL BINARY twice", true, {kIac, kWill, 0, kIac, kWill, 0}, {kIac, kDo, 0}},
        {"DO, DONT, DO BINARY",
         true,
         {kIac, kDo, 0, kIac, kDont, 0, kIac, kDo, 0},
         {kIac, kWill, 0, kIac, kWill, 0}},
        {"WILL, WONT, WILL EOR",
         true,
         {kIac, kWill, 25, kIac, kWont, 25, kIac, kWill, 25},
         {kIac, kDo, 25, kIac, kDo, 25}},
        {"NOP, AYT, GA", true, {kIac, kNop, kIac, kAyt, kIac, kGa}, {}},
        {"TERMINAL-TYPE SEND",
         false,
         {kIac, kSb, 24, 1, kIac, kSe},
         concat({{kIac, kSb, 24, 0}, ascii("IBM-3278-2-E"), {kIac, kSe}})},
    };
    for (const auto& c : cases) {
        Harness h({.tn3270eAllowed = c.tn3270eAllowed, .luName = ""});
        EXPECT_EQ(h.feed(c.host), c.reply) << c.name;
    }
}

TEST(TelnetNegotiation, TerminalTypeCarriesTheLuNameWhenTn3270eIsAllowed) {
    Harness h({.tn3270eAllowed = true, .luName = "LU01"});
    EXPECT_EQ(h.feed({kIac, kSb, 24, 1, kIac, kSe}),
              concat({{kIac, kSb, 24, 0}, ascii("IBM-3278-2-E@LU01"), {kIac, kSe}}));
    Harness plain({.tn3270eAllowed = false, .luName = "LU01"});
    EXPECT_EQ(plain.feed({kIac, kSb, 24, 1, kIac, kSe}),
              concat({{kIac, kSb, 24, 0}, ascii("IBM-3278-2-E"), {kIac, kSe}}));
}

TEST(TelnetNegotiation, TranslationOptionAndModes) {
    Harness h;
    h.feed({kIac, kDo, 102});
    EXPECT_EQ(h.t.session.codePages.translationMode, TranslationMode::None);
    EXPECT_TRUE(h.state.lineMode);
    h.feed({kIac, kDo, 25});
    EXPECT_EQ(h.t.session.codePages.translationMode, TranslationMode::Tables);
    EXPECT_FALSE(h.state.lineMode);
    EXPECT_EQ(h.t.session.status, SessionStatus::Connected) << "first block: connected";
}

TEST(Tn3270e, DeviceTypeAndFunctions) {
    Harness h({.tn3270eAllowed = true, .luName = "LU01"}, 2);
    h.feed({kIac, kDo, 40});
    EXPECT_TRUE(h.state.tn3270eMode);
    EXPECT_EQ(h.feed({kIac, kSb, 40, kTnSend, kTnDeviceType, kIac, kSe}),
              concat({{kIac, kSb, 40, kTnDeviceType, kTnRequest},
                      ascii("IBM-3278-4-E"),
                      {kTnConnect},
                      ascii("LU01"),
                      {kIac, kSe}}));
    // A DEVICE-TYPE IS for another device type is ignored.
    EXPECT_EQ(h.feed(concat({{kIac, kSb, 40, kTnDeviceType, kTnIs},
                             ascii("IBM-3279-2-E"),
                             {kTnConnect},
                             ascii("XX"),
                             {kIac, kSe}})),
              Bytes_{});
    EXPECT_EQ(h.feed(concat({{kIac, kSb, 40, kTnDeviceType, kTnIs},
                             ascii("IBM-3278-4-E"),
                             {kTnConnect},
                             ascii("TERM0042"),
                             {kIac, kSe}})),
              (Bytes_{kIac, kSb, 40, kTnFunctions, kTnRequest, 0, 2, 4, kIac, kSe}));
    EXPECT_EQ(h.state.assignedLuName, "TERM0042");
    EXPECT_EQ(h.feed({kIac, kSb, 40, kTnFunctions, kTnRequest, 0, kIac, kSe}),
              (Bytes_{kIac, kSb, 40, kTnFunctions, kTnIs, 0, kIac, kSe}));
    EXPECT_EQ(h.feed({kIac, kSb, 40, kTnFunctions, kTnIs, 0, 2, 4, kIac, kSe}), Bytes_{});
}

TEST(Tn3270e, DeviceTypeRejectReasons) {
    for (int reason = 0; reason <= 6; ++reason) {
        Harness h;
        h.feed({kIac, kDo, 40});
        const auto reply = h.feed({kIac, kSb, 40, kTnDeviceType, kTnReject, kTnReason,
                                   static_cast<std::uint8_t>(reason), kIac, kSe});
        EXPECT_EQ(reply, (Bytes_{kIac, kWont, 40}));
        EXPECT_EQ(h.t.session.status, SessionStatus::Rejected);
        EXPECT_FALSE(h.state.tn3270eMode);
        ASSERT_EQ(h.events.rejects.size(), 1u);
        EXPECT_EQ(h.events.rejects[0],
                  TelnetLayer::rejectMessage(static_cast<std::uint8_t>(reason)));
    }
    EXPECT_EQ(TelnetLayer::rejectMessage(3), "The device is not known to the server.");
    EXPECT_EQ(TelnetLayer::rejectMessage(9), "Unknown error occurred while attempting connection");
}

// In TN3270E mode: header stripped, responses sent, BIND names kept.
TEST(Tn3270e, HeadersOfReceivedRecords) {
    Harness h;
    h.feed({kIac, kDo, 40, kIac, kDo, 25});
    auto write = test::RecordBuilder(0xF5, 0xC3).text("HI").bytes();
    // 3270-DATA asking for a response, sequence 0x00FF.
    auto frame = concat({{0x00, 0x00, kRspAlwaysResponse, 0x00, 0xFF, 0xFF}, write, {kIac, kEor}});
    EXPECT_EQ(h.feed(frame), (Bytes_{0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, kIac, kEor}));
    ASSERT_EQ(h.events.records.size(), 1u);
    EXPECT_EQ(h.events.records[0], write);
    EXPECT_EQ(h.t.row(0), "HI");

    // BIND-IMAGE: primary LU name of 8 at offset 32, secondary after two zeros.
    Bytes_ bind(32, 0x00);
    bind[0] = kDtBindImage;
    bind.push_back(8);
    for (auto b : test::ebcdic("APPLNAME"))
        bind.push_back(b);
    bind.insert(bind.end(), {0x00, 0x00, 4});
    for (auto b : test::ebcdic("LU42"))
        bind.push_back(b);
    bind.insert(bind.end(), {kIac, kEor});
    h.feed(bind);
    EXPECT_EQ(h.state.applicationName, "APPLNAME");
    EXPECT_EQ(h.state.sessionLuName, "LU42");
    EXPECT_EQ(h.t.row(0), "HI") << "a BIND-IMAGE is not a screen";

    h.feed({kDtUnbind, 0, 0, 0, 1, 0x01, kIac, kEor});
    EXPECT_EQ(h.state.applicationName, "");
    EXPECT_EQ(h.t.row(0), "") << "UNBIND clears the screen";

    // A record of exactly 5 bytes is a header without data: it is answered
    // and nothing of it reaches the screen.
    h.events.records.clear();
    EXPECT_EQ(h.feed({kDt3270Data, 0, kRspAlwaysResponse, 0x01, 0x02, kIac, kEor}),
              (Bytes_{kDtResponse, 0x00, 0x00, 0x01, 0x02, 0x00, kIac, kEor}));
    ASSERT_EQ(h.events.records.size(), 1u);
    EXPECT_TRUE(h.events.records[0].empty());
    EXPECT_EQ(h.t.row(0), "");
}

TEST(Tn3270e, SscpLuData) {
    Harness h;
    h.feed({kIac, kDo, 40, kIac, kDo, 25});
    auto frame = concat({{kDtSscpLuData, 0, 0, 0, 1}, test::ebcdic("READY"), {kIac, kEor}});
    h.feed(frame);
    EXPECT_TRUE(h.state.sscpLuMode);
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
    EXPECT_EQ(h.t.row(0), "READY");
}

// The layer reports what the screen has to do as events of its own; it
// never reaches into the screen.
class EventSink : public HostDataSink {
  public:
    std::vector<std::string> events;
    void applyRecord(std::span<const std::uint8_t> r, const RecordOrigin& o) override {
        events.push_back((o.sscpLu ? "sscp-lu " : "record ") + std::to_string(r.size()));
    }
    void applyLineModeData(std::span<const std::uint8_t> b) override {
        events.push_back("line " + std::string(b.begin(), b.end()));
    }
    void sessionUnbound() override { events.push_back("unbound"); }
    void sscpLuDataStarted() override { events.push_back("sscp-lu started"); }
    void echoWithdrawn() override { events.push_back("echo withdrawn"); }
    void translationModeChanged(TranslationMode m) override {
        events.push_back(m == TranslationMode::None ? "untranslated" : "tables");
    }
};

TEST(TelnetEvents, ScreenEffectsAreReportedToTheSink) {
    const Bytes_ tn3270e = {kIac, kDo, 40, kIac, kDo, 25};
    const Bytes_ sscpLu = {kDtSscpLuData, 0, 0, 0, 1, 0xC1, kIac, kEor};
    const Bytes_ data = {kDt3270Data, 0, 0, 0, 2, 0xF5, 0xC3, kIac, kEor};
    const Bytes_ unbind = {kDtUnbind, 0, 0, 0, 3, 0x01, kIac, kEor};
    struct Case {
        const char* name;
        Bytes_ host;
        std::vector<std::string> events;
    } cases[] = {
        {"line mode, one block", ascii("AB\r\n"), {"line AB\r\n"}},
        {"NO-TRANSLATION then EOR", {kIac, kDo, 102, kIac, kDo, 25}, {"untranslated", "tables"}},
        {"WONT ECHO", {kIac, kWont, 1}, {"echo withdrawn"}},
        {"WONT SGA erases nothing", {kIac, kWont, 3}, {}},
        {"SSCP-LU twice erases once, 3270-DATA then SSCP-LU again",
         concat({tn3270e, sscpLu, sscpLu, data, sscpLu}),
         {"tables", "sscp-lu started", "sscp-lu 1", "sscp-lu 1", "record 2", "sscp-lu started",
          "sscp-lu 1"}},
        {"UNBIND", concat({tn3270e, unbind}), {"tables", "unbound", "record 1"}},
    };
    for (const auto& c : cases) {
        test::TestSession t;
        ProtocolState state;
        Recorder events;
        EventSink sink;
        TelnetLayer layer{state, t.session.codePages, t.session.status, sink, events};
        layer.setTerminalType("IBM-3278-2-E");
        layer.connectionStarted();
        layer.dataReceived(c.host);
        EXPECT_EQ(sink.events, c.events) << c.name;
        EXPECT_EQ(t.row(0), "") << c.name << ": the layer never paints";
    }
}

TEST(TelnetFraming, NopInsideARecordAndOversizedRecords) {
    Harness h;
    h.feed({kIac, kDo, 25});
    auto a = test::RecordBuilder(0xF5, 0xC3).text("AB").bytes();
    auto b = test::ebcdic("CD");
    h.feed(concat({a, {kIac, kNop}, b, {0xFF, 0xFF}, {kIac, kEor}}));
    ASSERT_EQ(h.events.records.size(), 1u);
    EXPECT_EQ(h.events.records[0], concat({a, b, {0xFF}}));

    // A record over the cap is dropped whole; the next one is fine.
    h.events.records.clear();
    Bytes_ huge(TelnetLayer::kMaxRecord + 10, 0x40);
    huge[0] = 0xF1;
    huge.insert(huge.end(), {kIac, kEor});
    h.feed(huge);
    EXPECT_EQ(h.events.dropped, TelnetLayer::kMaxRecord + 10);
    EXPECT_TRUE(h.events.records.empty());
    h.feed(concat({a, {kIac, kEor}}));
    EXPECT_EQ(h.events.records.size(), 1u);
}

TEST(TelnetFraming, LineModeText) {
    Harness h;
    h.feed(ascii("HELLO\r\nWORLD"));
    EXPECT_EQ(h.t.row(0), "HELLO");
    EXPECT_EQ(h.t.row(1), "WORLD");
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
}

// Everything the client does for a stream: its replies and the records it
// applied, with the screen they leave.
struct Outcome {
    Bytes_ replies;
    std::vector<Bytes_> records;
    std::vector<std::string> rows;
    bool operator==(const Outcome&) const = default;
};

Outcome run(const std::vector<Bytes_>& blocks, std::size_t chunk, int model) {
    Harness h({.tn3270eAllowed = true, .luName = ""}, model);
    Outcome o;
    for (const auto& block : blocks) {
        for (std::size_t i = 0; i < block.size(); i += chunk) {
            const std::size_t n = std::min(chunk, block.size() - i);
            h.layer.dataReceived(std::span(block.data() + i, n));
        }
    }
    o.replies = h.events.sent;
    o.records = h.events.records;
    for (int r = 0; r < h.t.ps().rows(); ++r)
        o.rows.push_back(h.t.row(r));
    return o;
}

// Feeding a recording one byte at a time gives exactly what whole blocks give.
TEST(TelnetFraming, ByteAtATimeEqualsWholeBlocksForEveryRecording) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
        const auto path = entry.path();
        if (path.extension() != ".trc") continue;
        const auto blocks = recording::parseRecording(test::readFile(path.string()));
        std::vector<Bytes_> host;
        for (const auto& b : blocks)
            if (b.direction == recording::Direction::FromHost) host.push_back(b.bytes);
        const int model = recording::announcedModel(blocks).value_or(2) - 2;
        const Outcome whole = run(host, SIZE_MAX, model);
        const Outcome bytewise = run(host, 1, model);
        EXPECT_EQ(whole.replies, bytewise.replies) << path.filename();
        EXPECT_EQ(whole.records, bytewise.records) << path.filename();
        EXPECT_EQ(whole.rows, bytewise.rows) << path.filename();
        EXPECT_FALSE(whole.records.empty()) << path.filename();
        ++checked;
    }
    EXPECT_GE(checked, 9);
}

// The replies our layer makes to a recording's negotiation equal what the
// recorded client sent, where both speak the same protocol.
TEST(TelnetFraming, NegotiationRepliesMatchTheRecordedClient) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    // hercules-3.13-logo.trc: plain TN3270 with a model 2 client.
    const auto blocks = recording::parseRecording(test::readFile(*dir + "/hercules-3.13-logo.trc"));
    Harness h({.tn3270eAllowed = true, .luName = ""}, 0);
    Bytes_ expected;
    for (const auto& b : blocks) {
        if (b.direction == recording::Direction::FromHost) {
            h.layer.dataReceived(b.bytes);
        } else {
            expected.insert(expected.end(), b.bytes.begin(), b.bytes.end());
        }
    }
    // The recorded client announced a 3279; ours is a 3278 of the same model.
    std::string text(h.events.sent.begin(), h.events.sent.end());
    const auto at = text.find("IBM-3278-2-E");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 12, "IBM-3279-2-E");
    // The recorded client volunteered DO/WILL for options it had already
    // agreed; compare the set of option verbs rather than their order.
    std::string want(expected.begin(), expected.end());
    for (const std::string& must : {std::string("\xff\xfb\x18", 3), std::string("\xff\xfb\x19", 3),
                                    std::string("\xff\xfb\x00", 3),
                                    std::string("\xff\xfa\x18\x00IBM-3279-2-E\xff\xf0", 18)}) {
        EXPECT_NE(want.find(must), std::string::npos);
        EXPECT_NE(text.find(must), std::string::npos);
    }
}

}  // namespace
}  // namespace cedar
