// Differential test of the inbound data stream: the loopback test host shows
// one screen to cedar_headless and to the peer emulator s3270, both enter
// the same data into the same fields and press the same attention key, or
// the host sends the same read command; the records the host receives from
// the two must be equal byte for byte (the whole record, TN3270E header
// included). Every case runs over TN3270 and over TN3270E.
//
// Operator input: s3270 gets MoveCursor(row, column) counted from 0 and
// String("..."); cedar_headless gets "write ROW COL TEXT" counted from 1.
// The tests never fill a field to its last position, so no autoskip rule
// comes into play.
//
// Synchronisation: the host asks a timing mark (RFC 860) after the screen
// and after every record that needs no reply; a client answers it only once
// it has processed everything before. Replies are awaited by count.
//
// Where we differ from s3270 on purpose, the difference is a named
// exception: a case lists the exceptions it expects, and one that no longer
// occurs fails the case too.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "headless_input.h"
#include "headless_peer.h"
#include "record_builder.h"
#include "recording.h"
#include "replay_host.h"
#include "s3270_peer.h"
#include "screen/inbound.h"
#include "test_paths.h"

namespace cedar {
namespace {

using test::RecordBuilder;
using test::ReplayHost;
using Record = std::vector<std::uint8_t>;

constexpr auto kWait = std::chrono::seconds(10);

std::string hexOf(const Record& bytes) {
    std::string out;
    char b[4];
    for (std::uint8_t x : bytes) {
        std::snprintf(b, sizeof b, "%02X", x);
        if (!out.empty()) out += ' ';
        out += b;
    }
    return out;
}

// ---------------------------------------------------------------------------
// What the operator and the host do.

struct Step {
    enum class Kind {
        Write,     // text at row, column (from 1)
        Cursor,    // move the cursor to row, column (from 1)
        Key,       // an attention key: one record comes back
        HostRead,  // the host sends `record`; one record comes back
        HostSet,   // the host sends `record`; nothing comes back
    };
    Kind kind;
    int row = 0;
    int column = 0;
    std::string text;  // Write: the text; Key: Enter, Clear, PA1..PA3, PF1..PF24
    Record record;
};

Step write(int row, int column, std::string text) {
    return {Step::Kind::Write, row, column, std::move(text), {}};
}
Step cursor(int row, int column) {
    return {Step::Kind::Cursor, row, column, {}, {}};
}
Step key(std::string name) {
    return {Step::Kind::Key, 0, 0, std::move(name), {}};
}
Step hostRead(std::uint8_t command) {
    return {Step::Kind::HostRead, 0, 0, {}, {command}};
}
// Write Structured Field with Set Reply Mode (partition 0, `mode`, the
// attribute types of character mode).
Step setReplyMode(std::uint8_t mode, std::vector<std::uint8_t> types = {}) {
    Record r = {cmd::kWriteStructuredField,
                0x00,
                static_cast<std::uint8_t>(5 + types.size()),
                0x09,
                0x00,
                mode};
    r.insert(r.end(), types.begin(), types.end());
    return {Step::Kind::HostSet, 0, 0, {}, r};
}

// ---------------------------------------------------------------------------
// The two clients.

class Client {
  public:
    virtual ~Client() = default;
    // Connects and waits for the first screen; "" or what went wrong.
    virtual std::string connect(int port) = 0;
    virtual std::string perform(const Step& step) = 0;
    virtual std::string diagnostics() = 0;
};

class PeerClient : public Client {
  public:
    explicit PeerClient(int model) : peer_({.model = model}) {}
    std::string connect(int port) override {
        if (!peer_.start()) return "s3270: " + peer_.error();
        // An attention key's action must not wait for the host's answer.
        if (auto a = peer_.action("Set(aidWait,false)"); !a.ok) return "Set(aidWait) failed";
        const auto a = peer_.action("Connect(127.0.0.1:" + std::to_string(port) + ")");
        return a.ok ? "" : "Connect failed: " + a.failure + " " + a.status;
    }
    std::string perform(const Step& step) override {
        std::vector<std::string> actions;
        switch (step.kind) {
            case Step::Kind::Write:
                actions = {move(step), "String(" + quoted(step.text) + ")"};
                break;
            case Step::Kind::Cursor:
                actions = {move(step)};
                break;
            case Step::Kind::Key:
                actions = {keyAction(step.text)};
                break;
            default:
                return "";
        }
        for (const auto& action : actions) {
            const auto a = peer_.action(action);
            if (!a.ok)
                return action + " failed: " + a.failure + " " +
                       (a.data.empty() ? a.status : a.data.front());
        }
        return "";
    }
    std::string diagnostics() override { return peer_.diagnostics(); }

