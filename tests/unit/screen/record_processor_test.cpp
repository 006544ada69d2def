#include "screen/record_processor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "record_builder.h"

namespace cedar {
namespace {

using test::ebcdic;
using test::RecordBuilder;
using test::RecordingHooks;
using test::TestSession;

// A session with recording hooks attached.
struct Fixture {
    explicit Fixture(ScreenSettings settings = {}, ScreenSessionOptions options = {})
        : t(settings, options) {
        t.session.records.setHooks(hooks.hooks());
    }
    TestSession t;
    RecordingHooks hooks;
    PresentationSpace& ps() { return t.ps(); }
    RecordProcessor& rp() { return t.session.records; }
    SessionStatus& status() { return t.session.status; }
    // Applies a record from a heap buffer of exactly its size, so that any read
    // past its end is caught by AddressSanitizer.
    void apply(const std::vector<std::uint8_t>& bytes, const RecordOrigin& origin = {}) {
        auto copy = std::make_unique<std::uint8_t[]>(bytes.size() + 1);
        std::copy(bytes.begin(), bytes.end(), copy.get());
        t.apply(Bytes(copy.get(), bytes.size()), origin);
    }
    void apply(const RecordBuilder& b, const RecordOrigin& origin = {}) {
        apply(b.bytes(), origin);
    }
};

TEST(WriteCommands, WccResetRestoreAndResetMdt) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(80).sf(0x41).text("MDT"));
    f.ps().replyMode = ReplyMode::Character;
    f.rp().aid().current = 0x7D;
    f.status() = SessionStatus::SysLock;

    f.apply(RecordBuilder(cmd::kWrite, 0x00));
    EXPECT_EQ(f.status(), SessionStatus::SysLock) << "no restore bit: keyboard stays locked";
    EXPECT_EQ(f.ps().attributes()[80] & fa::kModified, fa::kModified);

    f.apply(RecordBuilder(cmd::kWrite, 0xC3));
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    EXPECT_EQ(f.ps().attributes()[80] & fa::kModified, 0);
    EXPECT_EQ(f.ps().replyMode, ReplyMode::Field);
    EXPECT_EQ(f.rp().aid().current, kNoAid);
    EXPECT_EQ(f.hooks.count("keyboardRestored"), 1);
    EXPECT_EQ(f.t.row(1), " MDT");
}

TEST(WriteCommands, WccResetMdtAppliesWhileATransferRuns) {
    for (auto status : {SessionStatus::TransferReady, SessionStatus::TransferData,
                        SessionStatus::TransferMessage}) {
        Fixture f;
        // The operator's IND$FILE command, typed into an input field.
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(80).sf(0x41).text("IND$FILE"));
        f.ps().replyMode = ReplyMode::Character;
        f.status() = status;
        f.apply(RecordBuilder(cmd::kWrite, 0xC3));
        EXPECT_EQ(f.ps().attributes()[80] & fa::kModified, 0) << int(status);
        EXPECT_EQ(f.ps().replyMode, ReplyMode::Field);
        EXPECT_EQ(f.status(), status) << "the end of write stays suspended";
        EXPECT_EQ(f.hooks.count("keyboardRestored"), 0);
    }
}

TEST(WriteCommands, BothCodingsOfEveryWriteCommand) {
    for (auto [command, erases] : {std::pair{cmd::kWrite, false},
                                   {cmd::kWriteCcw, false},
                                   {cmd::kEraseWrite, true},
                                   {cmd::kEraseWriteCcw, true},
                                   {cmd::kEraseWriteAlternate, true},
                                   {cmd::kEraseWriteAlternateCcw, true}}) {
        Fixture f;
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(500).text("OLD"));
        f.apply(RecordBuilder(command, 0x00).sba(0).text("NEW"));
        EXPECT_EQ(f.t.row(0), "NEW") << int(command);
        EXPECT_EQ(f.t.row(6).empty(), erases) << int(command);
    }
}

