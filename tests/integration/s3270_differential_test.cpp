// Differential test of the screen model: the same 3270 host records go to our
// Session and, over a loopback TN3270 connection, to the peer emulator s3270.
// Both buffers are then brought into one form and compared position by
// position: host code, field attribute, and the extended attributes
// (foreground colour, highlight, character set) of fields and characters,
// plus the geometry and the cursor.
//
// Synchronisation: the replay host sends IAC DO TIMING-MARK (RFC 860) after
// the last record and reports when the answer is in. s3270 answers Telnet
// commands in stream order, after it has processed every record before, so
// its buffer is final when ReadBuffer(Ebcdic) is asked for. Every stream ends
// with a Write without orders, so that s3270's Connect() (which waits for the
// host's first write) returns whatever the records before it are.
//
// Where we differ from s3270 on purpose, the difference is a named exception
// (kExceptions): each case lists the exceptions it expects, and a listed
// exception that no longer occurs fails the case too.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "oracles.h"
#include "record_builder.h"
#include "recording.h"
#include "replay_host.h"
#include "s3270_peer.h"
#include "test_paths.h"

namespace cedar {
namespace {

using test::RecordBuilder;
using Record = std::vector<std::uint8_t>;

constexpr auto kSyncTimeout = std::chrono::seconds(10);

// ---------------------------------------------------------------------------
// One form for both buffers.

// A buffer position. At a field attribute `code` is the attribute's low six
// bits (the two high bits only make the byte a graphic character and are set
// differently by each side); elsewhere the host code, 0x00 for a null.
// foreground: 0x00 (default) or the host colour 0xF0..0xFF; highlight: the
// low nibble of the host value (0 default, 1 blink, 2 reverse, 4 underscore,
// 8 intensify); charset: the character set value, 0x00 for the base set and
// 0xF1 for Graphic Escape characters; background: 0x00 or the host colour.
struct Cell {
    bool field = false;
    std::uint8_t code = 0;
    std::uint8_t foreground = 0;
    std::uint8_t highlight = 0;
    std::uint8_t charset = 0;
    std::uint8_t background = 0;
};

struct Screen {
    int rows = 0;
    int columns = 0;
    int cursor = -1;
    std::vector<Cell> cells;
};

std::string hex2(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", v & 0xFF);
    return text;
}

std::string describe(const Cell& c) {
    std::string s = c.field ? "field attribute " + hex2(c.code) : "character " + hex2(c.code);
    s += " fg " + hex2(c.foreground) + " hl " + hex2(c.highlight) + " cs " + hex2(c.charset);
    if (c.background != 0) s += " bg " + hex2(c.background);
    return s;
}

// ---------------------------------------------------------------------------
// s3270's ReadBuffer(Ebcdic): one data line per row, one token per position:
// "xx" a host code, "GE(xx)" a Graphic Escape character, "SF(c0=aa,41=..,
// 42=..,43=..)" a field attribute with its extended attributes. "SA(...)"
// tokens stand between positions and change the character attributes of the
// positions that follow (the state starts at all defaults and a field
// attribute does not change it). Type 45 is the background colour.

bool parseByte(std::string_view s, std::uint8_t& out) {
    if (s.size() != 2) return false;
    unsigned v = 0;
    for (char ch : s) {
        v <<= 4;
        if (ch >= '0' && ch <= '9')
            v |= static_cast<unsigned>(ch - '0');
        else if (ch >= 'a' && ch <= 'f')
            v |= static_cast<unsigned>(ch - 'a' + 10);
        else if (ch >= 'A' && ch <= 'F')
            v |= static_cast<unsigned>(ch - 'A' + 10);
        else
            return false;
    }
    out = static_cast<std::uint8_t>(v);
    return true;
}

// "c0=e0,42=f2" applied to a cell; false on anything unexpected.
bool applyPairs(std::string_view list, Cell& cell, bool field, std::string& error) {
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view pair = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        std::uint8_t key = 0, value = 0;
        if (pair.size() != 5 || pair[2] != '=' || !parseByte(pair.substr(0, 2), key) ||
            !parseByte(pair.substr(3), value)) {
            error = "bad attribute pair '" + std::string(pair) + "'";
            return false;
        }
        switch (key) {
            case 0xC0:
                if (!field) {
                    error = "field attribute in SA()";
                    return false;
                }
                cell.code = value & 0x3F;
                break;
            case 0x41:
                cell.highlight = value & 0x0F;
                break;
            case 0x42:
                cell.foreground = value;
                break;
            case 0x43:
                cell.charset = value;
                break;
            case 0x45:
                cell.background = value;
                break;
            case 0xFE:  // input control: s3270 keeps it, nothing on the screen shows it
                break;
            default:
                error = "unknown attribute type " + hex2(key);
                return false;
        }
    }
    return true;
}

std::optional<Screen> parsePeerBuffer(const std::vector<std::string>& lines, std::string& error) {
    Screen screen;
    screen.rows = static_cast<int>(lines.size());
    Cell state;  // the character attributes SA() tokens set
    for (const std::string& line : lines) {
        int count = 0;
        std::istringstream tokens(line);
        std::string token;
        while (tokens >> token) {
            const auto open = token.find('(');
            if (open != std::string::npos && token.back() == ')') {
                const std::string name = token.substr(0, open);
                const std::string inner = token.substr(open + 1, token.size() - open - 2);
                if (name == "SA") {
                    if (!applyPairs(inner, state, false, error)) return std::nullopt;
                    continue;
                }
                Cell c = state;
                if (name == "SF") {
                    c = Cell{};
                    c.field = true;
                    if (!applyPairs(inner, c, true, error)) return std::nullopt;
                } else if (name == "GE") {
                    if (!parseByte(inner, c.code)) {
                        error = "bad token " + token;
                        return std::nullopt;
                    }
                    c.charset = kGraphicEscapeCharset;
                } else {
                    error = "unknown token " + token;
                    return std::nullopt;
                }
                screen.cells.push_back(c);
            } else {
                Cell c = state;
                if (!parseByte(token, c.code)) {
                    error = "bad token " + token;
                    return std::nullopt;
                }
                screen.cells.push_back(c);
            }
            ++count;
        }
        if (screen.columns == 0) screen.columns = count;
        if (count != screen.columns) {
            error = "rows of different lengths (" + std::to_string(count) + " and " +
                    std::to_string(screen.columns) + ")";
            return std::nullopt;
        }
    }
    return screen;
}

// ---------------------------------------------------------------------------
// Our presentation space in the same form.

// Colour items under which a colour byte tells the host colour: host colour
// item i is foreground i on background 0xF, so its byte is 0xF0 | i; the
// field-class and default items have other backgrounds, so any byte whose
// high nibble is not 0xF means "no colour of its own".
ColorItems hostColorItems() {
    ColorItems items;
    for (int i = 0; i < 32; ++i) {
        items.foreground[i] = static_cast<std::uint8_t>(i & 0x0F);
        items.background[i] = static_cast<std::uint8_t>(i < 16 ? 0x0F : 1 + (i - 16) % 14);
    }
    return items;
}

// Host code rule: a position whose display code is 0 is a null (0x00); the
// host code plane is not cleared by the erases, so it is only read where a
// character stands.
Screen renderOurs(const PresentationSpace& ps) {
    Screen screen;
    screen.rows = ps.rows();
    screen.columns = ps.columns();
    screen.cursor = ps.cursor();
    for (int p = 0; p < ps.positions(); ++p) {
        Cell c;
        const std::uint8_t attribute = ps.attributes()[p];
        c.field = attribute != 0;
        if (c.field)
            c.code = attribute & 0x3F;
        else
            c.code = ps.characters()[p] == 0 ? 0 : ps.hostCodes()[p];
        const std::uint8_t color = ps.colors()[p];
        c.foreground = (color & 0xF0) == 0xF0 ? color : 0;
        c.highlight = ps.highlights()[p] & hl::kCodeMask;
        c.charset = ps.charsets()[p];
        screen.cells.push_back(c);
    }
    return screen;
}

Screen ourScreen(const std::vector<Record>& records, int model) {
    ScreenSessionOptions options;
    options.modelIndex = model - 2;
    options.colors = hostColorItems();
    test::TestSession t({}, options);
    for (const Record& r : records)
        t.apply(r);
    return renderOurs(t.ps());
}

// ---------------------------------------------------------------------------
// s3270's buffer for the same records.

struct PeerResult {
    std::optional<Screen> screen;
    std::string failure;
};

PeerResult peerScreen(const std::vector<Record>& records, int model) {
    PeerResult result;
    test::ReplayHost host({records, true});
    if (!host.start()) {
        result.failure = "replay host: " + host.error();
        return result;
    }
    test::S3270Peer peer({.model = model});
    if (!peer.start()) {
        result.failure = "s3270: " + peer.error();
        return result;
    }
    auto fail = [&](const std::string& what) {
        result.failure =
            what + " [host: " + host.error() + "] [s3270 stderr: " + peer.diagnostics() + "]";
        return result;
    };
    const auto connect = peer.action("Connect(127.0.0.1:" + std::to_string(host.port()) + ")");
    if (!connect.ok) return fail("Connect failed: " + connect.failure + " " + connect.status);
    if (!host.waitForSync(kSyncTimeout)) return fail("no answer to the timing mark");
    const auto buffer = peer.action("ReadBuffer(Ebcdic)");
    if (!buffer.ok) return fail("ReadBuffer(Ebcdic) failed: " + buffer.failure);
    const auto cursor = peer.action("Query(Cursor)");
    if (!cursor.ok || cursor.data.empty()) return fail("Query(Cursor) failed: " + cursor.failure);
    peer.quit();
    host.stop();

    std::string error;
    auto screen = parsePeerBuffer(buffer.data, error);
    if (!screen) return fail("cannot read s3270's buffer: " + error);
    int row = -1, column = -1;
    std::istringstream(cursor.data.front()) >> row >> column;
    if (row < 0 || column < 0) return fail("cannot read the cursor '" + cursor.data.front() + "'");
    screen->cursor = row * screen->columns + column;
    result.screen = std::move(screen);
    return result;
}

// ---------------------------------------------------------------------------
// Differences and the named exceptions to them.

enum class Property {
    Geometry,
    Cursor,
    Kind,
    HostCode,
    FieldAttribute,
    Foreground,
    Highlight,
    Charset,
    Background
};

const char* propertyName(Property a) {
    switch (a) {
        case Property::Geometry:
            return "geometry";
        case Property::Cursor:
            return "cursor";
        case Property::Kind:
            return "field attribute vs character";
        case Property::HostCode:
            return "host code";
        case Property::FieldAttribute:
            return "field attribute";
        case Property::Foreground:
            return "foreground colour";
        case Property::Highlight:
            return "highlight";
        case Property::Charset:
            return "character set";
        case Property::Background:
            return "background colour";
    }
    return "?";
}

struct Difference {
    Property property;
    int position;  // -1 for geometry
    Cell ours;
    Cell theirs;
    int oursValue = 0;  // geometry (rows*1000+columns) and cursor
    int theirsValue = 0;
};

std::vector<Difference> compareScreens(const Screen& ours, const Screen& theirs) {
    std::vector<Difference> out;
    if (ours.rows != theirs.rows || ours.columns != theirs.columns) {
        out.push_back({Property::Geometry,
                       -1,
                       {},
                       {},
                       ours.rows * 1000 + ours.columns,
                       theirs.rows * 1000 + theirs.columns});
        return out;
    }
    for (std::size_t p = 0; p < ours.cells.size(); ++p) {
        const Cell& a = ours.cells[p];
        const Cell& b = theirs.cells[p];
        const int pos = static_cast<int>(p);
        auto add = [&](Property property) { out.push_back({property, pos, a, b}); };
        if (a.field != b.field) {
            add(Property::Kind);
            continue;
        }
        if (a.code != b.code) add(a.field ? Property::FieldAttribute : Property::HostCode);
        if (a.foreground != b.foreground) add(Property::Foreground);
        if (a.highlight != b.highlight) add(Property::Highlight);
        if (a.charset != b.charset) add(Property::Charset);
        if (a.background != b.background) add(Property::Background);
    }
    if (ours.cursor != theirs.cursor)
        out.push_back({Property::Cursor, -1, {}, {}, ours.cursor, theirs.cursor});
    return out;
}

enum class Rule {
    InitialSizeIsDefault,
    IntensifyHighlightMasked,
    BackgroundColorIgnored,
    ColorLowNibble,
    CharacterSetKeptAsSent,
    ReservedAttributeBitKept,
    ReadModifiedAllResetsModifiedTags,
    ControlCodeReadsAsNull,
    EraseAllUnprotectedResetsHighlight,
    EraseUnprotectedToAddressKeepsCharacterSet,
    EraseWriteRetriedAsAlternate,
    // Our order rules, where s3270 follows the 3270 data stream differently.
    UndefinedControlCodeTakesPosition,
    ModifyFieldOnCharacterPosition,
    DefaultColorPairClearsCharacterColor,
};

struct NamedException {
    Rule rule;
    const char* name;
    const char* reason;
    bool (*covers)(const Difference&);
};

// Host codes that our code page table turns into display code 0 (the
// controls below 0x40 and 0xFF).
bool hasNoDisplayCode(std::uint8_t host) {
    static const std::array<bool, 256> table = [] {
        test::TestSession t;
        std::array<bool, 256> a{};
        for (int i = 0; i < 256; ++i)
            a[static_cast<std::size_t>(i)] =
                t.session.codePages.hostToDisplay(static_cast<std::uint8_t>(i)) == 0;
        return a;
    }();
    return table[host];
}

bool bothNulls(const Difference& d) {
    return !d.ours.field && d.ours.code == 0 && d.theirs.code == 0;
}

const NamedException kExceptions[] = {
    {Rule::InitialSizeIsDefault, "default size before the first erase",
     "until the first Erase/Write (Alternate) the screen has the default size, 24x80 "
     "(PresentationSpace::configureSizes); s3270 starts in the alternate size of its model",
     [](const Difference& d) {
         return d.property == Property::Geometry && d.oursValue == 24 * 1000 + 80;
     }},
    {Rule::IntensifyHighlightMasked, "intensify highlight masked",
     "host highlight values are masked with 0x07 (0x0F only with the \"Wang\" setting), so "
     "intensify (0xF8) is stored as 0 where s3270 keeps it",
     [](const Difference& d) {
         return d.property == Property::Highlight && (d.theirs.highlight & 0x08) != 0 &&
                d.ours.highlight == (d.theirs.highlight & 0x07);
     }},
    {Rule::BackgroundColorIgnored, "background colour ignored",
     "the background colour pair (type 0x45) is read and ignored: the presentation space has "
     "no background plane; s3270 keeps it",
     [](const Difference& d) {
         return d.property == Property::Background && d.ours.background == 0;
     }},
    {Rule::ColorLowNibble, "colour value outside 0xF0..0xFF",
     "only the low nibble of a host colour value counts (0x01 is blue like 0xF1); s3270 "
     "takes a value outside 0xF0..0xFF as the default colour",
     [](const Difference& d) {
         return d.property == Property::Foreground && d.theirs.foreground == 0 &&
                (d.ours.foreground & 0xF0) == 0xF0;
     }},
    {Rule::CharacterSetKeptAsSent, "character set value kept as sent",
     "the charsets plane holds the host's character set value; s3270 knows only the base set "
     "and the APL set (0xF1) and takes any other value as the base set",
     [](const Difference& d) {
         return d.property == Property::Charset && d.theirs.charset == 0 &&
                d.ours.charset != kGraphicEscapeCharset;
     }},
    {Rule::ReservedAttributeBitKept, "reserved field attribute bit kept",
     "the field attribute is stored as the host sent it, reserved bit 0x02 included; s3270 "
     "drops that bit",
     [](const Difference& d) {
         return d.property == Property::FieldAttribute && (d.ours.code ^ d.theirs.code) == 0x02 &&
                (d.ours.code & 0x02) != 0;
     }},
    {Rule::ReadModifiedAllResetsModifiedTags, "Read Modified All resets modified tags",
     "Read Modified All resets every modified data tag after its reply (record_processor.cpp, "
     "covered by the unit tests); s3270 leaves them set",
     [](const Difference& d) {
         return d.property == Property::FieldAttribute && (d.theirs.code & 0x01) != 0 &&
                d.ours.code == (d.theirs.code & ~0x01);
     }},
    {Rule::ControlCodeReadsAsNull, "control code reads as a null",
     "a host code whose display code is 0 (controls below 0x40, 0xFF) cannot be told from a "
     "null: an erase clears the display code but not the host code plane, so the comparison "
     "reads the host code only where a display code stands",
     [](const Difference& d) {
         return d.property == Property::HostCode && d.ours.code == 0 &&
                hasNoDisplayCode(d.theirs.code);
     }},
    {Rule::EraseAllUnprotectedResetsHighlight, "Erase All Unprotected resets the highlight",
     "Erase All Unprotected nulls the unprotected positions and resets their highlight and "
     "character set but keeps their colour (PresentationSpace::eraseAllUnprotected); s3270 keeps "
     "the highlight too",
     [](const Difference& d) {
         return d.property == Property::Highlight && bothNulls(d) && d.ours.highlight == 0;
     }},
    {Rule::EraseUnprotectedToAddressKeepsCharacterSet,
     "Erase Unprotected to Address keeps the character set",
     "Erase Unprotected to Address nulls the characters only and keeps their colour, highlight "
     "and character set; s3270 resets the character set of the erased positions",
     [](const Difference& d) {
         return d.property == Property::Charset && bothNulls(d) && d.theirs.charset == 0;
     }},
    {Rule::EraseWriteRetriedAsAlternate, "Erase/Write retried as Erase/Write Alternate",
     "an Erase/Write whose buffer address only fits the alternate size is applied again, once, "
     "as Erase/Write Alternate (RecordProcessor::processRecord); s3270 rejects the address and "
     "keeps the default size",
     [](const Difference& d) {
         return d.property == Property::Geometry && d.theirsValue == 24 * 1000 + 80;
     }},
    {Rule::UndefinedControlCodeTakesPosition, "undefined control code takes a position",
     "every byte that is not an order is a data character and takes a position, control "
     "codes included (0x01, 0x0A, 0x20, ...); s3270 drops the ones that are not NUL, FF, CR, "
     "SO, SI, NL, EM, DUP, FM or SUB, so the data after them lands one position earlier",
     [](const Difference& d) { return d.property == Property::HostCode && !d.ours.field; }},
    {Rule::ModifyFieldOnCharacterPosition, "Modify Field at a character position",
     "Modify Field applies its pairs to the position at the buffer address, blanks it and "
     "moves on, whatever stands there; s3270 ignores the order where no field attribute "
     "stands and leaves the buffer address where it is",
     [](const Difference& d) {
         return !d.ours.field &&
                (d.property == Property::HostCode || d.property == Property::Foreground ||
                 d.property == Property::Highlight);
     }},
    {Rule::DefaultColorPairClearsCharacterColor, "default colour pair in SFE/MF",
     "a foreground pair with value 0x00 resets the current character colour whatever the order "
     "(SA, SFE or MF) and leaves the field's own colour as it was; s3270 gives the field the "
     "default colour and keeps the character colour",
     [](const Difference& d) { return d.property == Property::Foreground; }},
};

const NamedException& exceptionFor(Rule rule) {
    for (const auto& e : kExceptions)
        if (e.rule == rule) return e;
    std::abort();
}

std::string describe(const Difference& d, int columns) {
    std::ostringstream s;
    if (d.property == Property::Geometry) {
        s << "geometry: ours " << d.oursValue / 1000 << "x" << d.oursValue % 1000 << ", s3270 "
          << d.theirsValue / 1000 << "x" << d.theirsValue % 1000;
        return s.str();
    }
    if (d.property == Property::Cursor) {
        s << "cursor: ours " << d.oursValue / columns << "/" << d.oursValue % columns << ", s3270 "
          << d.theirsValue / columns << "/" << d.theirsValue % columns << " (row/column from 0)";
        return s.str();
    }
    s << "row " << d.position / columns << " col " << d.position % columns << " (position "
      << d.position << "), " << propertyName(d.property) << ": ours [" << describe(d.ours)
      << "], s3270 [" << describe(d.theirs) << "]";
    return s.str();
}

// Differences sorted out by the allowed exceptions, over one or more screens.
struct Verdict {
    std::set<Rule> used;
    std::vector<std::string> unexplained;  // the first few, described
    std::size_t unexplainedCount = 0;
};

void judge(const Screen& ours, const Screen& theirs, const std::vector<Rule>& allowed,
           const std::string& where, Verdict& verdict) {
    // CEDAR_DIFF_VERBOSE=1 lists the differences the exceptions cover, too.
    const char* verbose = std::getenv("CEDAR_DIFF_VERBOSE");
    const bool listCovered = verbose != nullptr && *verbose != '\0' && *verbose != '0';
    const int columns = std::max(ours.columns, 1);
    for (const Difference& d : compareScreens(ours, theirs)) {
        bool covered = false;
        for (Rule r : allowed) {
            if (exceptionFor(r).covers(d)) {
                verdict.used.insert(r);
                covered = true;
                if (listCovered)
                    std::cout << "  " << where << "[" << exceptionFor(r).name << "] "
                              << describe(d, columns) << "\n";
                break;
            }
        }
        if (covered) continue;
        if (++verdict.unexplainedCount <= 10)
            verdict.unexplained.push_back(where + describe(d, columns));
    }
}

// Every difference must be covered by one of the allowed exceptions, and
// every allowed exception must cover at least one difference.
::testing::AssertionResult conclude(const Verdict& verdict, const std::vector<Rule>& allowed) {
    std::ostringstream message;
    if (verdict.unexplainedCount > 0) {
        message << verdict.unexplainedCount << " difference(s) from s3270:\n";
        for (const auto& line : verdict.unexplained)
            message << "  " << line << "\n";
        if (verdict.unexplainedCount > verdict.unexplained.size()) message << "  ...\n";
    }
    for (Rule r : allowed)
        if (verdict.used.count(r) == 0)
            message << "named exception \"" << exceptionFor(r).name
                    << "\" did not occur: the case no longer needs it\n";
    if (message.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << message.str();
}

::testing::AssertionResult sameScreens(const Screen& ours, const Screen& theirs,
                                       const std::vector<Rule>& allowed) {
    Verdict verdict;
    judge(ours, theirs, allowed, "", verdict);
    return conclude(verdict, allowed);
}

// The records both sides get: the case's records and a closing Write with WCC
// 0x00 and no orders. s3270 holds back every scripted action until the host's
// first write has come (a stream of structured fields alone would leave it
// waiting); the closing write changes neither buffer.
std::vector<Record> withClosingWrite(std::vector<Record> records) {
    records.push_back({cmd::kWrite, 0x00});
    return records;
}

void compareWithPeer(const std::vector<Record>& caseRecords, int model,
                     const std::vector<Rule>& allowed) {
    const std::vector<Record> records = withClosingWrite(caseRecords);
    const Screen ours = ourScreen(records, model);
    EXPECT_TRUE(compareScreens(ourScreen(caseRecords, model), ours).empty())
        << "the closing write changed our screen";
    const PeerResult peer = peerScreen(records, model);
    ASSERT_TRUE(peer.screen.has_value()) << peer.failure;
    EXPECT_TRUE(sameScreens(ours, *peer.screen, allowed));
}

bool peerMissing() {
    return !test::S3270Peer::available();
}

// ---------------------------------------------------------------------------
// The parser and the comparison themselves, on fixed s3270 output.

TEST(PeerBufferFormat, TokensBecomePositions) {
    const std::vector<std::string> lines = {
        // Input control (fe) is kept by s3270 and shows nothing.
        "SF(c0=e0,42=f2,45=f4) c8 SA(42=f1,41=f4,45=f6,fe=01) c1 GE(ad)",
        "SA(43=f1) c3 SF(c0=c8,41=f2,43=f1) SA(42=00,41=f0,43=00,45=00) 00 00"};
    std::string error;
    const auto screen = parsePeerBuffer(lines, error);
    ASSERT_TRUE(screen.has_value()) << error;
    EXPECT_EQ(screen->rows, 2);
    EXPECT_EQ(screen->columns, 4);
    struct Expected {
        int position;
        bool field;
        std::uint8_t code, foreground, highlight, charset, background;
    };
    const Expected expected[] = {
        {0, true, 0x20, 0xF2, 0, 0, 0xF4},     {1, false, 0xC8, 0, 0, 0, 0},
        {2, false, 0xC1, 0xF1, 4, 0, 0xF6},    {3, false, 0xAD, 0xF1, 4, 0xF1, 0xF6},
        {4, false, 0xC3, 0xF1, 4, 0xF1, 0xF6}, {5, true, 0x08, 0, 2, 0xF1, 0},
        {6, false, 0x00, 0, 0, 0, 0},          {7, false, 0x00, 0, 0, 0, 0},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.position);
        const Cell& c = screen->cells[static_cast<std::size_t>(e.position)];
        EXPECT_EQ(c.field, e.field);
        EXPECT_EQ(c.code, e.code);
        EXPECT_EQ(c.foreground, e.foreground);
        EXPECT_EQ(c.highlight, e.highlight);
        EXPECT_EQ(c.charset, e.charset);
        EXPECT_EQ(c.background, e.background);
    }
}

TEST(PeerBufferFormat, MalformedOutputIsRejected) {
    const std::vector<std::vector<std::string>> bad = {
        {"c1 c2", "c1"},         // rows of different lengths
        {"c1 zz"},               // not a host code
        {"SF(c0=e0,99=01) c1"},  // unknown attribute type
        {"SA(c0=e0) c1"},        // field attribute outside SF()
        {"XY(00) c1"},           // unknown token
    };
    for (const auto& lines : bad) {
        std::string error;
        EXPECT_FALSE(parsePeerBuffer(lines, error).has_value()) << lines.front();
        EXPECT_FALSE(error.empty());
    }
}

TEST(ScreenComparison, ReportsEachPropertyAndHonoursNamedExceptions) {
    Screen a;
    a.rows = 1;
    a.columns = 4;
    a.cursor = 1;
    a.cells = {{true, 0x20, 0, 0, 0}, {false, 0xC1, 0, 0, 0}, {false, 0, 0, 0, 0}, {}};
    Screen b = a;
    EXPECT_TRUE(sameScreens(a, b, {}));
    EXPECT_FALSE(sameScreens(a, b, {Rule::IntensifyHighlightMasked}))
        << "an allowed exception that does not occur is reported";

    b.cells[1].highlight = 0x08;  // s3270 keeps intensify, we mask it to 0
    EXPECT_FALSE(sameScreens(a, b, {}));
    EXPECT_TRUE(sameScreens(a, b, {Rule::IntensifyHighlightMasked}));

    struct Change {
        void (*apply)(Screen&);
        Property property;
    };
    const Change changes[] = {
        {[](Screen& s) { s.cells[0].field = false; }, Property::Kind},
        {[](Screen& s) { s.cells[0].code = 0x28; }, Property::FieldAttribute},
        {[](Screen& s) { s.cells[1].code = 0xC2; }, Property::HostCode},
        {[](Screen& s) { s.cells[2].foreground = 0xF2; }, Property::Foreground},
        {[](Screen& s) { s.cells[3].charset = 0xF1; }, Property::Charset},
        {[](Screen& s) { s.cells[3].background = 0xF4; }, Property::Background},
        {[](Screen& s) { s.cells[1].highlight = 0x02; }, Property::Highlight},
        {[](Screen& s) { s.cursor = 2; }, Property::Cursor},
        {[](Screen& s) { s.rows = 2; }, Property::Geometry},
    };
    for (const auto& change : changes) {
        Screen c = a;
        change.apply(c);
        const auto d = compareScreens(a, c);
        ASSERT_EQ(d.size(), 1u) << propertyName(change.property);
        EXPECT_EQ(d.front().property, change.property);
        EXPECT_FALSE(sameScreens(a, c, {Rule::IntensifyHighlightMasked}));
    }
}

// ---------------------------------------------------------------------------
// The test host and the peer driver themselves.

// A raw TCP client of the replay host; every read is bounded in time.
class RawClient {
  public:
    explicit RawClient(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        connected_ =
            fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() {
        if (fd_ >= 0) close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    void send(const Record& bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Exactly `count` bytes, or what came before the timeout or end of stream.
    Record read(std::size_t count) {
        Record out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            std::uint8_t buffer[4096];
            const ssize_t n = recv(fd_, buffer, std::min(sizeof buffer, count - out.size()), 0);
            if (n <= 0) break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
    // True when the host closed the connection (within the bounded wait).
    bool closedByPeer() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            std::uint8_t b;
            const ssize_t n = recv(fd_, &b, 1, 0);
            if (n <= 0) return true;
        }
        return false;
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
};

Record bytesOf(std::initializer_list<std::uint8_t> bytes) {
    return Record(bytes);
}

TEST(ReplayHost, NegotiatesSendsRecordsSynchronisesAndLogs) {
    test::ReplayHost host({{{0xF5, 0xC3, 0xFF, 0x40}, {0xF1, 0xC2}}, true});
    ASSERT_TRUE(host.start()) << host.error();
    ASSERT_GT(host.port(), 0);
    RawClient client(host.port());
    ASSERT_TRUE(client.connected());

    EXPECT_EQ(client.read(3), bytesOf({0xFF, 0xFD, 0x18})) << "DO TERMINAL-TYPE";
    // An option the host did not ask for is refused on either side; the
    // terminal type is offered.
    const Record offers = {0xFF, 0xFB, 0x1F, 0xFF, 0xFD, 0x18, 0xFF, 0xFB, 0x18};
    client.send(offers);
    EXPECT_EQ(client.read(12),
              bytesOf({0xFF, 0xFE, 0x1F, 0xFF, 0xFC, 0x18, 0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}))
        << "DONT NAWS, WONT TERMINAL-TYPE, SB TERMINAL-TYPE SEND";
    Record is = {0xFF, 0xFA, 0x18, 0x00};
    for (char ch : std::string("IBM-3279-2-E"))
        is.push_back(static_cast<std::uint8_t>(ch));
    is.insert(is.end(), {0xFF, 0xF0});
    client.send(is);
    EXPECT_EQ(client.read(12),
              bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}))
        << "DO/WILL EOR, DO/WILL BINARY";
    // Binary refused: the host carries on all the same.
    const Record modes = {0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19, 0xFF, 0xFC, 0x00, 0xFF, 0xFE, 0x00};
    client.send(modes);
    EXPECT_EQ(client.read(14), bytesOf({0xF5, 0xC3, 0xFF, 0xFF, 0x40, 0xFF, 0xEF, 0xF1, 0xC2, 0xFF,
                                        0xEF, 0xFF, 0xFD, 0x06}))
        << "records with 0xFF doubled and IAC EOR, then DO TIMING-MARK";

    const Record reply = {0x60, 0x40, 0x40, 0xFF, 0xFF, 0xFF, 0xEF, 0xFF, 0xFC, 0x06};
    client.send(reply);
    EXPECT_TRUE(host.waitForSync(std::chrono::seconds(5)));
    EXPECT_EQ(host.terminalType(), "IBM-3279-2-E");
    EXPECT_EQ(host.clientRecords(), std::vector<Record>{bytesOf({0x60, 0x40, 0x40, 0xFF})});
    Record everything = offers;
    for (const Record* r : std::initializer_list<const Record*>{&is, &modes, &reply})
        everything.insert(everything.end(), r->begin(), r->end());
    EXPECT_EQ(host.clientBytes(), everything);
    EXPECT_EQ(host.error(), "");

    // Stopping with a client still connected closes the connection.
    host.stop();
    EXPECT_TRUE(client.closedByPeer());
}

TEST(ReplayHost, ServesTheNextClientAfterOneLeaves) {
    test::ReplayHost host({{{0xF1, 0xC2}}, false});
    ASSERT_TRUE(host.start()) << host.error();
    for (int n = 1; n <= 2; ++n) {
        RawClient client(host.port());
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(client.read(3), bytesOf({0xFF, 0xFD, 0x18})) << "connection " << n;
        client.send({0xFF, 0xFC, 0x18});  // WONT TERMINAL-TYPE: straight on to EOR and BINARY
        EXPECT_EQ(client.read(12).size(), 12u);
        client.send({0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x00});
        EXPECT_EQ(client.read(4), bytesOf({0xF1, 0xC2, 0xFF, 0xEF})) << "no timing mark asked for";
        EXPECT_EQ(host.terminalType(), "");
    }
    // The second client has gone too; connections() counts both.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (host.connections() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(host.connections(), 2);
    EXPECT_FALSE(host.waitForSync(std::chrono::milliseconds(0)));
}

TEST(S3270Peer, AnswersErrorsAndIsReapedOnQuit) {
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    test::S3270Peer peer;
    ASSERT_TRUE(peer.start()) << peer.error();
    const pid_t pid = peer.pid();
    const auto bad = peer.action("NoSuchAction()");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.failure, "") << "an answer came, and it was \"error\"";
    ASSERT_FALSE(bad.data.empty());
    EXPECT_NE(bad.data.front().find("NoSuchAction"), std::string::npos);
    const auto cursor = peer.action("Query(Cursor)");
    EXPECT_TRUE(cursor.ok);
    EXPECT_EQ(cursor.data, std::vector<std::string>{"0 0"});
    EXPECT_FALSE(cursor.status.empty());
    peer.quit();
    EXPECT_FALSE(peer.running());
    EXPECT_EQ(kill(pid, 0), -1) << "the process is gone and reaped";
    EXPECT_FALSE(peer.action("Query(Cursor)").failure.empty());
}

TEST(S3270Peer, KillsAPeerThatDoesNotAnswer) {
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    test::S3270Peer peer({.model = 2,
                          .codePage = "cp037",
                          .actionTimeout = std::chrono::milliseconds(50),
                          .quitTimeout = std::chrono::milliseconds(100)});
    ASSERT_TRUE(peer.start()) << peer.error();
    const pid_t pid = peer.pid();
    const auto answer = peer.action("Wait(60,Seconds)");
    EXPECT_FALSE(answer.ok);
    EXPECT_NE(answer.failure.find("no answer"), std::string::npos) << answer.failure;
    peer.quit();  // Quit() waits behind the Wait(): the peer is killed
    EXPECT_FALSE(peer.running());
    EXPECT_EQ(kill(pid, 0), -1) << "the process is gone and reaped";
}

// ---------------------------------------------------------------------------
// Crafted records: every command and order.

struct CraftedCase {
    std::string name;
    int model;
    std::vector<Record> records;
    std::vector<Rule> exceptions;
};

void PrintTo(const CraftedCase& c, std::ostream* os) {
    *os << c.name;
}

// A formatted screen (model 2, 80 columns) with protected and unprotected
// fields, data in them and character attributes in two input fields:
//   0 protected "TITLE" | 10 unprotected "INPUT1" | 30 protected "LABEL"
//   40 unprotected, modified, blue "MODIFIED" | 60 autoskip | 100 numeric
//   "12345" | 200 non-display "SECRET" | 300 protected intensified "BRIGHT"
RecordBuilder form(std::uint8_t command = cmd::kEraseWrite, std::uint8_t wcc = 0xC3) {
    RecordBuilder b(command, wcc);
    b.sba(0).sf(0x60).text("TITLE");
    b.sba(10).sf(0x40).text("INPUT1");
    b.sba(30).sf(0x60).text("LABEL");
    b.sba(40).sf(0xC1).sa(0x42, 0xF1).sa(0x41, 0xF4).text("MODIFIED").sa(0x00, 0x00);
    b.sba(60).sf(0x70).text("SKIP");
    b.sba(100).sf(0x50).sa(0x43, 0xF1).text("12345").sa(0x00, 0x00);
    b.sba(200).sf(0x4C).text("SECRET");
    b.sba(300).sf(0x68).text("BRIGHT");
    return b;
}

std::vector<CraftedCase> craftedCases() {
    using R = RecordBuilder;
    std::vector<CraftedCase> cases;
    auto add = [&](std::string name, int model, std::vector<RecordBuilder> builders,
                   std::vector<Rule> exceptions = {}) {
        std::vector<Record> records;
        for (const auto& b : builders)
            records.push_back(b.bytes());
        cases.push_back({std::move(name), model, std::move(records), std::move(exceptions)});
    };

    // Write commands, both codings, and the WCC.
    add("WriteOnBlankScreen", 2, {R(cmd::kWrite, 0xC3).text("HELLO").sf(0x60).text("WORLD")});
    add("WriteCcwCoding", 2, {R(cmd::kWriteCcw, 0xC3).sba(85).text("CCW").ic()});
    add("WriteUpdatesFormattedScreen", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(11).text("XY").sba(301).text("DIM")});
    add("WriteStartsAtTheCursor", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(100).ic(), R(cmd::kWrite, 0xC2).text("AT CURSOR")});
    add("DataOverwritesFieldAttribute", 2, {form(), R(cmd::kWrite, 0xC2).sba(10).text("X")});
    add("WriteWccResetsModifiedTags", 2, {form(), R(cmd::kWrite, 0xC3)});
    add("WriteWithoutResetKeepsModifiedTags", 2, {form(), R(cmd::kWrite, 0xC2)});
    add("EraseWriteResetsTagsBeforeOrders", 2,
        {R(cmd::kEraseWrite, 0xC3).sf(0xC1).text("KEPT").sba(80).sf(0x41)});
    add("EraseWriteClearsScreen", 2, {form(), R(cmd::kEraseWrite, 0xC3).sba(500).text("NEW")});
    add("EraseWriteCcwCoding", 2, {form(), R(cmd::kEraseWriteCcw, 0xC3).text("CCW")});
    add("EraseWriteAlternate", 4,
        {R(cmd::kEraseWriteAlternate, 0xC3).sba(40 * 80 + 5).sf(0x40).text("ROW41").ic()});
    add("EraseWriteAlternateCcwCoding", 4,
        {R(cmd::kEraseWriteAlternateCcw, 0xC3).sba(3439).text("Z")});
    add("WriteBeforeAnyErase", 4, {R(cmd::kWrite, 0xC3).text("FIRST")},
        {Rule::InitialSizeIsDefault});
    add("EraseWriteReturnsToDefaultSize", 4,
        {R(cmd::kEraseWriteAlternate, 0xC3).sba(3000).text("ALT"),
         R(cmd::kEraseWrite, 0xC3).sba(1919).text("D")});
    add("EraseAllUnprotected", 2, {form(), R().raw({cmd::kEraseAllUnprotected})},
        {Rule::EraseAllUnprotectedResetsHighlight});
    add("EraseAllUnprotectedCcwCoding", 2, {form(), R().raw({cmd::kEraseAllUnprotectedCcw})},
        {Rule::EraseAllUnprotectedResetsHighlight});
    add("EraseAllUnprotectedUnformatted", 2,
        {R(cmd::kEraseWrite, 0xC3).text("NO FIELDS"), R().raw({cmd::kEraseAllUnprotected})});

    // The read commands leave the screen as it is.
    const std::pair<const char*, std::uint8_t> reads[] = {
        {"ReadBuffer", cmd::kReadBuffer},
        {"ReadBufferCcwCoding", cmd::kReadBufferCcw},
        {"ReadModified", cmd::kReadModified},
        {"ReadModifiedCcwCoding", cmd::kReadModifiedCcw},
        {"ReadModifiedAll", cmd::kReadModifiedAll},
        {"ReadModifiedAllCcwCoding", cmd::kReadModifiedAllCcw},
    };
    for (const auto& [name, command] : reads) {
        const bool all = command == cmd::kReadModifiedAll || command == cmd::kReadModifiedAllCcw;
        add(name, 2, {form(), R().raw({command})},
            all ? std::vector<Rule>{Rule::ReadModifiedAllResetsModifiedTags} : std::vector<Rule>{});
    }

    // Start Field: attribute bits, and a field at the last position.
    {
        R b(cmd::kEraseWrite, 0xC3);
        const std::uint8_t attributes[] = {0x40, 0x60, 0x50, 0x70, 0x44, 0x48, 0x4C,
                                           0x41, 0x00, 0xF1, 0x3F, 0xE8, 0x7D, 0x6C};
        int position = 0;
        for (std::uint8_t a : attributes) {
            b.sba(position).sf(a).text("AB");
            position += 7;
        }
        add("StartFieldAttributeValues", 2, {b}, {Rule::ReservedAttributeBitKept});
    }
    add("StartFieldAtLastPosition", 2, {R(cmd::kEraseWrite, 0xC3).sba(1919).sf(0x60).text("W")});
    add("AdjacentStartFields", 2, {R(cmd::kEraseWrite, 0xC3).sf(0x60).sf(0x40).sf(0x60).text("A")});

    // Start Field Extended with each pair type.
    add("StartFieldExtendedAttributeOnly", 2,
        {R(cmd::kEraseWrite, 0xC3).sfe({0xC0, 0x60}).text("P").sfe({0xC0, 0x40}).text("U")});
    {
        R b(cmd::kEraseWrite, 0xC3);
        for (std::uint8_t v : {0x00, 0xF0, 0xF1, 0xF2, 0xF4})
            b.sfe({0xC0, 0x40, 0x41, v}).text("H");
        add("StartFieldExtendedHighlight", 2, {b});
    }
    add("StartFieldExtendedIntensifyHighlight", 2,
        {R(cmd::kEraseWrite, 0xC3).sfe({0xC0, 0x40, 0x41, 0xF8}).text("I").sfe({0x41, 0xFC})}, {});
    {
        R b(cmd::kEraseWrite, 0xC3);
        for (int v = 0xF0; v <= 0xFF; ++v)
            b.sfe({0xC0, 0x60, 0x42, static_cast<std::uint8_t>(v)}).text("C");
        b.sfe({0xC0, 0x60, 0x42, 0x00}).text("D");
        add("StartFieldExtendedForeground", 2, {b});
    }
    add("StartFieldExtendedCharacterSet", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sfe({0xC0, 0x60, 0x43, 0xF1})
             .text("APL")
             .sfe({0xC0, 0x60, 0x43, 0x00})});
    add("StartFieldExtendedIgnoredTypes", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sfe({0x45, 0xF2, 0xC0, 0x60, 0x46, 0xF0, 0xC1, 0x04, 0xC2, 0x01, 0x42, 0xF5})
             .text("BG")},
        {Rule::BackgroundColorIgnored});
    // Pairs of a type neither side knows (input control 0xFE, 0x44, 0x99):
    // skipped, the known pairs around them applied.
    add("StartFieldExtendedUnknownPairTypes", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sfe({0xFE, 0x01, 0xC0, 0x60, 0x42, 0xF2})
             .text("A")
             .sfe({0xC0, 0x40, 0x44, 0xC1, 0x41, 0xF2})
             .text("B")
             .sfe({0x99, 0x01})
             .text("C")
             .ic()});
    add("ModifyFieldUnknownPairType", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(10).mf({0xFE, 0x01, 0xC0, 0x68, 0x42, 0xF6}).text("Q")});
    add("SetAttributeUnknownType", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0xFE, 0x01).text("A").sa(0x42, 0xF2).text("B").ic()});
    add("StartFieldExtendedWithoutAttributeType", 2,
        {R(cmd::kEraseWrite, 0xC3).sfe({0x42, 0xF2}).text("X").sfe({}).text("Y")});

    // Set Buffer Address in both forms.
    add("SetBufferAddressTwelveBit", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(79).text("A").sba(1000).text("B").sba(0).text("C")});
    add("SetBufferAddressFourteenBit", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sba14(79)
             .text("A")
             .sba14(1000)
             .text("B")
             .sba14(1919)
             .text("C")});
    add("SetBufferAddressFourteenBitOnLargeScreen", 5,
        {R(cmd::kEraseWriteAlternate, 0xC3).sba14(3563).text("E").sba14(2000).text("M")});
    add("DataWrapsPastTheLastPosition", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(1915).text("WRAPAROUND")});
    add("SetBufferAddressOutsideScreenEndsRecord", 2,
        {R(cmd::kEraseWrite, 0xC3).text("KEPT"),
         R(cmd::kWrite, 0xC2).sba(80).text("IN").sba(3000).text("LOST")});
    add("EraseWriteAddressBeyondDefaultSize", 4,
        {R(cmd::kEraseWrite, 0xC3).text("A").sba(2500).text("B")},
        {Rule::EraseWriteRetriedAsAlternate});

    // Set Attribute.
    add("SetAttributeCharacterAttributes", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sa(0x42, 0xF2)
             .text("RED")
             .sa(0x41, 0xF2)
             .text("REV")
             .sa(0x42, 0xF0)
             .sa(0x41, 0xF1)
             .text("BLINK")
             .sa(0x43, 0xF1)
             .text("APL")
             .sa(0x00, 0x00)
             .text("PLAIN")
             .sa(0x42, 0xF7)
             .sa(0x41, 0xF4)
             .text("WHITE")
             .sa(0x42, 0x00)
             .sa(0x41, 0x00)
             .sa(0x43, 0x00)
             .text("DEFAULT")});
    add("SetAttributePersistsAcrossStartField", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sa(0x42, 0xF4)
             .text("A")
             .sf(0x60)
             .text("B")
             .sfe({0xC0, 0x40})
             .text("C")});
    add("SetAttributeEndsWithTheWrite", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0x42, 0xF4).text("A"), R(cmd::kWrite, 0xC2).text("B")});
    add("SetAttributeBackground", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0x45, 0xF3).text("BG").sa(0x45, 0x00).text("NO")});

    // Modify Field.
    add("ModifyFieldAttributeAndColours", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(10).mf({0xC0, 0x68, 0x42, 0xF6, 0x41, 0xF2}).text("Q")});
    add("ModifyFieldKeepsAttributeWithoutC0", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(30).mf({0x42, 0xF3}).sba(200).mf({0x41, 0xF1})});
    add("ModifyFieldResetsModifiedTag", 2, {form(), R(cmd::kWrite, 0xC2).sba(40).mf({0xC0, 0x40})});

    // Insert Cursor.
    add("InsertCursorLastOneWins", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(5).ic().sba(300).text("AB").ic().text("C")});
    add("InsertCursorOnFormattedScreen", 2, {form(), R(cmd::kWrite, 0xC2).sba(101).ic()});

    // Program Tab in its three situations, and with no input field after it.
    add("ProgramTabAtUnprotectedAttribute", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(10).pt().text("T")});
    add("ProgramTabAfterDataNullsTheField", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(11).text("AB").pt().text("N")});
    add("ProgramTabAfterAnOrder", 2, {form(), R(cmd::kWrite, 0xC2).sba(2).pt().text("O")});
    add("ProgramTabNoInputFieldAfter", 2, {form(), R(cmd::kWrite, 0xC2).sba(305).pt().text("Z")});
    add("ProgramTabUnformattedAfterData", 2,
        {R(cmd::kEraseWrite, 0xC3).text("ABCDEFGH"),
         R(cmd::kWrite, 0xC2).sba(2).text("X").pt().text("Y")});

    // Repeat to Address.
    add("RepeatToAddress", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(80).ra(160, 0x5C).text("END")});  // '*'
    add("RepeatToAddressWraps", 2, {R(cmd::kEraseWrite, 0xC3).sba(1900).ra(20, 0xC1)});
    add("RepeatToAddressWholeBuffer", 2,
        {R(cmd::kEraseWrite, 0xC3).sba(100).ra(100, 0xE9).text("S")});
    add("RepeatToAddressGraphicEscape", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sba(10)
             .raw({order::kRepeatToAddress})
             .raw(test::address(20))
             .ge(0xAD)
             .text("T")});
    add("RepeatToAddressWithCharacterAttributes", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0x42, 0xF6).sa(0x41, 0xF4).ra(40, 0x60)});
    add("RepeatToAddressOverFields", 2, {form(), R(cmd::kWrite, 0xC2).sba(5).ra(45, 0x4B)});

    // Erase Unprotected to Address.
    add("EraseUnprotectedToAddress", 2, {form(), R(cmd::kWrite, 0xC2).sba(5).eua(250)},
        {Rule::EraseUnprotectedToAddressKeepsCharacterSet});
    add("EraseUnprotectedToAddressWholeBuffer", 2, {form(), R(cmd::kWrite, 0xC2).sba(12).eua(12)},
        {Rule::EraseUnprotectedToAddressKeepsCharacterSet});
    add("EraseUnprotectedToAddressUnformatted", 2,
        {R(cmd::kEraseWrite, 0xC3).text("ABCDEFGHIJ"), R(cmd::kWrite, 0xC2).sba(3).eua(7)});
    add("EraseUnprotectedToAddressWraps", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sba(20)
             .sf(0x60)
             .text("PROT")
             .sba(1890)
             .sf(0x40)
             .text("INPUT THAT RUNS OVER THE END OF THE SCREEN"),
         R(cmd::kWrite, 0xC2).sba(1895).eua(10)});

    // Graphic Escape.
    add("GraphicEscape", 2,
        {R(cmd::kEraseWrite, 0xC3).text("A").ge(0xAD).ge(0xC6).text("B").ge(0x40)});
    add("GraphicEscapeWithCharacterAttributes", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0x42, 0xF2).sa(0x41, 0xF1).ge(0xBD).text("X")});

    // Data bytes that are no graphic characters; 0xFF travels doubled (RFC 854)
    // and must arrive as one byte.
    add("DataControlCodesAndFF", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .text("A")
             .raw({0xFF, 0xFF})
             .text("B")
             .raw({0x00, 0x0C, 0x0D, 0x0E, 0x0F, 0x15, 0x19, 0x1C, 0x1E, 0x3F})
             .text("C")},
        {Rule::ControlCodeReadsAsNull});
    add("DataUndefinedControlCodes", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .text("A")
             .raw({0x01})
             .text("B")
             .raw({0x0A, 0x20, 0x35})
             .text("C")},
        {Rule::UndefinedControlCodeTakesPosition});

    // Attribute values outside the common ones.
    add("SetAttributeIntensifyHighlight", 2,
        {R(cmd::kEraseWrite, 0xC3).sa(0x41, 0xF8).text("I").sa(0x41, 0xFC).text("J")},
        {Rule::IntensifyHighlightMasked});
    add("SetAttributeColourOutsideHostRange", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sa(0x42, 0x01)
             .text("B")
             .sfe({0xC0, 0x60, 0x42, 0x02})
             .text("R")},
        {Rule::ColorLowNibble});
    add("SetAttributeOtherCharacterSets", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sa(0x43, 0xF0)
             .text("F0")
             .sa(0x43, 0xF2)
             .text("F2")
             .sa(0x43, 0x41)
             .text("LOADABLE")},
        {Rule::CharacterSetKeptAsSent});

    // Probes of single behaviours.
    add("ModifyFieldOnCharacterPosition", 2,
        {form(), R(cmd::kWrite, 0xC2).sba(3).mf({0x41, 0xF2, 0x42, 0xF4}).text("Q")},
        {Rule::ModifyFieldOnCharacterPosition});
    add("ModifyFieldDefaultColour", 2,
        {R(cmd::kEraseWrite, 0xC3).sfe({0xC0, 0x40, 0x42, 0xF2, 0x41, 0xF4}).text("FIELD"),
         R(cmd::kWrite, 0xC2).mf({0x42, 0x00, 0x41, 0x00})},
        {Rule::DefaultColorPairClearsCharacterColor});
    add("StartFieldExtendedDefaultColourKeepsCharacterColour", 2,
        {R(cmd::kEraseWrite, 0xC3)
             .sa(0x42, 0xF2)
             .text("A")
             .sfe({0xC0, 0x60, 0x42, 0x00})
             .text("B")},
        {Rule::DefaultColorPairClearsCharacterColor});

    return cases;
}