  private:
    static std::string move(const Step& step) {
        return "MoveCursor(" + std::to_string(step.row - 1) + "," +
               std::to_string(step.column - 1) + ")";
    }
    static std::string quoted(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        return out + "\"";
    }
    static std::string keyAction(const std::string& name) {
        if (name.rfind("PF", 0) == 0) return "PF(" + name.substr(2) + ")";
        if (name.rfind("PA", 0) == 0) return "PA(" + name.substr(2) + ")";
        return name + "()";
    }
    test::S3270Peer peer_;
};

class OurClient : public Client {
  public:
    explicit OurClient(int model) : model_(model), program_(CEDAR_HEADLESS_PROGRAM, kWait) {}
    std::string connect(int port) override {
        if (!program_.start(
                {"--model", std::to_string(model_), "127.0.0.1:" + std::to_string(port)}))
            return program_.failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = program_.command(command);
            if (!a.ok) return std::string(command) + " failed: " + a.error;
        }
        return "";
    }
    std::string perform(const Step& step) override {
        std::string command;
        switch (step.kind) {
            case Step::Kind::Write:
                command = "write " + std::to_string(step.row) + " " + std::to_string(step.column) +
                          " " + step.text;
                break;
            case Step::Kind::Cursor:
                command = "cursor " + std::to_string(step.row) + " " + std::to_string(step.column);
                break;
            case Step::Kind::Key:
                command = "aid " + step.text;
                break;
            default:
                return "";
        }
        const auto a = program_.command(command);
        return a.ok ? "" : command + " failed: " + a.error;
    }
    std::string diagnostics() override { return program_.diagnostics(); }