TEST(WriteCommands, AlarmAndHostPrintFollowTheWcc) {
    Fixture f;
    f.hooks.printingEnabled = true;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x04 | 0x08));
    EXPECT_EQ(f.hooks.count("alarm"), 1);
    EXPECT_EQ(f.hooks.count("printScreen"), 0) << "an empty screen is not printed";
    f.apply(RecordBuilder(cmd::kWrite, 0x08).text("PRINT ME"));
    EXPECT_EQ(f.hooks.count("printScreen"), 1);
}

TEST(WriteCommands, EraseWriteBeyondDefaultSizeIsReappliedAsAlternate) {
    ScreenSessionOptions model4;
    model4.modelIndex = 2;  // 43 x 80
    Fixture f({}, model4);
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(40 * 80).text("ROW 41").ic());
    EXPECT_EQ(f.ps().rows(), 43);
    EXPECT_EQ(f.t.row(40), "ROW 41");
    EXPECT_EQ(f.ps().cursor(), 40 * 80 + 6);
    EXPECT_TRUE(f.hooks.warnings.empty());
    EXPECT_EQ(f.hooks.count("keyboardRestored"), 1) << "the aborted pass ends nothing";

    // Beyond the alternate size too: reported once, never re-run again.
    f.hooks.warnings.clear();
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba14(4000).text("X"));
    ASSERT_EQ(f.hooks.warnings.size(), 1u);
    EXPECT_EQ(f.hooks.warnings[0],
              "Invalid buffer address: Invalid buffer address received, code = 11 0F A0.\n"
              "Attempt to address location 4000 on the screen,\nbut there are only 3440 "
              "positions on the current screen.");
}

TEST(WriteCommands, InvalidAddressOnWriteEndsTheRecord) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kWrite, 0x02).text("A").sba14(5000).text("B"));
    EXPECT_EQ(f.t.row(0), "A");
    EXPECT_EQ(f.hooks.warnings.size(), 1u);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked) << "end of write still runs";
}

TEST(WriteCommands, IgnoreInvalidSbaDefersToTheWriteGuard) {
    for (bool silent : {false, true}) {
        ScreenSettings s;
        s.ignoreInvalidSba = true;
        s.ignoreInvalidWrite = silent;
        Fixture f(s);
        f.apply(RecordBuilder(cmd::kWrite, 0x02).sba14(2000).ic().text("B").sba(0).text("C"));
        EXPECT_EQ(f.t.row(0), "") << "the record stopped at the guard";
        EXPECT_EQ(f.ps().cursor(), 0) << "the cursor never leaves the screen";
        if (silent) {
            EXPECT_TRUE(f.hooks.warnings.empty());
        } else {
            ASSERT_EQ(f.hooks.warnings.size(), 1u);
            EXPECT_EQ(f.hooks.warnings[0],
                      "Attempting to write to invalid buffer address: Attempting to write to "
                      "buffer address 2000, row=25 col=0\nbut there are only 1920 positions on "
                      "the current screen.");
        }
    }
}

TEST(WriteCommands, CommandChainingSetsTheReadBufferStart) {
    ScreenSettings s;
    s.cmdChaining = true;
    Fixture f(s);
    f.apply(RecordBuilder(cmd::kWrite, 0x40).sba(345));
    EXPECT_EQ(f.rp().readBufferStart, 345);
}

TEST(ReadCommands, AnswerWithoutUnlockingTheKeyboard) {
    struct Case {
        std::uint8_t command;
        std::uint8_t aid;
        const char* expected;
    } cases[] = {
        {cmd::kReadBuffer, 0x7D, "readBuffer"},
        {cmd::kReadBufferCcw, 0x7D, "readBuffer"},
        {cmd::kReadModified, 0x7D, "readModified:7D"},
        {cmd::kReadModifiedCcw, 0xF1, "readModified:F1"},
        {cmd::kReadModified, 0x6C, "shortRead:6C"},  // PA1
        {cmd::kReadModified, 0x6D, "shortRead:6D"},  // Clear
        {cmd::kReadModified, 0x7E, "shortRead:7E"},
        {cmd::kReadModifiedAll, 0x7D, "readModifiedAll:7D"},
        {cmd::kReadModifiedAllCcw, 0x6C, "readModifiedAll:6C"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sf(0x41));
        f.rp().aid().current = c.aid;
        f.status() = SessionStatus::SysLock;
        f.hooks.calls.clear();
        f.apply(RecordBuilder().raw({c.command}));
        EXPECT_EQ(f.hooks.calls, std::vector<std::string>{c.expected}) << int(c.command);
        EXPECT_EQ(f.status(), SessionStatus::SysLock) << int(c.command);
        const bool rma =
            c.command == cmd::kReadModifiedAll || c.command == cmd::kReadModifiedAllCcw;
        EXPECT_EQ(f.ps().attributes()[0] & fa::kModified, rma ? 0 : 1) << int(c.command);
    }
}