class Crafted : public ::testing::TestWithParam<CraftedCase> {};

TEST_P(Crafted, SameBufferAsS3270) {
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    const CraftedCase& c = GetParam();
    compareWithPeer(c.records, c.model, c.exceptions);
}

INSTANTIATE_TEST_SUITE_P(Records, Crafted, ::testing::ValuesIn(craftedCases()),
                         [](const ::testing::TestParamInfo<CraftedCase>& param) {
                             return param.param.name;
                         });

// ---------------------------------------------------------------------------
// Recordings of real host sessions: the screen after each host record (the
// records up to it, then the closing write), so that every intermediate
// screen is compared, the last one being the screen after all host records.
// Only 3270-DATA records are replayed, without their TN3270E header; BIND,
// UNBIND and the like change no screen.

struct RecordingCase {
    std::string file;
    std::vector<Rule> exceptions;
    const char* note;  // why comparing every screen of it makes sense
};

void PrintTo(const RecordingCase& c, std::ostream* os) {
    *os << c.file;
}

const std::vector<RecordingCase>& recordingCases() {
    static const std::vector<RecordingCase> cases = {
        {"all_chars.trc", {Rule::ControlCodeReadsAsNull}, "every code point; 0xFF among them"},
        {"fttext", {}, "despite its name, a trace of the ibmlink session (TN3270E)"},
        {"ft_cut.trc",
         {},
         "CUT-mode upload: its frames are ordinary writes for both sides (no transfer runs "
         "here, and none of them is the end frame our core takes out of the stream); the "
         "Read Partition Query is answered by s3270 and ignored by the host"},
        {"ft_dft.trc",
         {},
         "DFT-mode upload: the D0 structured fields and the host's Read Modified in "
         "mid-transfer change neither screen"},
        {"hercules-3.13-logo.trc", {}, "plain TN3270, one Erase/Write"},
        {"ibmlink.trc", {}, "TN3270E; BIND and UNBIND are left out"},
        {"ibmlink_help.trc", {}, "three Erase/Write and two Write with EUA"},
        {"invalid_sba.trc",
         {Rule::InitialSizeIsDefault},
         "an Erase/Write Alternate with an address outside the screen: both sides drop the "
         "rest of that record; before it only a Read Partition Query came"},
        {"login.trc", {}, "one Erase/Write Alternate with 113 SFE orders"},
        {"sruvm.trc",
         {Rule::InitialSizeIsDefault},
         "first a Write Structured Field (CCW coding) with a query, then writes on the "
         "alternate size"},
        {"vampstream.txt", {}, "one hex record without negotiation"},
    };
    return cases;
}