  private:
    int model_;
    test::HeadlessPeer program_;
};

// ---------------------------------------------------------------------------
// One run: the host shows the screen, the client acts, the host collects.

struct Run {
    std::vector<Record> records;  // what the client sent after the screen
    std::string failure;
};

// A Write that only restores the keyboard (WCC 0x02: no reset, modified data
// tags kept): every screen ends with it, so that both clients unlock.
const Record kRestore = {cmd::kWrite, 0x02};

ReplayHost::Script script(const std::vector<Record>& screen, int model, bool tn3270e) {
    ReplayHost::Script s;
    s.records = screen;
    s.records.push_back(kRestore);
    if (tn3270e) {
        s.negotiation = ReplayHost::Negotiation::Tn3270e;
        // s3270 takes 3270-DATA only in a bound session once BIND-IMAGE is
        // agreed: a BIND (RFC 2355 section 10.3) goes first.
        // The presentation space of the BIND (bytes 20 to 24): default 24x80,
        // alternate the model's size, both given explicitly (0x7F).
        Record bind(27, 0x00);
        bind[0] = 0x31;
        bind[20] = 24;
        bind[21] = 80;
        bind[22] = static_cast<std::uint8_t>(model == 3   ? 32
                                             : model == 4 ? 43
                                             : model == 5 ? 27
                                                          : 24);
        bind[23] = static_cast<std::uint8_t>(model == 5 ? 132 : 80);
        bind[24] = 0x7F;
        for (const auto& name : {std::string("CEDARAPP"), std::string("CEDAR001")}) {
            bind.push_back(static_cast<std::uint8_t>(name.size()));
            const Record e = test::ebcdic(name);
            bind.insert(bind.end(), e.begin(), e.end());
            if (name == "CEDARAPP") bind.insert(bind.end(), {0x00, 0x00});
        }
        ReplayHost::Message m;
        m.dataType = ReplayHost::kDataBindImage;
        m.data = bind;
        s.messages = {m};
    }
    return s;
}

Run runClient(Client& client, const std::vector<Record>& screen, const std::vector<Step>& steps,
              int model, bool tn3270e) {
    Run run;
    ReplayHost host(script(screen, model, tn3270e));
    if (!host.start()) {
        run.failure = "test host: " + host.error();
        return run;
    }
    auto fail = [&](const std::string& what) {
        run.failure = what + " [host: " + host.error() + "] [client: " + client.diagnostics() + "]";
        return run;
    };
    if (const auto e = client.connect(host.port()); !e.empty()) return fail(e);
    if (!host.waitForSync(kWait))
        return fail("the screen was not taken in (no timing mark answer)");
    const std::size_t first = host.clientRecords().size();
    std::size_t expected = first;
    for (const Step& step : steps) {
        switch (step.kind) {
            case Step::Kind::Write:
            case Step::Kind::Cursor:
                if (const auto e = client.perform(step); !e.empty()) return fail(e);
                break;
            case Step::Kind::Key:
                if (const auto e = client.perform(step); !e.empty()) return fail(e);
                if (!host.waitForRecords(++expected, kWait))
                    return fail("no record for " + step.text);
                break;
            case Step::Kind::HostRead:
                host.send(step.record);
                if (!host.waitForRecords(++expected, kWait))
                    return fail("no reply to " + hexOf(step.record));
                break;
            case Step::Kind::HostSet:
                host.send(step.record, true);
                if (!host.waitForSync(kWait))
                    return fail("no timing mark answer after " + hexOf(step.record));
                break;
        }
    }
    // A last timing mark: nothing more may come.
    host.send({cmd::kWrite, 0x00}, true);
    if (!host.waitForSync(kWait)) return fail("no answer to the last timing mark");
    const auto all = host.clientRecords();
    run.records.assign(all.begin() + static_cast<std::ptrdiff_t>(first), all.end());
    return run;
}

// ---------------------------------------------------------------------------
// Differences and the named exceptions to them.

struct Difference {
    std::size_t index;   // of the record after the screen
    std::size_t header;  // 5 in TN3270E, else 0
    int columns;
    Record ours;
    Record theirs;
};

enum class Rule {
    FieldModeWithoutGraphicEscape,
    FieldAttributeMarker,
    ShortReadModifiedSendsCursor,
    PeerCursorAfterWrappedTyping,
    ControlCodeReadsAsNull,
};

// An exception explains one kind of difference: where it applies, it makes
// s3270's record agree with ours in that respect and says so. A record
// difference is covered when the allowed exceptions together explain it
// (applied in the order of this table).
struct NamedException {
    Rule rule;
    const char* name;
    const char* reason;
    bool (*explain)(Difference&);
};

// Host codes that our code page table turns into display code 0 (the
// controls below 0x40 and 0xFF).
bool hasNoDisplayCode(std::uint8_t host) {
    static const std::array<bool, 256> table = [] {
        test::TestSession t;
        std::array<bool, 256> a{};
        for (int i = 1; i < 256; ++i)
            a[static_cast<std::size_t>(i)] =
                t.session.codePages.hostToDisplay(static_cast<std::uint8_t>(i)) == 0;
        return a;
    }();
    return table[host];
}

int decodeAddress(std::uint8_t a, std::uint8_t b) {
    if ((a & 0xC0) == 0) return (a << 8) | b;  // 14-bit
    return ((a & 0x3F) << 6) | (b & 0x3F);
}

const NamedException kExceptions[] = {
    {Rule::FieldModeWithoutGraphicEscape, "no Graphic Escape in a field-mode Read Buffer",
     "in field reply mode a Graphic Escape character goes as its stored byte alone "
     "(InboundBuilder::readBufferFieldMode); s3270 puts the GE order (0x08) before it",
     [](Difference& d) {
         bool changed = false;
         for (std::size_t i = d.header; i < d.ours.size() && i + 1 < d.theirs.size(); ++i) {
             if (d.ours[i] == d.theirs[i] || d.theirs[i] != order::kGraphicEscape ||
                 d.theirs[i + 1] != d.ours[i])
                 continue;
             d.theirs.erase(d.theirs.begin() + static_cast<std::ptrdiff_t>(i));
             changed = true;
         }
         return changed;
     }},
    {Rule::FieldAttributeMarker, "field attribute sent with its 0x80 marker",
     "Read Buffer sends a field attribute as the attributes plane holds it, with bit 0x80 set "
     "(protected 0x20 goes as 0xE0); s3270 sends the graphic form of its low six bits (0x60)",
     [](Difference& d) {
         if (d.ours.size() != d.theirs.size()) return false;
         bool changed = false;
         for (std::size_t i = d.header + 3; i < d.ours.size(); ++i) {
             const std::uint8_t a = d.ours[i], b = d.theirs[i];
             const std::uint8_t before = d.ours[i - 1];
             if (a == b || (before != order::kStartField && before != 0xC0)) continue;
             if ((a & 0x80) != 0 && (a & 0x3F) == (b & 0x3F)) {
                 d.theirs[i] = a;
                 changed = true;
             }
         }
         return changed;
     }},
    {Rule::ShortReadModifiedSendsCursor, "Read Modified after a short-read AID sends the cursor",
     "after PA1-PA3 or Clear, Read Modified answers with the AID and the cursor address "
     "(InboundBuilder::sendShortReadModified); s3270 sends the AID alone",
     [](Difference& d) {
         const std::size_t h = d.header;
         if (d.theirs.size() != h + 1 || d.ours.size() != h + 3 ||
             !std::equal(d.theirs.begin(), d.theirs.end(), d.ours.begin()) ||
             !aid::isShortRead(d.ours[h]))
             return false;
         d.theirs = d.ours;
         return true;
     }},
    {Rule::PeerCursorAfterWrappedTyping, "s3270's cursor after typing over the end of the screen",
     "text typed over the last position continues at position 0 for both, but s3270 then puts "
     "its cursor in row 1 at the column where the text started, not after the text",
     [](Difference& d) {
         const std::size_t h = d.header;
         if (d.ours.size() < h + 3 || d.theirs.size() < h + 3) return false;
         const int ours = decodeAddress(d.ours[h + 1], d.ours[h + 2]);
         const int theirs = decodeAddress(d.theirs[h + 1], d.theirs[h + 2]);
         if (ours == theirs || ours >= d.columns || theirs >= d.columns) return false;
         d.theirs[h + 1] = d.ours[h + 1];
         d.theirs[h + 2] = d.ours[h + 2];
         return true;
     }},
    {Rule::ControlCodeReadsAsNull, "control code reads as a null",
     "the screen holds characters in display code; a host code without one (the controls "
     "below 0x40, 0xFF) is held as display code 0 and goes back to the host as a null, "
     "where s3270 returns the host code it received",
     [](Difference& d) {
         if (d.ours.size() != d.theirs.size()) return false;
         bool changed = false;
         for (std::size_t i = d.header + 3; i < d.ours.size(); ++i) {
             if (d.ours[i] == 0x00 && d.theirs[i] != 0x00 && hasNoDisplayCode(d.theirs[i])) {
                 d.theirs[i] = 0x00;
                 changed = true;
             }
         }
         return changed;
     }},
};

const NamedException& exceptionFor(Rule rule) {
    for (const auto& e : kExceptions)
        if (e.rule == rule) return e;
    std::abort();
}

// Where two records part: their lengths and the bytes around the first
// difference.
std::string describe(const Difference& d) {
    std::size_t at = 0;
    while (at < d.ours.size() && at < d.theirs.size() && d.ours[at] == d.theirs[at])
        ++at;
    auto window = [&](const Record& r) {
        const std::size_t from = at > 8 ? at - 8 : 0;
        const std::size_t to = std::min(r.size(), at + 24);
        if (from >= to) return std::string("(ends)");
        return (from > 0 ? "... " : "") +
               hexOf(Record(r.begin() + static_cast<std::ptrdiff_t>(from),
                            r.begin() + static_cast<std::ptrdiff_t>(to))) +
               (to < r.size() ? " ..." : "");
    };
    std::ostringstream s;
    s << "record " << d.index + 1 << " differs at byte " << at << " (ours " << d.ours.size()
      << " bytes, s3270 " << d.theirs.size() << "):\n  ours  " << window(d.ours) << "\n  s3270 "
      << window(d.theirs) << "\n";
    const char* verbose = std::getenv("CEDAR_DIFF_VERBOSE");
    if (verbose != nullptr && *verbose != '\0' && *verbose != '0')
        s << "  ours  (whole) " << hexOf(d.ours) << "\n  s3270 (whole) " << hexOf(d.theirs) << "\n";
    return s.str();
}

::testing::AssertionResult sameRecords(const std::vector<Record>& ours,
                                       const std::vector<Record>& theirs, bool tn3270e, int columns,
                                       const std::vector<Rule>& allowed) {
    std::ostringstream message;
    std::set<Rule> used;
    if (ours.size() != theirs.size())
        message << "we sent " << ours.size() << " record(s), s3270 " << theirs.size() << "\n";
    for (std::size_t i = 0; i < std::max(ours.size(), theirs.size()); ++i) {
        Difference d{i, tn3270e ? 5u : 0u, columns, i < ours.size() ? ours[i] : Record{},
                     i < theirs.size() ? theirs[i] : Record{}};
        if (d.ours == d.theirs) continue;
        const Difference original = d;
        std::vector<Rule> explaining;
        for (const NamedException& e : kExceptions)
            if (std::find(allowed.begin(), allowed.end(), e.rule) != allowed.end() && e.explain(d))
                explaining.push_back(e.rule);
        if (d.ours == d.theirs) {
            used.insert(explaining.begin(), explaining.end());
            continue;
        }
        message << describe(original);
    }
    for (Rule r : allowed)
        if (used.count(r) == 0)
            message << "named exception \"" << exceptionFor(r).name
                    << "\" did not occur: the case no longer needs it\n";
    if (message.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << message.str();
}

struct Case {
    std::string name;
    int model = 2;
    std::vector<Record> screen;  // the host's records before the input
    std::vector<Step> steps;
    std::vector<Rule> exceptions = {};
};

void compareWithPeer(const Case& c, bool tn3270e) {
    OurClient ourClient(c.model);
    const Run ours = runClient(ourClient, c.screen, c.steps, c.model, tn3270e);
    ASSERT_EQ(ours.failure, "") << "cedar_headless";
    PeerClient peerClient(c.model);
    const Run theirs = runClient(peerClient, c.screen, c.steps, c.model, tn3270e);
    ASSERT_EQ(theirs.failure, "") << "s3270";
    ASSERT_FALSE(ours.records.empty()) << "nothing was compared";
    EXPECT_TRUE(
        sameRecords(ours.records, theirs.records, tn3270e, c.model == 5 ? 132 : 80, c.exceptions));
}

bool peerMissing() {
    return !test::S3270Peer::available();
}

// ---------------------------------------------------------------------------
// Crafted screens.

// 24x80 with every kind of input field (positions from 0; rows and columns
// of the steps from 1):
//   5 protected title | 90 unprotected (row 2 col 12) | 170 numeric (row 3
//   col 12) | 250 non-display (row 4 col 12) | 330 modified by the host
//   "PRESET" | 410 unprotected holding "OLD VALUE HERE" (row 6 col 12) |
//   490 modified by the host, "AB", three nulls, "C" | 810 unprotected with
//   colour and highlight "COLOURED" | 880 protected text with a character
//   colour and a Graphic Escape character | 1905 unprotected, its data
//   running from row 24 col 67 over the end of the screen to row 1 col 5.
// Input always starts at a field's first position: s3270 turns the nulls
// before typed text into blanks, a typing rule of its own.
std::vector<Record> model2Form() {
    RecordBuilder b(cmd::kEraseWrite, 0xC3);
    b.sba(5).sf(0x60).text("INBOUND DATA STREAM TEST");
    b.sba(80).sf(0x60).text("NAME").sba(90).sf(0x40).sba(111).sf(0x60);
    b.sba(160).sf(0x60).text("ACCOUNT").sba(170).sf(0x50).sba(181).sf(0x60);
    b.sba(240).sf(0x60).text("PASSWORD").sba(250).sf(0x4C).sba(271).sf(0x60);
    b.sba(320).sf(0x60).text("PRESET").sba(330).sf(0xC1).text("PRESET").sba(350).sf(0x60);
    b.sba(400).sf(0x60).text("CHANGE").sba(410).sf(0x40).text("OLD VALUE HERE").sba(440).sf(0x60);
    b.sba(480).sf(0x60).text("GAPS").sba(490).sf(0xC1).text("AB").sba(496).text("C");
    b.sba(530).sf(0x60);
    b.sba(800).sf(0x60).text("COLOUR").sba(810).sfe({0xC0, 0x40, 0x42, 0xF2, 0x41, 0xF4});
    b.text("COLOURED").sba(840).sf(0x60);
    b.sba(880).sa(0x42, 0xF6).text("YELLOW").sa(0x00, 0x00).ge(0xAD).text("GE");
    b.sba(1880).sf(0x60).text("WRAP").sba(1905).sf(0x40);
    b.sba(91).ic();
    return {b.bytes()};
}

// 43x80 (model 4, Erase/Write Alternate): fields below row 24, one at the
// end wrapping to row 1.
std::vector<Record> model4Form() {
    RecordBuilder b(cmd::kEraseWriteAlternate, 0xC3);
    b.sba(10).sf(0x60).text("LARGE SCREEN");
    b.sba(30 * 80).sf(0x60).text("ROW 31").sba(30 * 80 + 10).sf(0x40).sba(30 * 80 + 40).sf(0x60);
    b.sba(40 * 80).sf(0x60).text("ROW 41").sba(40 * 80 + 10).sf(0x50).sba(40 * 80 + 20).sf(0x60);
    b.sba(3440 - 20).sf(0xC0).text("WRAPS");
    b.sba(30 * 80 + 11).ic();
    return {b.bytes()};
}

// The operator's input into every kind of field of model2Form().
std::vector<Step> typing() {
    return {write(24, 67, "WRAPPED-FIELD-DATA"),
            write(3, 12, "12345"),
            write(4, 12, "SECRET"),
            write(6, 12, "NEW"),
            write(11, 19, "X"),
            write(2, 12, "SMITH")};
}

std::vector<Step> plus(std::vector<Step> steps, std::initializer_list<Step> more) {
    steps.insert(steps.end(), more);
    return steps;
}

std::vector<Case> craftedCases() {
    std::vector<Case> cases;
    const auto form = model2Form();
    cases.push_back({"EnterSendsEveryModifiedField", 2, form, plus(typing(), {key("Enter")})});
    cases.push_back(
        {"EnterWithoutInputSendsThePresetField", 2, form, {cursor(12, 40), key("Enter")}});
    for (const char* pf : {"PF1", "PF9", "PF10", "PF12", "PF13", "PF21", "PF22", "PF24"})
        cases.push_back(
            {std::string("AttentionKey") + pf, 2, form, {write(2, 12, "PFKEY"), key(pf)}});
    for (const char* pa : {"PA1", "PA2", "PA3", "Clear"})
        cases.push_back({std::string("ShortRead") + pa, 2, form, plus(typing(), {key(pa)})});
    cases.push_back({"ClearErasesTheScreen", 2, form,
                     plus(typing(), {key("Clear"), hostRead(cmd::kReadBuffer)})});
    cases.push_back({"ReadModifiedAfterPaIsShort",
                     2,
                     form,
                     plus(typing(), {key("PA1"), hostRead(cmd::kReadModified),
                                     hostRead(cmd::kReadModifiedAll)}),
                     {Rule::ShortReadModifiedSendsCursor}});
    cases.push_back(
        {"ReadModifiedWithoutAid", 2, form, plus(typing(), {hostRead(cmd::kReadModified)})});
    cases.push_back(
        {"ReadModifiedAllWithoutAid", 2, form, plus(typing(), {hostRead(cmd::kReadModifiedAll)})});
    const std::vector<Rule> marker = {Rule::FieldAttributeMarker};
    const std::vector<Rule> fieldMode = {Rule::FieldAttributeMarker,
                                         Rule::FieldModeWithoutGraphicEscape};
    cases.push_back(
        {"ReadBufferFieldMode", 2, form, plus(typing(), {hostRead(cmd::kReadBuffer)}), fieldMode});
    cases.push_back({"ReadBufferExtendedFieldMode", 2, form,
                     plus(typing(), {setReplyMode(0x01), hostRead(cmd::kReadBuffer)}), marker});
    cases.push_back(
        {"ReadBufferCharacterMode", 2, form,
         plus(typing(), {setReplyMode(0x02, {0x41, 0x42, 0x43, 0x45}), hostRead(cmd::kReadBuffer)}),
         marker});
    cases.push_back({"ReadBufferBackToFieldMode",
                     2,
                     form,
                     {setReplyMode(0x02, {0x42}), setReplyMode(0x00), hostRead(cmd::kReadBuffer)},
                     fieldMode});

    const auto large = model4Form();
    cases.push_back({"LargeScreenEnter",
                     4,
                     large,
                     {write(31, 12, "ROW THIRTY-ONE"), write(41, 12, "4242"),
                      write(43, 67, "-AND-MORE-TO-WRAP"), key("Enter")},
                     {Rule::PeerCursorAfterWrappedTyping}});
    cases.push_back({"LargeScreenClear",
                     4,
                     large,
                     {write(31, 12, "GONE"), key("Clear"), hostRead(cmd::kReadBuffer)}});
    cases.push_back({"LargeScreenReadBuffer",
                     4,
                     large,
                     {write(31, 12, "ROW THIRTY-ONE"), hostRead(cmd::kReadBuffer)},
                     marker});
    cases.push_back(
        {"LargeScreenReadBufferCharacterMode",
         4,
         large,
         {write(31, 12, "ROW THIRTY-ONE"), setReplyMode(0x02, {0x42}), hostRead(cmd::kReadBuffer)},
         marker});

    // An unformatted screen: every character goes with the AID.
    const std::vector<Record> plain = {
        RecordBuilder(cmd::kEraseWrite, 0xC3).text("NO FIELDS HERE").sba(200).text("HOST").bytes()};
    cases.push_back(
        {"UnformattedEnter", 2, plain, {write(5, 1, "TYPED"), write(3, 1, "FIRST"), key("Enter")}});
    cases.push_back(
        {"UnformattedReadBuffer", 2, plain, {write(5, 1, "TYPED"), hostRead(cmd::kReadBuffer)}});
    return cases;
}

struct Param {
    Case c;
    bool tn3270e;
};

void PrintTo(const Param& p, std::ostream* os) {
    *os << p.c.name << (p.tn3270e ? " over TN3270E" : " over TN3270");
}

std::vector<Param> withBothModes(const std::vector<Case>& cases) {
    std::vector<Param> out;
    for (const Case& c : cases) {
        out.push_back({c, false});
        out.push_back({c, true});
    }
    return out;
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
    return info.param.c.name + (info.param.tn3270e ? "_Tn3270e" : "_Tn3270");
}

class Crafted : public ::testing::TestWithParam<Param> {};

TEST_P(Crafted, SameInboundRecordsAsS3270) {
    if (peerMissing()) GTEST_SKIP() << test::S3270Peer::kProgram << " is not installed";
    compareWithPeer(GetParam().c, GetParam().tn3270e);
}

INSTANTIATE_TEST_SUITE_P(Screens, Crafted, ::testing::ValuesIn(withBothModes(craftedCases())),
                         paramName);

// ---------------------------------------------------------------------------
// The operator's stand-in itself (cedar_headless's write, cursor and aid).

class SentRecords : public InboundSender {
  public:
    std::vector<Record> aids;
    void sendAid(Bytes record, Bytes) override { aids.emplace_back(record.begin(), record.end()); }
    void sendRecord(Bytes record, Bytes) override {
        aids.emplace_back(record.begin(), record.end());
    }
};

// 24x80: protected 0..9, unprotected 10 (data 11..19), protected 20,
// numeric 1910 whose data wraps over the end to 0..4, protected from 5.
void showStandInScreen(test::TestSession& t) {
    t.apply(RecordBuilder(cmd::kEraseWrite, 0xC3)
                .sba(5)
                .sf(0x60)
                .text("TITLE")
                .sba(10)
                .sf(0x40)
                .text("OLD")
                .sba(20)
                .sf(0x60)
                .sba(1910)
                .sf(0x50)
                .bytes());
}

TEST(HeadlessInput, WritesIntoUnprotectedFieldsOnly) {
    struct WriteCase {
        int row, column;
        std::string text;
        std::string error;  // "" when the text is written
        int attribute;      // of the field written into
    };
    const WriteCase cases[] = {
        {1, 12, "AB", "", 10},                 // the field's start, over "OLD"
        {1, 15, "CDEFGH", "", 10},             // up to the field's last position
        {24, 72, "123456789", "", 1910},       // up to the screen's last position
        {24, 72, "12345678901234", "", 1910},  // over the end, on to position 4
        {1, 1, "12", "", 1910},                // in the wrapped field's tail
        {1, 11, "X", "the position holds a field attribute", 0},
        {1, 7, "X", "the position lies in a protected field", 0},
        {1, 16, "CDEFGH", "the text runs past the end of the field", 0},
        {24, 72, "123456789012345", "the text runs past the end of the field", 0},
        {1, 12, "caf\xe9", "the text must be printable ASCII", 0},
        {1, 12, "", "no text to write", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column) + " \"" + c.text +
                     "\"");
        test::TestSession t;
        showStandInScreen(t);
        const auto before = t.ps().image();
        const auto p = headless::positionOf(t.ps(), c.row, c.column);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(headless::writeText(t.session, *p, c.text), c.error);
        if (!c.error.empty()) {
            EXPECT_EQ(std::memcmp(&before, &t.ps().image(), sizeof before), 0) << "nothing changes";
            continue;
        }
        int q = *p;
        for (char ch : c.text) {
            EXPECT_EQ(t.ps().characters()[q], static_cast<std::uint8_t>(ch));
            EXPECT_EQ(t.ps().hostCodes()[q], test::ebcdic(std::string(1, ch))[0]);
            q = t.ps().nextAddress(q);
        }
        EXPECT_EQ(t.ps().cursorAddress, q) << "the cursor stands after the text";
        EXPECT_NE(t.ps().attributes()[c.attribute] & fa::kModified, 0) << "MDT set";
    }
    test::TestSession t;
    showStandInScreen(t);
    EXPECT_FALSE(headless::positionOf(t.ps(), 25, 1).has_value());
    EXPECT_FALSE(headless::positionOf(t.ps(), 1, 81).has_value());
    EXPECT_FALSE(headless::positionOf(t.ps(), 0, 1).has_value());
    EXPECT_EQ(headless::positionOf(t.ps(), 24, 80), 1919);
}

TEST(HeadlessInput, AttentionKeysLockTheKeyboardAndSendTheirRecords) {
    struct Name {
        const char* name;
        std::optional<std::uint8_t> aid;
    };
    const Name names[] = {{"Enter", 0x7D}, {"enter", 0x7D}, {"Clear", 0x6D}, {"PA1", 0x6C},
                          {"PA3", 0x6B},   {"PF1", 0xF1},   {"PF10", 0x7A},  {"PF12", 0x7C},
                          {"PF13", 0xC1},  {"PF22", 0x4A},  {"PF24", 0x4C},  {"PF25", {}},
                          {"PA4", {}},     {"PF0", {}},     {"PF01", {}},    {"Attn", {}}};
    for (const auto& n : names)
        EXPECT_EQ(headless::aidOfKey(n.name), n.aid) << n.name;

    test::TestSession t;
    showStandInScreen(t);
    SentRecords sent;
    InboundBuilder inbound(t.ps(), t.session.codePages, sent);
    t.session.status = SessionStatus::Unlocked;
    ASSERT_EQ(headless::writeText(t.session, 11, "AB"), "");
    headless::pressAttentionKey(t.session, inbound, 0xF3);
    EXPECT_EQ(t.session.status, SessionStatus::SysLock);
    EXPECT_EQ(t.session.records.currentAid, 0xF3);
    EXPECT_TRUE(t.session.records.aidOutstanding);
    const Record pf3 = {0xF3, 0x40, 0x4D, order::kSetBufferAddress, 0x40, 0x4B, 0xC1, 0xC2, 0xC4};
    ASSERT_EQ(sent.aids.size(), 1u);
    EXPECT_EQ(hexOf(sent.aids[0]), hexOf(pf3)) << "AID, cursor, the field \"ABD\"";

    t.session.status = SessionStatus::Unlocked;
    headless::pressAttentionKey(t.session, inbound, 0x6E);
    EXPECT_EQ(hexOf(sent.aids.back()), "6E") << "PA2: the AID alone";
    EXPECT_EQ(t.ps().characters()[11], 'A') << "PA keys leave the screen alone";

    headless::pressAttentionKey(t.session, inbound, 0x6D);
    EXPECT_EQ(hexOf(sent.aids.back()), "6D");
    EXPECT_FALSE(t.ps().screenFormatted) << "Clear erased the screen";
    EXPECT_EQ(t.ps().characters()[11], 0);
    EXPECT_EQ(t.ps().cursorAddress, 0);
}

// cedar_headless: input errors, and an attention key that locks the keyboard
// until the host's answer restores it.
TEST(HeadlessInput, ProgramSendsTheAttentionKeyAndWaitsForTheAnswer) {
    ReplayHost host(script(model2Form(), 2, false));
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessPeer program(CEDAR_HEADLESS_PROGRAM, kWait);
    ASSERT_TRUE(program.start({"127.0.0.1:" + std::to_string(host.port())})) << program.failure();
    for (const char* command : {"connect", "wait unlock 10"})
        ASSERT_TRUE(program.command(command).ok) << command;
    ASSERT_TRUE(host.waitForSync(kWait));
    const auto error = [&](const std::string& command) { return program.command(command).error; };
    EXPECT_EQ(error("write 1 8 X"), "the position lies in a protected field");
    EXPECT_EQ(error("write 2 11 X"), "the position holds a field attribute");
    EXPECT_EQ(error("write 25 1 X"), "row 25 column 1 is off the 24x80 screen");
    EXPECT_EQ(error("write 2 12"), "usage: write ROW COL TEXT");
    EXPECT_EQ(error("write 2 12 "), "usage: write ROW COL TEXT");
    EXPECT_EQ(error("aid PF25"), "usage: aid Enter|Clear|PA1..PA3|PF1..PF24");
    EXPECT_EQ(error("cursor 1"), "usage: cursor ROW COL");
    EXPECT_EQ(host.clientRecords().size(), 0u) << "nothing was sent";

    ASSERT_TRUE(program.command("write 2 12  TWO BLANKS").ok);
    ASSERT_TRUE(program.command("write 3 12  ").ok) << "a blank alone is text too";
    ASSERT_TRUE(program.command("aid Enter").ok);
    const auto status = program.command("status");
    ASSERT_FALSE(status.lines.empty());
    EXPECT_EQ(status.lines[0], "status SYSLOCK");
    EXPECT_EQ(error("write 3 12 1"), "the keyboard is locked");
    EXPECT_EQ(error("aid Enter"), "the keyboard is locked");
    EXPECT_EQ(error("wait unlock 0"), "timed out waiting for the keyboard to unlock");
    ASSERT_TRUE(host.waitForRecords(1, kWait));
    host.send(RecordBuilder(cmd::kWrite, 0xC3).sba(1600).text("ANSWERED").bytes());
    ASSERT_TRUE(program.command("wait unlock 10").ok);
    const auto screen = program.command("screen");
    ASSERT_GE(screen.lines.size(), 21u);
    EXPECT_EQ(screen.lines[20].substr(0, 8), "ANSWERED");
    EXPECT_EQ(screen.lines[1].substr(11, 11), " TWO BLANKS");
    ASSERT_EQ(host.clientRecords().size(), 1u);
    const Record enter = host.clientRecords()[0];
    ASSERT_GE(enter.size(), 6u);
    EXPECT_EQ(enter[0], aid::kEnter);
    EXPECT_EQ(hexOf(Record(enter.begin() + 3, enter.begin() + 6)), "11 C1 5B")
        << "the first modified field starts at row 2 column 12";
}

// ---------------------------------------------------------------------------
// Recordings of real host sessions: their first screen with an input field
// (the 3270-DATA records up to it). The operator types into the first
// input field and presses Enter; and, on a fresh connection, the host reads
// the whole buffer.

struct RecordingScreen {
    std::vector<Record> records;
    int model = 2;
    int fieldRow = 0;  // the first input field's first data position, from 1
    int fieldColumn = 0;
    std::string text;  // what fits into it (digits for a numeric field)
};

std::optional<RecordingScreen> firstInputScreen(const std::string& path) {
    const auto blocks = recording::parseRecording(test::readFile(path));
    RecordingScreen screen;
    screen.model = recording::announcedModel(blocks).value_or(2);
    ScreenSessionOptions options;
    options.modelIndex = screen.model - 2;
    test::TestSession t({}, options);
    for (const auto& r : recording::hostRecords(blocks)) {
        if (r.origin.dataType != 0 || r.origin.sscpLu) continue;
        screen.records.push_back(r.data);
        t.apply(r.data);
        if (t.ps().inputFieldCount == 0) continue;
        const PresentationSpace& ps = t.ps();
        for (int p = 0; p < ps.positions(); ++p) {
            const std::uint8_t a = ps.attributes()[p];
            if (a == 0 || fa::isProtected(a)) continue;
            int length = 0;
            for (int q = ps.nextAddress(p); !ps.isAttribute(q) && length < ps.positions();
                 q = ps.nextAddress(q))
                ++length;
            if (length < 2) continue;
            const int first = ps.nextAddress(p);
            screen.fieldRow = first / ps.columns() + 1;
            screen.fieldColumn = first % ps.columns() + 1;
            // Never up to the field's last position: no autoskip.
            const std::string text = (a & fa::kNumeric) != 0 ? "12345" : "CEDAR";
            screen.text = text.substr(0, static_cast<std::size_t>(std::min(length - 1, 5)));
            return screen;
        }
    }
    return std::nullopt;
}

struct RecordingCase {
    std::string file;
    std::vector<Rule> enterExceptions;
    std::vector<Rule> readBufferExceptions;
};

void PrintTo(const RecordingCase& c, std::ostream* os) {
    *os << c.file;
}

const std::vector<RecordingCase>& recordingCases() {
    // Every real screen has protected fields whose attribute loses the 0x80
    // marker in s3270's Read Buffer.
    const std::vector<Rule> marker = {Rule::FieldAttributeMarker};
    static const std::vector<RecordingCase> cases = {
        {"all_chars.trc", {}, {Rule::FieldAttributeMarker, Rule::ControlCodeReadsAsNull}},
        {"fttext", {}, marker},
        {"ft_cut.trc", {}, marker},
        {"ft_dft.trc", {}, {Rule::FieldAttributeMarker, Rule::FieldModeWithoutGraphicEscape}},
        {"ibmlink.trc", {}, marker},
        {"ibmlink_help.trc", {}, marker},
        {"invalid_sba.trc", {}, marker},
        {"login.trc", {}, marker},
        {"sruvm.trc", {}, marker},
        {"vampstream.txt", {}, marker},
    };
    return cases;
}

std::string testName(const std::string& file) {
    std::string name;
    for (char ch : file)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

class RecordingScreens : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingScreens, SameInboundRecordsAsS3270) {
    const auto dir = test::recordingsDir();
    if (!dir) GTEST_SKIP() << "no recordings folder";
    if (peerMissing()) GTEST_SKIP() << test::S3270Peer::kProgram << " is not installed";
    const RecordingCase& rc = GetParam();
    const auto screen = firstInputScreen(*dir + "/" + rc.file);
    ASSERT_TRUE(screen.has_value()) << rc.file << " shows no input field";
    for (const bool tn3270e : {false, true}) {
        SCOPED_TRACE(tn3270e ? "TN3270E" : "TN3270");
        compareWithPeer({"Enter",
                         screen->model,
                         screen->records,
                         {write(screen->fieldRow, screen->fieldColumn, screen->text), key("Enter")},
                         rc.enterExceptions},
                        tn3270e);
        compareWithPeer({"ReadBuffer",
                         screen->model,
                         screen->records,
                         {hostRead(cmd::kReadBuffer)},
                         rc.readBufferExceptions},
                        tn3270e);
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, RecordingScreens, ::testing::ValuesIn(recordingCases()),
                         [](const ::testing::TestParamInfo<RecordingCase>& param) {
                             return testName(param.param.file);
                         });

// Every recording in the folder whose host shows an input field has a case.
TEST(RecordingScreensTable, CoversEveryRecordingWithAnInputField) {
    const auto dir = test::recordingsDir();
    if (!dir) GTEST_SKIP() << "no recordings folder";
    std::set<std::string> listed;
    for (const auto& c : recordingCases())
        listed.insert(c.file);
    for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const bool hasInput = firstInputScreen(entry.path().string()).has_value();
        EXPECT_EQ(listed.count(name), hasInput ? 1u : 0u)
            << name
            << (hasInput ? " shows an input field but has no case"
                         : " has a case but shows no input field");
    }
}

}  // namespace
}  // namespace cedar