TEST(ReadCommands, WangAttentionCommand) {
    for (bool wang : {false, true}) {
        ScreenSettings s;
        s.wang = wang;
        Fixture f(s);
        f.rp().aid().current = 0x7D;
        f.apply(RecordBuilder().raw({0xA0}));
        EXPECT_EQ(f.hooks.calls,
                  wang ? std::vector<std::string>{"aidAndCursor:7D"} : std::vector<std::string>{})
            << wang;
        EXPECT_EQ(f.ps().hostCodes()[0], wang ? 0x00 : 0xA0) << "without Wang it is data";
    }
}

TEST(EraseAllUnprotected, ErasesInputRestoresOnceAndTabsToFirstField) {
    for (std::uint8_t command : {cmd::kEraseAllUnprotected, cmd::kEraseAllUnprotectedCcw}) {
        Fixture f;
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                    .sf(0x60)
                    .text("LABEL")
                    .sf(0x41)
                    .text("INPUT")
                    .sba(160)
                    .sf(0x40)
                    .text("MORE"));
        f.rp().aid().current = 0x7D;
        f.status() = SessionStatus::SysLock;
        f.apply(RecordBuilder().raw({command}));
        EXPECT_EQ(f.t.row(0), " LABEL");
        EXPECT_EQ(f.t.row(2), "");
        EXPECT_EQ(f.ps().attributes()[6] & fa::kModified, 0);
        EXPECT_EQ(f.ps().cursor(), 7);
        EXPECT_EQ(f.rp().aid().current, kNoAid);
        EXPECT_EQ(f.status(), SessionStatus::Unlocked);
        EXPECT_EQ(f.hooks.count("keyboardRestored"), 1);
        EXPECT_EQ(f.hooks.count("replayTypeAhead"), 1) << "type-ahead replays once";
    }
}

TEST(Orders, StartFieldAndExtendedAttributes) {
    Fixture f;
    const auto& items = f.t.session.options.colors;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                .sf(0xF0)                                   // 0: protected, numeric
                .sfe({0xC0, 0xC8, 0x41, 0xF2, 0x42, 0xF2})  // 1: intensified, reverse, red
                .sfe({0x42, 0xF4, 0x41, 0xF4})              // 2: colour, then highlight
                .sfe({0x45, 0xF1, 0xC2, 0x01, 0xC1, 0x04, 0x46, 0x00, 0x43, 0xF1}));
    auto& ps = f.ps();
    EXPECT_EQ(ps.attributes()[0], 0xF0);
    EXPECT_EQ(ps.colors()[0], ps.baseColorOf(0xF0));
    EXPECT_EQ(ps.attributes()[1], 0xC8);
    EXPECT_EQ(ps.highlights()[1], 0x02 | hl::kExplicitColor);
    EXPECT_EQ(ps.colors()[1], items.colorByte(2));
    EXPECT_EQ(ps.highlights()[2], 0x04 | hl::kExplicitColor)
        << "a highlight pair after a colour pair keeps the colour's mark";
    EXPECT_EQ(ps.attributes()[3], 0x80) << "no field attribute pair: attribute 0";
    EXPECT_EQ(ps.charsets()[3], 0xF1);
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(ps.characters()[p], 0x20);
    EXPECT_EQ(f.rp().bufferAddress(), 4);
}