struct Replay {
    std::vector<Record> records;  // 3270-DATA only, no TN3270E header
    int model = 2;
};

Replay loadRecording(const std::string& path) {
    const auto blocks = recording::parseRecording(test::readFile(path));
    Replay replay;
    replay.model = recording::announcedModel(blocks).value_or(2);
    for (auto& r : recording::hostRecords(blocks))
        if (r.origin.dataType == 0 && !r.origin.sscpLu) replay.records.push_back(r.data);
    return replay;
}

std::string testName(const std::string& file) {
    std::string name;
    for (char ch : file)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

bool blank(const Screen& screen) {
    return std::all_of(screen.cells.begin(), screen.cells.end(),
                       [](const Cell& c) { return !c.field && c.code == 0; });
}

class RecordingReplay : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingReplay, SameBufferAsS3270AfterEveryRecord) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    const RecordingCase& c = GetParam();
    const Replay replay = loadRecording(*dir + "/" + c.file);
    ASSERT_FALSE(replay.records.empty()) << c.file << " has no host records";
    Verdict verdict;
    Screen last;
    for (std::size_t k = 1; k <= replay.records.size(); ++k) {
        const auto records = withClosingWrite(
            {replay.records.begin(), replay.records.begin() + static_cast<std::ptrdiff_t>(k)});
        const PeerResult peer = peerScreen(records, replay.model);
        ASSERT_TRUE(peer.screen.has_value()) << "after record " << k << ": " << peer.failure;
        judge(ourScreen(records, replay.model), *peer.screen, c.exceptions,
              "after record " + std::to_string(k) + " of " + std::to_string(replay.records.size()) +
                  ": ",
              verdict);
        last = *peer.screen;
    }
    EXPECT_TRUE(conclude(verdict, c.exceptions)) << c.note;
    EXPECT_FALSE(blank(last)) << "the final screen is blank: nothing was compared";
}

INSTANTIATE_TEST_SUITE_P(Recordings, RecordingReplay, ::testing::ValuesIn(recordingCases()),
                         [](const ::testing::TestParamInfo<RecordingCase>& param) {
                             return testName(param.param.file);
                         });

// Every recording in the folder that carries host records has a case above.
TEST(RecordingReplayTable, CoversEveryRecording) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    std::set<std::string> listed;
    for (const auto& c : recordingCases())
        listed.insert(c.file);
    for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const auto blocks = recording::parseRecording(test::readFile(entry.path().string()));
        if (recording::hostRecords(blocks).empty()) continue;
        EXPECT_EQ(listed.count(name), 1u) << name << " has host records but no case";
    }
}

}  // namespace
}  // namespace cedar