// Each write starts at the cursor; an erasing write at the top of the screen,
// wherever the cursor was before.
TEST(Orders, WritesStartAtTheCursorAndErasingWritesAtTheTop) {
    struct Case {
        const char* name;
        std::uint8_t command;
        int textAt;
    } cases[] = {
        {"Write", 0xF1, 500},
        {"Erase/Write", 0xF5, 0},
        {"Erase/Write Alternate", 0x7E, 0},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.apply(RecordBuilder(0xF5, 0xC3).sba(500).ic());
        f.apply(RecordBuilder(c.command, 0xC3).text("AB"));
        EXPECT_EQ(f.ps().characters()[c.textAt], 'A') << c.name;
        EXPECT_EQ(f.rp().bufferAddress(), c.textAt + 2) << c.name;
    }
}

// Hosts send attribute pairs of types this terminal does not know (input
// control 0xFE to newer terminals, ...). Every pair is two bytes and the
// count of SFE and MF (SA has one pair) says where the order ends: an unknown
// pair is skipped wherever it stands, the known ones still apply, and what
// follows lands where it belongs.
TEST(Orders, UnknownPairTypesAreSkipped) {
    struct Case {
        const char* name;
        std::vector<RecordBuilder> records;
        std::string row0;
        int field;               // a position that holds a field attribute, or -1
        std::uint8_t attribute;  // its attribute, marker included
        int red;                 // a position coloured red by a known pair, or -1
        int cursor;
    };
    using R = RecordBuilder;
    const Case cases[] = {
        {"SFE, unknown pair first",
         {R(cmd::kEraseWrite, 0x00).sfe({0xFE, 0x01, 0xC0, 0x60, 0x42, 0xF2}).text("AB").ic()},
         " AB",
         0,
         0xE0,
         0,
         3},
        {"SFE, unknown pair between and after known ones",
         {R(cmd::kEraseWrite, 0x00)
              .sfe({0xC0, 0x60, 0x44, 0xC1, 0x42, 0xF2, 0xFE, 0x40})
              .text("AB")
              .ic()},
         " AB",
         0,
         0xE0,
         0,
         3},
        {"SFE, unknown pairs only",
         {R(cmd::kEraseWrite, 0x00).sba(5).sfe({0xFE, 0x01, 0x99, 0xC1}).text("AB").ic()},
         "      AB",
         5,
         0x80,
         -1,
         8},
        {"MF, unknown pair first",
         {R(cmd::kEraseWrite, 0x00).sf(0x40).text("XY"),
          R(cmd::kWrite, 0x00).mf({0xFE, 0x01, 0xC0, 0x60, 0x42, 0xF2}).text("AB").ic()},
         " AB",
         0,
         0xE0,
         0,
         3},
        {"SA, unknown type, then a known one",
         {R(cmd::kEraseWrite, 0x00).sa(0xFE, 0x01).text("A").sa(0x42, 0xF2).text("B").ic()},
         "AB",
         -1,
         0,
         1,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        for (const auto& r : c.records)
            f.apply(r);
        auto& ps = f.ps();
        EXPECT_EQ(f.t.row(0), c.row0);
        EXPECT_EQ(f.t.row(1), "") << "nothing of the order spills over as data";
        if (c.field >= 0) {
            EXPECT_EQ(ps.attributes()[c.field], c.attribute);
        }
        const int attributes = static_cast<int>(std::count_if(
            ps.attributes().begin(), ps.attributes().begin() + 80, [](auto a) { return a != 0; }));
        EXPECT_EQ(attributes, c.field >= 0 ? 1 : 0);
        const auto red = f.t.session.options.colors.colorByte(2);
        for (int p = 0; p < 10; ++p)
            EXPECT_EQ(ps.colors()[p] == red, p == c.red) << "position " << p;
        EXPECT_EQ(ps.cursor(), c.cursor);
    }
}

TEST(Orders, SetAttributeAppliesToFollowingCharacters) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                .sa(0x42, 0xF2)
                .sa(0x41, 0xF4)
                .text("AB")
                .sa(0x00, 0x00)
                .text("C")
                .sa(0x43, 0xF1)
                .raw({0xAD}));
    auto& ps = f.ps();
    const auto red = f.t.session.options.colors.colorByte(2);
    EXPECT_EQ(ps.colors()[0], red);
    EXPECT_EQ(ps.highlights()[1], 0x04);
    EXPECT_EQ(ps.colors()[2], 0);
    EXPECT_EQ(ps.characters()[3], 0xAD) << "character set F1 is shown untranslated";
    EXPECT_EQ(ps.charsets()[3], 0xF1);
}

TEST(Orders, ModifyFieldWithAndWithoutRecolouring) {
    for (bool recolour : {false, true}) {
        ScreenSettings s;
        s.colorModifyField = recolour;
        Fixture f(s);
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sfe({0xC0, 0x60, 0x42, 0xF2}).text("X"));
        f.apply(RecordBuilder(cmd::kWrite, 0x00).sba(0).mf({0xC0, 0xE8, 0x41, 0xF1}));
        auto& ps = f.ps();
        EXPECT_EQ(ps.attributes()[0], 0xE8);
        EXPECT_EQ(f.rp().bufferAddress(), 1);
        if (recolour) {
            EXPECT_EQ(ps.colors()[0], ps.baseColorOf(0xE8));
            EXPECT_EQ(ps.highlights()[0] & hl::kExplicitColor, 0);
        } else {
            EXPECT_EQ(ps.colors()[0], f.t.session.options.colors.colorByte(2));
        }
    }
}

TEST(Orders, ProgramTab) {
    struct Case {
        const char* name;
        RecordBuilder record;
        int bufferAddress;  // after the PT (read from where the following 'Z' lands)
        const char* row0;
    } cases[] = {
        // Fields: protected at 0, unprotected at 10 and 30.
        {"after the WCC nothing is nulled", RecordBuilder(cmd::kWrite, 0x00).sba(2).pt().text("Z"),
         11, " ABCDEFGH Z"},
        {"after data the rest of the field is nulled",
         RecordBuilder(cmd::kWrite, 0x00).sba(12).text("Q").pt().text("Z"), 31, " ABCDEFGH  iQ"},
        {"on an unprotected attribute", RecordBuilder(cmd::kWrite, 0x00).sba(10).pt().text("Z"), 11,
         " ABCDEFGH Z"},
        {"on a protected attribute", RecordBuilder(cmd::kWrite, 0x00).sba(0).pt().text("Z"), 11,
         " ABCDEFGH Z"},
    };
    for (auto& c : cases) {
        Fixture f;
        f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                    .sf(0x60)
                    .text("ABCDEFGH")
                    .sba(10)
                    .sf(0x40)
                    .text("input")
                    .sba(30)
                    .sf(0x40));
        f.apply(c.record);
        EXPECT_EQ(f.ps().hostCodes()[c.bufferAddress], ebcdic("Z")[0]) << c.name;
        if (std::string(c.name).starts_with("after data")) {
            EXPECT_EQ(f.t.row(0).substr(0, 13), " ABCDEFGH  iQ") << c.name;
            EXPECT_EQ(f.ps().characters()[13], 0) << c.name;
        }
    }
}

TEST(Orders, ProgramTabOnUnprotectedAttributeInLastPositionGoesToZero) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(1919).sf(0x40));
    f.apply(RecordBuilder(cmd::kWrite, 0x00).sba(1919).pt().text("Z"));
    EXPECT_EQ(f.t.row(0), "Z");
}

TEST(Orders, RepeatToAddress) {
    Fixture f;
    // Stop address equal to the start: the whole buffer.
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(100).ra(100, ebcdic("*")[0]));
    EXPECT_EQ(f.t.row(0), std::string(80, '*'));
    EXPECT_EQ(f.t.row(23), std::string(80, '*'));
    EXPECT_EQ(f.rp().bufferAddress(), 100);

    // RA followed by RA: the second address counts; GE characters repeat untranslated.
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                .raw({0x3C})
                .raw(test::address(5))
                .raw({0x3C})
                .raw(test::address(8))
                .ge(0xAD));
    EXPECT_EQ(f.ps().characters()[7], 0xAD);
    EXPECT_EQ(f.ps().charsets()[7], kGraphicEscapeCharset);
    EXPECT_EQ(f.ps().characters()[8], 0);
    EXPECT_EQ(f.ps().charsets()[8], 0) << "the GE character set does not leak";
}

TEST(Orders, RepeatOfAnOrderEndsTheRecord) {
    // An order as the character to repeat would never move the buffer address
    // to the stop address. (RA directly after RA is the double-RA form.)
    for (std::uint8_t o : {order::kSetBufferAddress, order::kInsertCursor, order::kSetAttribute,
                           order::kEraseUnprotectedToAddress, order::kStartField,
                           order::kProgramTab, order::kModifyField}) {
        Fixture f;
        auto r = RecordBuilder(cmd::kEraseWrite, 0x02).text("A").raw({0x3C});
        r.raw(test::address(100)).raw({o}).raw(test::address(1)).raw({0x40, 0x40}).text("B");
        f.apply(r);
        EXPECT_EQ(f.t.row(0), "A") << int(o);
        EXPECT_EQ(f.status(), SessionStatus::Unlocked) << int(o);
    }
}

TEST(Orders, EraseUnprotectedToAddress) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00)
                .text("UNFORMATTED")
                .sba(80)
                .sf(0x60)
                .text("PROT")
                .sba(160)
                .sf(0x40)
                .text("INPUT"));
    // Stop equal to start: the whole screen, unprotected characters only.
    f.apply(RecordBuilder(cmd::kWrite, 0x00).sba(170).eua(170));
    EXPECT_EQ(f.t.row(0), "") << "the text before the first field belongs to the last field";
    EXPECT_EQ(f.t.row(1), " PROT");
    EXPECT_EQ(f.t.row(2), "");
    EXPECT_EQ(f.ps().attributes()[160], 0xC0) << "attributes survive";

    f.apply(RecordBuilder(cmd::kWrite, 0x00).sba(161).text("ABCDEF").sba(162).eua(164));
    EXPECT_EQ(f.t.row(2), " A  DEF");
}

TEST(Orders, InsertCursorAndGraphicEscape) {
    Fixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x00).sba(85).ic().ge(0xC5).text("A"));
    EXPECT_EQ(f.ps().cursor(), 85);
    EXPECT_EQ(f.ps().characters()[85], 0xC5);
    EXPECT_EQ(f.ps().hostCodes()[85], 0xC5);
    EXPECT_EQ(f.ps().charsets()[85], kGraphicEscapeCharset);
    EXPECT_EQ(f.ps().characters()[86], 'A');
}

// Every order cut short by the end of the record: the record ends there,
// nothing past it is read (ASan would see it) and the end of write runs.
TEST(Orders, TruncatedOperandsEndTheRecord) {
    const std::vector<std::vector<std::uint8_t>> tails = {
        {0x1D},                    // SF without attribute
        {0x29},                    // SFE without count
        {0x29, 0x03, 0xC0, 0x60},  // SFE promising 3 pairs
        {0x29, 0x01, 0xC0},        // half a pair
        {0x2C, 0x02, 0x41, 0xF1},  // MF promising 2 pairs
        {0x2C},                    // MF without count
        {0x28, 0x42},              // SA without value
        {0x08},                    // GE without character
        {0x11, 0x40},              // half an address
        {0x3C, 0x40, 0x40},        // RA without character
        {0x3C, 0x40},              // RA with half an address
        {0x3C, 0x40, 0x40, 0x08},  // RA of a GE without character
        {0x12, 0x40},              // EUA with half an address
    };
    for (const auto& tail : tails) {
        Fixture f;
        auto r = RecordBuilder(cmd::kEraseWrite, 0x02).sba(40).text("OK");
        r.raw(tail);
        f.apply(r);
        EXPECT_EQ(f.t.row(0).substr(40), "OK") << int(tail[0]) << "/" << tail.size();
        EXPECT_EQ(f.status(), SessionStatus::Unlocked);
        EXPECT_TRUE(f.hooks.warnings.empty());
    }
    // An SBA as the very last byte: the framing IAC EOR decodes to address 0.
    Fixture f;
    f.apply(RecordBuilder(cmd::kWrite, 0x00).sba(40).raw({0x11}));
    EXPECT_EQ(f.rp().bufferAddress(), 0);
}

TEST(SscpLu, CharacterStringsWithFormFeedCarriageReturnAndNewLine) {
    Fixture f;
    RecordOrigin sscp{.tn3270e = true, .dataType = 0x07, .sscpLu = true};
    auto text = ebcdic("HELLO");
    text.push_back(0x15);
    for (auto b : ebcdic("NEXT"))
        text.push_back(b);
    text.push_back(0x0D);
    text.push_back(ebcdic("X")[0]);
    f.apply(text, sscp);
    EXPECT_EQ(f.t.row(0), "HELLO");
    EXPECT_EQ(f.t.row(1), "XEXT");
    EXPECT_EQ(f.ps().cursor(), 81);
    EXPECT_TRUE(f.hooks.calls.empty()) << "no end-of-write step";

    f.apply(std::vector<std::uint8_t>{0x0C, 0xC1}, sscp);
    EXPECT_EQ(f.t.row(0), "A");
    EXPECT_EQ(f.t.row(1), "");

    // A new line from the last row wraps to the top.
    f.ps().setCursor(1919);
    f.apply(std::vector<std::uint8_t>{0x15}, sscp);
    EXPECT_EQ(f.ps().cursor(), 0);
}

TEST(Dispatch, RoutesByTypeAndStatus) {
    Fixture f;
    // TN3270E data other than 3270-DATA (SCS, BIND, ...) is not applied.
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).text("SCS"),
            RecordOrigin{.tn3270e = true, .dataType = 0x01});
    EXPECT_EQ(f.t.row(0), "");
    EXPECT_TRUE(f.hooks.calls.empty());

    f.apply(RecordBuilder().raw({0xF3, 0x00, 0x05, 0x01, 0xFF, 0xFF, 0x02}));
    f.apply(RecordBuilder().raw({0x11, 0x00, 0x05, 0x01, 0xFF}));
    EXPECT_EQ(f.hooks.count("structuredFields"), 2);

    // The CUT-mode file transfer end frame.
    f.apply(RecordBuilder(cmd::kEraseWrite, 0xC2)
                .raw({0x11, 0x5D, 0x7F, 0x11, 0x40, 0x40, 0xC3, 0x81, 0x81, 0x94}));
    EXPECT_EQ(f.status(), SessionStatus::TransferReady);
    EXPECT_EQ(f.hooks.count("cutFrame"), 1);
    f.apply(RecordBuilder(cmd::kEraseWrite, 0xC2).text("DURING"));
    EXPECT_EQ(f.hooks.count("checkHandshake"), 1);
    EXPECT_EQ(f.hooks.count("keyboardRestored"), 0) << "end of write suspended";
    EXPECT_EQ(f.status(), SessionStatus::TransferReady);
}

TEST(Dispatch, SessionManagerSignatureAndRecordCapture) {
    Fixture f;
    f.rp().startCapture();
    auto r = RecordBuilder(cmd::kEraseWrite, 0x40).sba(0).sf(0x6C).text("NETSPY");
    while (r.bytes().size() < 54)
        r.text(" ");
    r.text(" TPX01  ").text("TAIL");
    f.apply(r);
    EXPECT_EQ(f.rp().sessionManagerName(), "TPX01");
    EXPECT_EQ(f.hooks.count("sessionManager:TPX01"), 1);

    const auto second = RecordBuilder(cmd::kWrite, 0x02).text("ABC");
    f.apply(second);
    f.apply(RecordBuilder(cmd::kWrite, 0x02));  // too short to capture
    const auto& cap = f.rp().captured();
    EXPECT_EQ(cap.size(), r.bytes().size() + 3) << "later records without command and WCC";
}

}  // namespace
}  // namespace cedar
